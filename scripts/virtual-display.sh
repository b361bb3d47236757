# Sourced by scripts that need a real X display without a screen: Xvfb (1280 x 800) with the
# openbox window manager, which gives windows their frames and their focus.
#   start_virtual_display WORK_DIR
# exports DISPLAY and appends both processes to the caller's `pids` array for its clean-up.
start_virtual_display() {
  local work=$1 i
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  for ((i = 0; i < 100; i++)); do [[ -s "$work/display" ]] && break; sleep 0.1; done
  [[ -s "$work/display" ]] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(cat "$work/display")"
  openbox >/dev/null 2>&1 &
  pids+=($!)
  for ((i = 0; i < 100; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "openbox did not start" >&2
  return 1
}
