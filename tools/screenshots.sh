#!/usr/bin/env bash
# Renders each page of the setup wizard to docs/screenshots/*.png: the real
# MorvantileSetup.exe under Wine, in a fresh private prefix, on a virtual
# 1024x768 display with a window manager (for the title bar), walked through
# a Typical installation by setup-pilot.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/virtual-display.sh
. "$root/tools/virtual-display.sh"
cd "$root"
out=docs/screenshots
if [ ! -f build/win64/MorvantileSetup.exe ] || [ ! -f build/win64/setup-pilot.exe ]; then
  bash tools/build.sh host win64
fi
mkdir -p "$out"

export MV_WINEPREFIX="$root/build/wineprefix-screenshots"
rm -rf "$MV_WINEPREFIX"   # nothing installed yet: the first-installation pages
cleanup() {
  tools/stop-wine >/dev/null 2>&1 || true
  stop_virtual_display
}
trap cleanup EXIT

start_virtual_display 150 199

winpath() { echo "Z:$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" | tr / '\\'; }
setup=$(winpath build/win64/MorvantileSetup.exe)

shoot() {  # name
  local file="$out/$1.png" id
  sleep 0.8
  id=$(xdotool search --onlyvisible --name '^Morvantile - Installation$' 2>/dev/null | head -1 || true)
  if [ -n "$id" ]; then
    import -frame -window "$id" "$file" 2>/dev/null || import -window root "$file"
  else
    import -window root "$file"
  fi
  echo "screenshot: $file"
}

coproc PILOT { tools/wine-run build/win64/setup-pilot.exe shots "$setup" 2>&1; }
pilot_pid=$PILOT_PID
n=0
while IFS= read -r line <&"${PILOT[0]}"; do
  line=${line%$'\r'}
  case "$line" in
    "PAGE "*)
      n=$((n + 1))
      shoot "$(printf '%d-%s' "$n" "${line#PAGE }")"
      echo >&"${PILOT[1]}" ;;
    *) echo "$line" ;;
  esac
done
wait "$pilot_pid"
