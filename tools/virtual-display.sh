# Sourced by scripts that need a virtual screen with a window manager:
#   start_virtual_display FIRST LAST   picks a free display number in that
#                                      range, starts Xvfb 1024x768 and
#                                      openbox, exports DISPLAY
#   stop_virtual_display               ends both
xvfb_pid= wm_pid=

start_virtual_display() {
  local n
  for n in $(seq "$1" "$2"); do
    { [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; } && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.05; done
    [ -e /tmp/.X11-unix/X$n ] && break
  done
  export DISPLAY=":$n"
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  sleep 1
}

stop_virtual_display() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  return 0
}
