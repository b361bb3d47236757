#!/usr/bin/env bash
# Takes docs/window-linux.png: the window on a virtual X display (Xvfb, openbox, the CJK font of
# install-deps.sh) after a share page served on loopback has been parsed.
#   scripts/window-screenshot.sh [BUILD_DIR]     (default build/default, already built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
program=$build/bin/lumaclip
[[ -x "$program" ]] || { echo "no $program: build it first" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $2 tenths of a second for the command $1 to succeed.
wait_for() {
  for ((i = 0; i < $2; i++)); do eval "$1" && return 0; sleep 0.1; done
  echo "timed out waiting for: $1" >&2
  return 1
}

source "$root/scripts/virtual-display.sh"
start_virtual_display "$work"

# A share page on loopback under a name that only this run resolves.
cat >"$work/routes.json" <<'JSON'
{"/s/7dKq2Xa/": {"body": "<html><body><img class=\"video-preview\" src=\"https://cdn.example.test/v/2024/7dKq2Xa/clip_720p.jpg?x-expires=1719999999&amp;sig=5b1e\"></body></html>"}}
JSON
python3 "$root/tests/server/test_server.py" --routes "$work/routes.json" --log "$work/log" \
  --lifetime 120 >"$work/server" &
pids+=($!)
wait_for 'grep -q READY "$work/server"' 100
port=$(awk '/^PORT/ {print $2}' "$work/server")
export LUMACLIP_RESOLVE="share.example.test:$port:127.0.0.1"
link="http://share.example.test:$port/s/7dKq2Xa/"

"$program" 2>/dev/null &
app=$!
wait_for 'xdotool search --onlyvisible --name "^Lumaclip$" >/dev/null 2>&1' 100
window=$(xdotool search --onlyvisible --name '^Lumaclip$' | head -n 1)
wait_for '[[ $(xdotool getactivewindow 2>/dev/null) == "$window" ]]' 50
xdotool type --delay 5 "$link"
xdotool key Tab space
wait_for 'grep -q "/s/7dKq2Xa/" "$work"/log/*.request 2>/dev/null' 100
sleep 0.5
xdotool mousemove 0 0

# The window with its frame.
read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | tr -d ',' |
  awk '{print $3, $4, $5, $6}')
x=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print $4}')
y=$(xwininfo -id "$window" | awk '/Absolute upper-left Y/ {print $4}')
width=$(xwininfo -id "$window" | awk '/Width/ {print $2}')
height=$(xwininfo -id "$window" | awk '/Height/ {print $2}')
geometry="$((width + left + right))x$((height + top + bottom))+$((x - left))+$((y - top))"
mkdir -p "$root/docs"
import -window root -crop "$geometry" +repage "$root/docs/window-linux.png"
echo "docs/window-linux.png: frame $geometry"

xdotool key Escape
status=0
wait "$app" || status=$?
echo "window closed by Escape, exit code $status"
