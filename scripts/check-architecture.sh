#!/usr/bin/env bash
# The core (text/, web/, app/) must include no platform header: the platform meets it only
# through the request operations table and the window toolkit table.
set -euo pipefail
cd "$(dirname "$0")/.."
pattern='#\s*include\s*[<"](windows\.h|winsock|wininet\.h|curl/|Q[A-Za-z]+|qt|unistd\.h|dlfcn\.h|sys/|pthread\.h|X11/)'
if grep -rEn "$pattern" text web app; then
  echo "platform header included in the core (above)"; exit 1
fi
echo "core includes no platform header"
