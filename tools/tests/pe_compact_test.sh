#!/usr/bin/env bash
# pe-compact on a small i686 program linked here: one header block less,
# imports still found through the import directory, resources read-only,
# a second run changes nothing, and a program it refuses is left as it was.
# Usage: pe_compact_test.sh PE-COMPACT
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "pe_compact_test: FAILED: $*" >&2; exit 1; }

cat > program.c <<'SOURCE'
#include <windows.h>
#ifdef MORE_SECTIONS
int counter = 5;   /* .data */
#endif
void __stdcall Entry(void) {
  MessageBeep(0);
#ifdef MORE_SECTIONS
  counter += (int)GetTickCount();
#endif
  ExitProcess(GetTickCount() & 1);
}
SOURCE
echo '1 RCDATA { "resource" }' > program.rc
i686-w64-mingw32-windres -O coff program.rc program.res
link() {
  i686-w64-mingw32-gcc -Os -s -nostartfiles -Wl,--entry,_Entry@0 "$@" program.c program.res -lkernel32 -luser32
}
i686-w64-mingw32-ld --verbose > ld.txt
"$tool" script ld.txt compact.ld
link -o plain.exe                        # the linker's own layout
link -o program.exe -Wl,-T,compact.ld
before=$(stat -c %s program.exe)

"$tool" program.exe
[ "$(stat -c %s program.exe)" -eq $((before - 512)) ] || fail "not one header block smaller"
i686-w64-mingw32-objdump -p program.exe > imports.txt
grep -q "DLL Name: KERNEL32.dll" imports.txt && grep -q "DLL Name: USER32.dll" imports.txt &&
  grep -q "ExitProcess" imports.txt || fail "the imports are not found through the import directory"
# The descriptors' rows (address, lookup table, stamp, chain, name, address
# table): the loader finds the names through the address tables.
descriptors=$(grep -cE '^ [0-9a-f]{8}'$'\t''[0-9a-f]{8} ' imports.txt || true)
[ "$descriptors" -ge 2 ] || fail "expected the import descriptors, found $descriptors"
grep -E '^ [0-9a-f]{8}'$'\t''[0-9a-f]{8} ' imports.txt | grep -vqE $'\t''00000000 ' &&
  fail "a descriptor still has its lookup table"
i686-w64-mingw32-objdump -h program.exe | grep -A1 " \.rsrc " | grep -q READONLY || fail "the resources are writable"
cp program.exe once.exe
"$tool" program.exe >/dev/null
cmp -s program.exe once.exe || fail "a second run changed the program"

refused() {  # file, what: the tool must refuse it and leave it as it was
  cp "$1" before.bin
  if "$tool" "$1" 2>/dev/null; then fail "accepted $2"; fi
  cmp -s "$1" before.bin || fail "changed $2 that it refused"
}
refused plain.exe "a program with its imports in .idata"
link -o damaged.exe -Wl,-T,compact.ld
printf '\x5a' | dd of=damaged.exe bs=1 seek=1100 conv=notrunc 2>/dev/null
refused damaged.exe "a program whose checksum does not match"
link -o unsigned.exe -Wl,-T,compact.ld
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=pe-compact test" \
  -keyout key.pem -out cert.pem 2>/dev/null
osslsigncode sign -certs cert.pem -key key.pem -in unsigned.exe -out signed.exe >/dev/null
refused signed.exe "a signed program, whose signature the rewrite would break"
link -o six.exe -Wl,-T,compact.ld -DMORE_SECTIONS -Wl,--dynamicbase   # .data and .reloc besides
refused six.exe "a program of six sections, whose headers do not fit one block"
echo "pe_compact_test: passed"
