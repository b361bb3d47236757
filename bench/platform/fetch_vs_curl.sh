#!/usr/bin/env bash
# A 64 MiB body from a loopback server, fetched through FetchWebPage (our WinINet layer over
# libcurl) and through `curl -s -o /dev/null` in the same run. Prints both times, their ratio
# (goal: 1.25 or less) and our peak resident memory (goal: at most 1.3 x the body + 40 MiB).
# FetchWebPage keeps the whole body in memory and curl keeps none, so two more lines split our
# time: the same reads through the layer with the body thrown away, and building a 64 MiB body
# in fresh memory without any request (the kernel's cost of handing out that memory).
#   bench/platform/fetch_vs_curl.sh [BUILD_DIR] [RUNS]     (default build/default, 10; built)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/default}
runs=${2:-10}
driver=$build/bin/fetch_bench_driver
[[ -x "$driver" ]] || { echo "no $driver: build the fetch_bench_driver target first" >&2; exit 1; }
python=/usr/bin/python3
[[ -x $python ]] || python=python3

body=$((64 * 1024 * 1024))
work=$(mktemp -d)
test_server_pid=
cleanup() {
  [[ -n "$test_server_pid" ]] && kill "$test_server_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "{\"/body\": {\"body_size\": $body}}" >"$work/routes.json"
source "$root/tests/server/start_test_server.sh"
start_test_server "$work" "$work/routes.json" 900
port=$test_server_port
url="http://127.0.0.1:$port/body"

report=$("$driver" "$url")
fetched=$(sed -n 's/.*bytes=\([0-9]*\).*/\1/p' <<<"$report")
peak_kib=$(sed -n 's/.*peak_rss_kib=\([0-9]*\).*/\1/p' <<<"$report")
[[ "$fetched" == "$body" ]] || { echo "fetched $fetched bytes, expected $body" >&2; exit 1; }

hyperfine --style none --warmup 2 --runs "$runs" --export-json "$work/times.json" \
  -n fetch "$driver $url" -n curl "curl -s -o /dev/null $url" \
  -n discard "$driver --discard $url" -n fill "$driver --fill $body" >/dev/null

"$python" - "$work/times.json" "$peak_kib" "$body" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
peak_mib = int(sys.argv[2]) / 1024
body_mib = int(sys.argv[3]) / (1024 * 1024)
fetch, curl = results["fetch"]["median"], results["curl"]["median"]
ratio = fetch / curl
limit = 1.3 * body_mib + 40
print(f"64 MiB body over loopback, median of {len(results['fetch']['times'])} runs")
print(f"  FetchWebPage  {fetch * 1000:8.1f} ms")
print(f"  curl          {curl * 1000:8.1f} ms")
print(f"  time ratio    {ratio:8.2f}   (goal <= 1.25: {'met' if ratio <= 1.25 else 'NOT met'})")
print(f"  peak RSS      {peak_mib:8.1f} MiB (goal <= {limit:.1f} MiB: {'met' if peak_mib <= limit else 'NOT met'})")
print("where our time goes")
print(f"  the same reads, body not kept   {results['discard']['median'] * 1000:8.1f} ms")
print(f"  a 64 MiB body in fresh memory   {results['fill']['median'] * 1000:8.1f} ms (no request)")
PY
