#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR for SECONDS each, from its seed corpus in fuzz/corpus/NAME.
set -euo pipefail
build_dir=${1:?usage: run-fuzzers.sh BUILD_DIR SECONDS}
seconds=${2:-10}
root=$(cd "$(dirname "$0")/.." && pwd)

mapfile -t fuzzers < <(find "$build_dir/fuzz" -type f -executable -name 'fuzz_*' | sort)
[[ ${#fuzzers[@]} -gt 0 ]] || { echo "no fuzz targets in $build_dir"; exit 1; }
failed=0
for fuzzer in "${fuzzers[@]}"; do
  name=$(basename "$fuzzer")
  work=$(mktemp -d)
  [[ -d "$root/fuzz/corpus/$name" ]] && cp -r "$root/fuzz/corpus/$name/." "$work/"
  if "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=0 "$work" >"$work.log" 2>&1; then
    echo "fuzz $name: clean for ${seconds}s"
  else
    echo "fuzz $name: FAILED"; tail -n 40 "$work.log"; failed=1
  fi
  rm -rf "$work" "$work.log"
done
exit $failed
