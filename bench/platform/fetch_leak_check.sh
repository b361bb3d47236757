#!/usr/bin/env bash
# 1,000 requests through FetchWebPage over our WinINet layer under valgrind --leak-check=full,
# against a loopback server (plain pages, redirects, cookies, chunked and failing answers in
# turn). Passes when valgrind finds no definite leak.
#   bench/platform/fetch_leak_check.sh [BUILD_DIR] [REQUESTS]    (default build/default, 1000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/default}
requests=${2:-1000}
driver=$build/bin/fetch_bench_driver
[[ -x "$driver" ]] || { echo "no $driver: build the fetch_bench_driver target first" >&2; exit 1; }
python=/usr/bin/python3
[[ -x $python ]] || python=python3

work=$(mktemp -d)
test_server_pid=
cleanup() {
  [[ -n "$test_server_pid" ]] && kill "$test_server_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# One address whose answers take turns: a redirect that sets a cookie, the page it leads to,
# a chunked page, an error page, and a reset inside a body.
cat >"$work/routes.json" <<'JSON'
{"/mix": [{"status": 302, "headers": [["Location", "/page"], ["Set-Cookie", "s=1; path=/"]]}],
 "/page": [{"body_size": 20000}, {"chunked": true, "body_size": 5000, "chunk_size": 333},
           {"status": 404, "body": "missing"}, {"body_size": 50000, "reset_after": 1000}]}
JSON
"$python" - "$work/routes.json" <<'PY'
import json, sys
path = sys.argv[1]
routes = json.load(open(path))
turns = routes["/page"]
routes["/page"] = [turns[i % len(turns)] for i in range(4000)]
json.dump(routes, open(path, "w"))
PY
source "$root/tests/server/start_test_server.sh"
start_test_server "$work" "$work/routes.json" 1800
port=$test_server_port

timeout 1500 valgrind --leak-check=full --errors-for-leak-kinds=definite --error-exitcode=3 \
  --log-file="$work/valgrind.log" "$driver" "http://127.0.0.1:$port/mix" "$requests" || status=$?
grep -E "definitely lost|indirectly lost|possibly lost|still reachable|ERROR SUMMARY" "$work/valgrind.log" |
  sed 's/^==[0-9]*== */  /'
if [[ "${status:-0}" == 3 ]]; then
  echo "valgrind found a definite leak or a memory error:"; cat "$work/valgrind.log"; exit 1
fi
echo "no definite leak over $requests requests"
