#!/usr/bin/env bash
# The README's run command: installs what is missing, builds the window program (default preset)
# and opens the window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target lumaclip -j "$(nproc)"

program=build/default/bin/lumaclip
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  cat >&2 <<MESSAGE
Built $program, but there is no display to open the window on (neither DISPLAY nor
WAYLAND_DISPLAY is set). Run scripts/run.sh from a terminal inside your desktop session, or
start the program there: $program
MESSAGE
  exit 1
fi
exec "$program"
