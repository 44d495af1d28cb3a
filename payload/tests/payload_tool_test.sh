#!/usr/bin/env bash
# payload-tool: round trips through files, and a damaged or cut-short
# stream gives one line on stderr, a non-zero exit and no OUT file.
set -u
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

head -c 70000 /dev/urandom > "$work/random"
{ for i in $(seq 1 3000); do echo "line $i of a text that repeats itself"; done; } > "$work/text"
: > "$work/empty"
for name in random text empty; do
  "$tool" encode "$work/$name" "$work/$name.pl" || fail "encode $name"
  "$tool" decode "$work/$name.pl" "$work/$name.out" || fail "decode $name"
  cmp -s "$work/$name" "$work/$name.out" || fail "round trip of $name differs"
done

size=$(stat -c %s "$work/text.pl")
head -c $((size - 1)) "$work/text.pl" > "$work/cut.pl"
: > "$work/nothing.pl"
echo "stale" > "$work/cut.out"
for name in cut nothing; do
  "$tool" decode "$work/$name.pl" "$work/$name.out" 2> "$work/err"
  status=$?
  [ $status -ne 0 ] || fail "decode of $name stream succeeded"
  [ "$(wc -l < "$work/err")" -eq 1 ] || fail "decode of $name stream: expected one line on stderr"
  [ ! -e "$work/$name.out" ] || fail "decode of $name stream left an output file"
done
leftovers=$(find "$work" -name '*.tmp*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"

"$tool" decode "$work/missing" "$work/x" 2>/dev/null && fail "a missing input succeeded"
"$tool" frobnicate a b 2>/dev/null && fail "an unknown command succeeded"
[ $failures -eq 0 ] && echo "payload-tool: all checks passed"
exit $((failures > 0))
