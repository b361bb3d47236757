# Sourced by scripts that need the loopback test server (test_server.py beside this file).
#   start_test_server WORK_DIR ROUTES_FILE LIFETIME_SECONDS [more server options]
# starts it in the background, waits until it listens, and sets test_server_pid and
# test_server_port. The server stops after its lifetime at the latest; the caller's EXIT trap
# stops it sooner (kill "$test_server_pid").
start_test_server() {
  local work=$1 routes=$2 lifetime=$3
  shift 3
  local python=/usr/bin/python3
  [[ -x $python ]] || python=python3
  "$python" "$(dirname "${BASH_SOURCE[0]}")/test_server.py" --routes "$routes" \
    --lifetime "$lifetime" "$@" >"$work/server.out" &
  test_server_pid=$!
  local i
  for ((i = 0; i < 100; i++)); do
    grep -q READY "$work/server.out" 2>/dev/null && break
    sleep 0.1
  done
  test_server_port=$(awk '/^PORT/ {print $2}' "$work/server.out")
  [[ -n "$test_server_port" ]] || { echo "the test server did not start" >&2; return 1; }
}
