#!/usr/bin/env bash
# The whole test run: installs what is missing, then builds and tests the optimised build, the
# sanitizer build, a short fuzzing run and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

echo "== architecture"
scripts/check-architecture.sh

echo "== default build"
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

echo "== sanitizer build (ASan + UBSan)"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

echo "== fuzzing (short run)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
scripts/run-fuzzers.sh build/fuzz "${LUMACLIP_FUZZ_SECONDS:-10}"

if [[ -x scripts/test-windows.sh ]]; then
  echo "== Windows build under Wine"
  scripts/test-windows.sh
fi
