# Sourced by scripts that need a virtual screen with a window manager:
#   start_virtual_display FIRST LAST   picks a free display number in that
#                                      range, starts Xvfb 1024x768 and
#                                      openbox, exports DISPLAY
#   stop_virtual_display               ends both
xvfb_pid= wm_pid=

start_virtual_display() {  # the range is kept for callers; Xvfb picks a free number itself
  local numbers
  numbers=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numbers" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 200); do
    grep -q '^[0-9]' "$numbers" && break
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$numbers")"
  rm -f "$numbers"
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1
}

stop_virtual_display() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  return 0
}
