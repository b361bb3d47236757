#!/usr/bin/env bash
# Installs the Debian 12 packages that the build and the tests need, and only those missing.
# Quick when everything is present; waits for the package lock instead of failing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # request layer and its tests
  libcurl4-openssl-dev python3 openssl curl valgrind
  # window and its tests
  qt6-base-dev xvfb openbox xdotool xclip x11-utils xauth fonts-wqy-microhei imagemagick
  # Windows build, tested under Wine
  g++-mingw-w64-x86-64 wine wine64 fonts-wine locales ca-certificates
  # benchmarks against peers
  hyperfine yt-dlp
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
