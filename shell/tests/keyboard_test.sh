#!/usr/bin/env bash
# Drives the real setup with real keystrokes (xdotool) on a virtual display
# with a window manager, and checks after every key what the wizard shows
# (wizard-probe): the page, the focus, the default button, the button texts.
#   keyboard_test.sh SETUP.exe wizard-probe.exe
# Exits 77 (skipped) when Xvfb, openbox or xdotool is missing.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=tools/virtual-display.sh
. "$root/tools/virtual-display.sh"
setup_exe=$1
probe_exe=$2
for tool in Xvfb openbox xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

wine_run="$root/tools/wine-run"
folder_windows='C:\KeyboardTest\Morvantile'
product_key='HKCU\Software\Quillfern'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvantile'
setup_pid= failures=0

wine_quiet() { "$wine_run" "$@" >/dev/null 2>&1; }
clean_prefix() {
  wine_quiet reg delete "$product_key" /f
  wine_quiet reg delete "$uninstall_key" /f
  wine_quiet cmd /c rmdir /s /q 'C:\KeyboardTest'
}
cleanup() {
  stop_setup
  wine_quiet taskkill /f /im Morvantile.exe   # only if a check box was missed
  clean_prefix
  stop_virtual_display
}
trap cleanup EXIT

start_virtual_display 200 240

probe() { "$wine_run" "$probe_exe" 2>/dev/null | tr -d '\r'; }

# Waits until what the wizard shows matches every extended regex given.
expect() {  # description, patterns...
  local what=$1 state= ok
  shift
  for _ in $(seq 40); do
    state=$(probe)
    ok=1
    for pattern in "$@"; do grep -Eq -- "$pattern" <<<"$state" || { ok=0; break; }; done
    [ $ok = 1 ] && { echo "ok: $what"; return 0; }
    sleep 0.25
  done
  echo "FAILED: $what"
  echo "  wanted: $*"
  echo "  shown:  $state"
  failures=$((failures + 1))
  return 1
}

key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }

# Tab until the control with this id has the focus.
tab_to() {  # id
  for _ in $(seq 8); do
    probe | grep -q " focus=$1 " && return 0
    key Tab
  done
  probe | grep -q " focus=$1 "
}

stop_setup() {
  [ -n "$setup_pid" ] || return 0
  wine_quiet taskkill /f /im "$(basename "$setup_exe")"
  kill "$setup_pid" 2>/dev/null
  wait "$setup_pid" 2>/dev/null
  setup_pid=
}

start() {
  stop_setup
  "$wine_run" "$setup_exe" >/dev/null 2>&1 &
  setup_pid=$!
  expect "the wizard opens at the Welcome page" '^page=welcome ' || return 1
}

ended() {  # description
  expect "$1" '^page=none$' || return 1
  wait "$setup_pid"
  setup_pid=
}

welcome='^page=welcome focus=12324 default=12324 back="[^"]*"-hidden(-disabled)?'
licence='^page=licence focus=12324 default=12324 back="I &Disagree" next="I &Agree" finish="Finish"-hidden-disabled cancel="Cancel"'
options='^page=options focus=12324 default=12324 back="< &Back" next="'
custom='^page=custom focus=12324 default=12324 back="< &Back" next="I&nstall" '

clean_prefix

# A Custom installation, by keyboard only.
start
expect "Welcome: Next focused and default, Back hidden" "$welcome"' next="&Next >" finish="Finish"-hidden-disabled cancel="Cancel"$'
key Return
expect "Enter on Welcome: Licence, I Agree focused" "$licence"
key alt+d
expect "Alt+D (I Disagree): back to Welcome" "$welcome"
key Return
expect "Enter on Welcome again: Licence" "$licence"
tab_to 1010
key Down
key Tab
expect "Tab leaves the licence text" '^page=licence focus=12323 '
key Return
expect "Enter on the focused I Disagree: Welcome" "$welcome"
key alt+n
expect "Alt+N on Welcome: Licence" "$licence"
tab_to 1010
key Return
expect "Enter in the licence text agrees" "$options"'I&nstall" .* checked=1011$'
key alt+b
expect "Alt+B on Options: Licence" "$licence"
key Return
expect "Enter on Licence (I Agree): Options, Typical checked" "$options"'I&nstall" .* checked=1011$'
key alt+b
expect "Alt+B on Options: Licence" "$licence"
key alt+a
expect "Alt+A (I Agree): Options" "$options"'I&nstall" .* checked=1011$'
tab_to 1011
key Down
expect "Down arrow: Custom checked, Next named Next" '^page=options focus=1012 default=12324 .*next="&Next >" .* checked=1012$'
key Return
expect "Enter with a radio button focused: Custom Options" "$custom"'.*folder="C:\\Program Files\\Morvantile"$'
key alt+b
expect "Alt+B: Options keeps Custom" "$options"'&Next >" .* checked=1012$'
key alt+n
expect "Alt+N: Custom Options again" "$custom"
tab_to 1006
xdotool type --delay 20 "$folder_windows"
expect "a folder typed into the box" '^page=custom focus=1006 .*folder="C:\\KeyboardTest\\Morvantile"$'
tab_to 1002
key space
tab_to 1007
key space
key Return
expect "Enter with a check box focused (Install): asked to create the typed folder" '^page=progress .* box="Create folder\?\\n\\nThe installation folder doesn.t exist\.\\nC:\\KeyboardTest\\Morvantile"$'
key Return
expect "Enter (Yes): the run ends, OK focused and default" \
  '^page=progress focus=12325 default=12325 back="[^"]*"-hidden next="[^"]*"-hidden-disabled finish="OK" cancel="Cancel"-hidden status="Installation complete\.'
key Escape
ended "Escape once the run has ended closes the wizard"
clean_prefix

# Escape cancels on each of the first four pages.
start
key Escape
ended "Escape on Welcome ends the wizard"
start
key Return
expect "Licence" "$licence"
tab_to 1010
key Escape
ended "Escape in the licence text ends the wizard"
start
key Return; key Return
expect "Options" "$options"
key Escape
ended "Escape on Options ends the wizard"
start
key Return; key Return
expect "Options" "$options"
tab_to 2
key Return
ended "Enter on the focused Cancel ends the wizard"
start
key Return; key Return
expect "Options" "$options"
tab_to 1011
key Down
key alt+n
expect "Custom Options" "$custom"
tab_to 1006
key Escape
ended "Escape in the folder box ends the wizard"

# A newer version installed: only Cancel, focused; Enter and Alt+N cannot go on.
wine_quiet reg add 'HKCU\Software\Quillfern\Morvantile' /v UpgradeVer /t REG_DWORD /d 305 /f
start
expect "newer version: Cancel focused and default, Next hidden" \
  '^page=welcome focus=2 default=[0-9]+ back="[^"]*"-hidden-disabled next="&Next >"-hidden .*cancel="Cancel"$'
key alt+n
expect "Alt+N does not leave the Welcome page" '^page=welcome focus=2 '
key Return
ended "Enter presses the focused Cancel"
clean_prefix

if [ $failures -gt 0 ]; then
  echo "$failures keyboard check(s) failed"
  exit 1
fi
echo "all keyboard checks passed"
