#!/usr/bin/env bash
# 1,000 Parse commands in one run against the loopback test server (the window test
# ParseCommandTest.AThousandCommandsLeaveMemoryFlat): the resident memory after 100 and after
# 1,000 commands, then the same run under valgrind, whose definite leaks are sorted into ours
# (a frame in our code or our libcurl layer) and fontconfig's (blocks that Qt's font database
# loses inside fontconfig while the window draws its first texts, once per process).
#   bench/platform/parse_memory.sh [BUILD_DIR]    (default build/default, already built)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/default}
program=$build/tests/platform/qt_window/qt_parse_command_test
filter=ParseCommandTest.AThousandCommandsLeaveMemoryFlat
[[ -x "$program" ]] || { echo "no $program: build it first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! timeout 300 "$program" --gtest_filter="$filter" --gtest_output="xml:$work/run.xml" \
    >"$work/run.log" 2>&1; then
  cat "$work/run.log"
  exit 1
fi
python3 - "$work/run.xml" <<'PY'
import re, sys
xml = open(sys.argv[1]).read()
warmed = int(re.search(r'rss_kib_after_100" value="(\d+)"', xml).group(1))
after = int(re.search(r'rss_kib_after_1000" value="(\d+)"', xml).group(1))
print(f"resident memory: {warmed} KiB after 100 commands, {after} KiB after 1,000 "
      f"({after - warmed:+d} KiB over 900 commands)")
PY

echo "valgrind: 1,000 commands (about a minute)"
timeout 1200 valgrind --leak-check=full --show-leak-kinds=definite --num-callers=50 \
  "$program" --gtest_filter="$filter" >"$work/valgrind.log" 2>&1 || true
grep -q '\[  PASSED  \] 1 test' "$work/valgrind.log" || grep -q '\[  SKIPPED \] 1 test' \
  "$work/valgrind.log" || { tail -n 40 "$work/valgrind.log"; exit 1; }
python3 - "$work/valgrind.log" <<'PY'
import re, sys
records, current = [], None
for line in open(sys.argv[1], errors="replace"):
    text = re.sub(r"^==\d+== ?", "", line.rstrip("\n"))
    if "are definitely lost in loss record" in text:
        current = [text]
        records.append(current)
    elif current is not None:
        if text.strip():
            current.append(text)
        else:
            current = None
fontconfig = [r for r in records if any("libfontconfig" in frame for frame in r[1:])]
ours = [r for r in records
        if r not in fontconfig and any("lumaclip" in frame for frame in r[1:])]
def total(rs):
    return sum(int(re.match(r"([\d,]+)", r[0]).group(1).replace(",", "")) for r in rs)
print(f"valgrind definite leaks: {len(records)} records, {total(records)} bytes in all; "
      f"inside fontconfig: {len(fontconfig)} records, {total(fontconfig)} bytes; "
      f"ours: {len(ours)} records, {total(ours)} bytes")
for record in ours:
    print("\n".join(record))
sys.exit(1 if ours else 0)
PY
