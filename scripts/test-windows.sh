#!/usr/bin/env bash
# The Windows part of the test run: cross-builds lumaclip.exe and the core tests with mingw-w64
# (the windows preset), then runs them under Wine on a virtual display (tests/windows/
# wine_harness.py): the test programs, the window driven as a person would, and the request
# exchanges through Wine's own wininet.dll compared with the Linux layer. One Wine prefix per run,
# in a temporary folder; everything it starts is stopped and removed at the end.
#   LUMACLIP_WINDOWS_BUILD_DIR   the cross build's folder (build/windows)
#   LUMACLIP_LINUX_BUILD_DIR     the Linux build with our request layer (build/default)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
build_dir=${LUMACLIP_WINDOWS_BUILD_DIR:-build/windows}
linux_build_dir=${LUMACLIP_LINUX_BUILD_DIR:-build/default}

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
# Wine shows the program's Chinese texts only under a Chinese locale.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8'; then
  echo "Generating the zh_CN.UTF-8 locale"
  $sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

echo "-- cross build ($build_dir)"
cmake --preset windows -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j "$jobs"
size=$(stat -c %s "$build_dir/platform/windows/lumaclip.exe")
echo "lumaclip.exe: $size bytes ($((size / 1024)) KiB)"
if ((size >= 2 * 1024 * 1024)); then
  echo "lumaclip.exe has grown past 2 MiB"; exit 1
fi

# The Linux side of the request comparison: the same fetch driver over our libcurl layer.
if [[ ! -f "$linux_build_dir/CMakeCache.txt" ]]; then
  cmake --preset default -B "$linux_build_dir" >/dev/null
fi
cmake --build "$linux_build_dir" -j "$jobs" --target fetch_driver lumaclip_wininet

unset http_proxy https_proxy ftp_proxy all_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY \
  ALL_PROXY NO_PROXY
timeout --kill-after=30 1500 python3 tests/windows/wine_harness.py --build-dir "$build_dir" \
  --linux-build-dir "$linux_build_dir"
