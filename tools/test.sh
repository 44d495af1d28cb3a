#!/usr/bin/env bash
# Installs what is missing, builds all three trees, then runs every test:
# the native ones, then the Windows ones under Wine on a virtual display,
# and, beside them from the start, the PE32 stage (the i686 build under
# 32-bit Wine, tools/pe32-stage.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
t0=$(date +%s)
stage() { echo "== $* (at $(( $(date +%s) - t0 )) s)"; }
bash tools/deps.sh
bash tools/build.sh host win64 win32

pe32_pid=
trap '[ -n "$pe32_pid" ] && kill "$pe32_pid" 2>/dev/null; tools/stop-wine; MV_WINEPREFIX="$root/build/wineprefix-pe32" tools/stop-wine' EXIT
unset DISPLAY   # the Windows tests get their own virtual 1024x768 screen

status=0
# The shipped i686 build under 32-bit Wine runs in the background from the
# start, in its own prefix: its emulated process starts are slow CPU work
# that overlaps the x86_64 tests, which mostly wait on Wine.
if reason=$(bash tools/pe32-check); then
  stage "PE32 stage started beside the others (log: build/pe32-stage.log)"
  bash tools/pe32-stage.sh > build/pe32-stage.log 2>&1 &
  pe32_pid=$!
else
  echo "== PE32 stage SKIPPED: $reason"
fi
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

stage "signing round trip (build/win64-signed)"
bash tools/sign-test.sh || status=1

if [ -n "$pe32_pid" ]; then
  stage "waiting for the PE32 stage"
  wait "$pe32_pid" || status=1
  cat build/pe32-stage.log
  pe32_pid=
fi

stage "done"
exit $status
