#!/usr/bin/env bash
# payload-tool: round trips through files, and a damaged or cut-short
# stream gives one line on stderr, a non-zero exit and no OUT file.
set -u
tool=$1
work=$(mktemp -d)
errors=$(mktemp)
trap 'rm -rf "$work" "$errors"' EXIT
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

# OUT that is not a regular file is refused whatever the command, with one
# line on stderr and exit 1, and left exactly as it was.
mkdir "$work/folder" "$work/full"; echo kept > "$work/full/inside"
mkfifo "$work/fifo"
echo "target of the link" > "$work/linked"
ln -s "$work/linked" "$work/link"
ln -s "$work/nowhere" "$work/dangling"
for out in folder full fifo link dangling; do
  before=$(find "$work" -printf '%p %y %s %T@ %l\n' | sort | md5sum)
  for command in "encode $work/text" "decode $work/text.pl" "table"; do
    set -- $command
    if [ "$1" = table ]; then args=("$work/$out" "101=$work/text.pl"); else args=("$2" "$work/$out"); fi
    timeout 10 "$tool" "$1" "${args[@]}" 2> "$errors"
    status=$?
    [ $status -eq 1 ] || fail "$1 into $out: exit $status, expected 1"
    [ "$(wc -l < "$errors")" -eq 1 ] || fail "$1 into $out: expected one line on stderr"
  done
  [ "$(find "$work" -printf '%p %y %s %T@ %l\n' | sort | md5sum)" = "$before" ] || fail "$out was changed"
done
[ -d "$work/folder" ] && [ -f "$work/full/inside" ] && [ -p "$work/fifo" ] || fail "folder or FIFO changed"
[ -L "$work/link" ] && [ "$(cat "$work/linked")" = "target of the link" ] || fail "link or its target changed"
[ -L "$work/dangling" ] && [ ! -e "$work/nowhere" ] || fail "dangling link changed"
if [ -w /dev/null ] && [ -c /dev/null ]; then
  "$tool" decode "$work/text.pl" /dev/null 2>/dev/null
  [ $? -eq 1 ] || fail "decode into /dev/null was not refused"
  [ -c /dev/null ] || fail "/dev/null is no longer a device"
fi

# table: each stream's decoded length and CRC-32, in the setup's layout.
printf '123456789' > "$work/digits"
"$tool" encode "$work/digits" "$work/digits.pl" || fail "encode digits"
"$tool" table "$work/table" "7=$work/digits.pl" "300=$work/empty.pl" || fail "table"
expected="4d5650540200000007000000090000002639f4cb2c01000000000000000000"
[ "$(od -An -tx1 -v "$work/table" | tr -d ' \n' | head -c ${#expected})" = "$expected" ] || fail "table bytes"
[ "$(stat -c %s "$work/table")" -eq 36 ] || fail "table size"
"$tool" table "$work/table" "7=$work/cut.pl" 2>/dev/null && fail "table of a damaged stream succeeded"
[ ! -e "$work/table" ] || fail "a failed table left its OUT"
"$tool" table "$work/table" "7=$work/digits.pl" "7=$work/digits.pl" 2>/dev/null && fail "an id listed twice succeeded"
"$tool" table "$work/table" "x=$work/digits.pl" 2>/dev/null && fail "a bad id succeeded"

"$tool" decode "$work/missing" "$work/x" 2>/dev/null && fail "a missing input succeeded"
"$tool" frobnicate a b 2>/dev/null && fail "an unknown command succeeded"
[ $failures -eq 0 ] && echo "payload-tool: all checks passed"
exit $((failures > 0))
