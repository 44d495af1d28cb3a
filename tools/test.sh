#!/usr/bin/env bash
# Installs what is missing, builds all three trees, then runs every test:
# the native ones, then the Windows ones under Wine on a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/deps.sh
bash tools/build.sh host win64 win32

trap 'tools/stop-wine' EXIT
unset DISPLAY   # the Windows tests get their own virtual 1024x768 screen

status=0
echo "== size budgets of the shipped programs (build/win32)"
bash tools/size-report.sh --check build/win32 || status=1
echo "== native tests (build/host)"
ctest --test-dir build/host --output-on-failure -j "$(nproc)" || status=1
echo "== Windows tests under Wine (build/win64)"
ctest --test-dir build/win64 --output-on-failure --timeout 300 || status=1
echo "== signing round trip (build/win64-signed)"
bash tools/sign-test.sh || status=1
exit $status
