#!/usr/bin/env bash
# Builds everything, then starts the setup program under Wine in the
# project's private prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/deps.sh
bash tools/build.sh host win64 win32
setup=build/win64/MorvantileSetup.exe
if [ ! -f "$setup" ]; then
  echo "Built:"; find build/host build/win64 build/win32 -maxdepth 2 -type f \( -name '*.exe' -o -name payload-tool \) | sort
  exit 0
fi
exec tools/wine-run "$setup"
