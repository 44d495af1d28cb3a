#!/usr/bin/env bash
# The PE32 stage: the shipped i686 build under 32-bit Wine (WoW64), in a
# prefix of its own (build/wineprefix-pe32), so that tools/test.sh can run
# it beside the x86_64 tests. Emulated 32-bit process starts are nearly all
# CPU; the end-to-end scenarios, the longest part, go first.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export MV_WINEPREFIX="$root/build/wineprefix-pe32"
# Without a preloader, 32-bit Wine reserves its address space in some
# 130,000 mmap calls, each slow under qemu; a 3 GB guest space (the split
# Wine expects) leaves less to reserve: 47 s a process start instead of 60.
export QEMU_RESERVED_VA=0xc0000000
trap 'tools/stop-wine' EXIT
unset DISPLAY
status=0
echo "== PE32 prefix ($MV_WINEPREFIX)"
tools/wine-run cmd.exe /c exit 0 || status=1
echo "== PE32 setup driven by the x86_64 end-to-end scenarios"
ctest --test-dir build/win64 -L '^pe32$' --output-on-failure || status=1
echo "== i686 test programs, one process each (two at a time where no registry is shared)"
ctest --test-dir build/win32 -L '^pe32$' -j 2 --output-on-failure || status=1
exit $status
