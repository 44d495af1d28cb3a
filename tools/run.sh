#!/usr/bin/env bash
# Builds everything, then runs the setup program under Wine in a private
# prefix (never ~/.wine).
#  - With a display (DISPLAY set): the installer opens there, for you to use.
#  - Without one: on a virtual display, setup-pilot.exe drives a Typical
#    installation like a user would; then what was installed is printed
#    (files, registry values, shortcut) and the wizard's pages are rendered
#    to docs/screenshots/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/deps.sh
bash tools/build.sh host win64 win32
setup=build/win64/MorvantileSetup.exe
winpath() { echo "Z:$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" | tr / '\\'; }

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting $setup on $DISPLAY (prefix build/wineprefix)"
  exec tools/wine-run "$setup"
fi

echo "== No display: a Typical installation on a virtual display, in a fresh prefix"
export MV_WINEPREFIX="$root/build/wineprefix-run"
rm -rf "$MV_WINEPREFIX"
trap 'tools/stop-wine' EXIT
status=0
tools/wine-run build/win64/setup-pilot.exe install "$(winpath "$setup")" | tr -d '\r' || status=$?
echo "(prefix: $MV_WINEPREFIX; drive C: is $MV_WINEPREFIX/drive_c)"
tools/stop-wine
trap - EXIT
[ $status -eq 0 ] || exit $status

echo "== Rendering the pages"
bash tools/screenshots.sh
echo "Page screenshots: $root/docs/screenshots/"
ls -1 docs/screenshots/*.png
