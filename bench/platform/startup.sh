#!/usr/bin/env bash
# Start-up of the window program on a virtual X display (Xvfb with openbox): the median time from
# launching the process to its window being shown, over 20 starts, and the peak resident memory.
#   bench/platform/startup.sh [BUILD_DIR] [RUNS]    (default build/default, 20; already built)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/default}
runs=${2:-20}
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

source "$root/scripts/virtual-display.sh"
start_virtual_display "$work"

timeout 600 python3 "$root/bench/platform/startup_probe.py" "$program" "$runs"
