#!/usr/bin/env bash
# Installs what is missing, builds all three trees, then runs every test:
# the native ones, then the Windows ones under Wine on a virtual display,
# then the PE32 stage (the i686 build under 32-bit Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
t0=$(date +%s)
stage() { echo "== $* (at $(( $(date +%s) - t0 )) s)"; }
bash tools/deps.sh
bash tools/build.sh host win64 win32

trap 'tools/stop-wine' EXIT
unset DISPLAY   # the Windows tests get their own virtual 1024x768 screen

status=0
stage "size budgets of the shipped programs (build/win32)"
bash tools/size-report.sh --check build/win32 || status=1
stage "native tests (build/host)"
ctest --test-dir build/host --output-on-failure -j "$(nproc)" || status=1
# A new prefix is made before the first test: with 32-bit Wine installed
# its WoW64 part takes minutes, longer than a test program's discovery may.
stage "Wine prefix (build/wineprefix)"
tools/wine-run cmd.exe /c exit 0 || status=1
stage "Windows tests under Wine (build/win64)"
ctest --test-dir build/win64 --output-on-failure --timeout 300 -LE pe32 || status=1

# The shipped i686 build, run under 32-bit Wine in the same (WoW64) prefix:
# its test programs, one process each, then the real PE32 setup driven by
# the x86_64 end-to-end scenarios.
if reason=$(bash tools/pe32-check); then
  stage "PE32 stage: i686 tests and the PE32 setup under 32-bit Wine (WoW64)"
  ctest --test-dir build/win32 -L '^pe32$' -j 2 --output-on-failure || status=1
  ctest --test-dir build/win64 -L '^pe32$' --output-on-failure || status=1
else
  echo "== PE32 stage SKIPPED: $reason"
fi

stage "signing round trip (build/win64-signed)"
bash tools/sign-test.sh || status=1
stage "done"
exit $status
