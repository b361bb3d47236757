#!/usr/bin/env bash
# lumaclip-cli against its peers, all on one loopback server in one run:
#   1. one ~100 KB share page: lumaclip-cli LINK, `curl -s URL | grep -o ...` and Debian's
#      `yt-dlp -g URL` (hyperfine; yt-dlp's outcome is printed as it is, success or not);
#      goal: lumaclip-cli within 1.2 x the curl pipeline's time;
#   2. 1,000 links to pages that answer after 50 ms each, at --jobs 1 and --jobs 16;
#      goal: --jobs 16 at least 10 x faster.
#   bench/cli/bench.sh [BUILD_DIR] [RUNS]     (default build/default, 30; lumaclip-cli built)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/default}
runs=${2:-30}
cli=$build/bin/lumaclip-cli
[[ -x "$cli" ]] || { echo "no $cli: build the lumaclip-cli target first" >&2; exit 1; }
for tool in hyperfine curl yt-dlp; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
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

# The share page: a realistic head, the player with the preview image halfway down, comments
# and scripts after it; about 100 KB.
"$python" - "$work/routes.json" <<'PY'
import json, sys
filler = "".join(
    '<div class="comment"><span class="user">用户%04d</span><p>今天的晚霞太美了，'
    '这是第 %d 条评论。Lovely sunset!</p></div>\n' % (i, i) for i in range(475))
script = '<script>window.__DATA__ = {"items": [%s]};</script>\n' % ",".join(
    '{"id": %d, "cover": "https://p.v.test/cover/%d.jpeg"}' % (i, i) for i in range(600))
half = len(filler) // 2
page = ('<!DOCTYPE html><html lang="zh-CN"><head><meta charset="utf-8">'
        '<title>小林的作品 - 分享</title></head><body>\n' + filler[:half] +
        '<div class="player"><img class="video-preview" '
        'src="https://v.v.test/obj/tos/7301/clip_720p.jpg?x-expires=1700000000&amp;sig=ab12" '
        'alt=""></div>\n' + filler[half:] + script + '</body></html>\n')
slow = ('<html><body><img class="video-preview" src="/v/clip.jpg"></body></html>')
routes = {"/share/page": {"body": page},
          "*": {"body": slow, "delay": 0.05}}
json.dump(routes, open(sys.argv[1], "w"), ensure_ascii=False)
PY
source "$root/tests/server/start_test_server.sh"
start_test_server "$work" "$work/routes.json" 900
port=$test_server_port
url="http://127.0.0.1:$port/share/page"
export LUMACLIP_RESOLVE=""  # keep every name lookup of our layer on this machine
page_bytes=$(curl -s "$url" | wc -c)

# What each one answers, once, before timing.
ours=$("$cli" "$url")
theirs=$(curl -s "$url" | grep -o 'class="video-preview" src="[^"]*\.jpg' | head -n 1)
set +e
ytdlp_out=$(yt-dlp -g --no-cache-dir --no-config "$url" 2>"$work/yt-dlp.err")
ytdlp_status=$?
set -e

hyperfine --style none --warmup 3 --runs "$runs" --ignore-failure --export-json "$work/one.json" \
  -n lumaclip-cli "$cli $url" \
  -n "curl | grep" "curl -s $url | grep -o 'class=\"video-preview\" src=\"[^\"]*\\.jpg'" \
  -n "yt-dlp -g" "yt-dlp -g --no-cache-dir --no-config $url" >/dev/null 2>"$work/hyperfine.err" ||
  { cat "$work/hyperfine.err" >&2; exit 1; }

# The batch: 1,000 links, each answered after 50 ms.
for ((i = 1; i <= 1000; i++)); do echo "http://127.0.0.1:$port/batch/$i"; done >"$work/links.txt"
batch_check=$("$cli" --jobs 16 - <"$work/links.txt" | grep -c '/v/clip.mp4$' || true)
hyperfine --style none --runs 1 --export-json "$work/batch.json" \
  -n "jobs 1" "$cli --jobs 1 - <$work/links.txt" \
  -n "jobs 16" "$cli --jobs 16 - <$work/links.txt" >/dev/null

"$python" - "$work/one.json" "$work/batch.json" "$page_bytes" "$ours" "$theirs" \
  "$ytdlp_status" "$ytdlp_out" "$work/yt-dlp.err" "$batch_check" <<'PY'
import json, sys
one = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
batch = {r["command"]: r for r in json.load(open(sys.argv[2]))["results"]}
page_bytes, ours, theirs = int(sys.argv[3]), sys.argv[4], sys.argv[5]
ytdlp_status, ytdlp_out = int(sys.argv[6]), sys.argv[7]
ytdlp_err = [l for l in open(sys.argv[8], errors="replace").read().splitlines() if l.strip()]
batch_ok = int(sys.argv[9])

def ms(result):
    return f"{result['mean'] * 1000:8.1f} ms ± {result['stddev'] * 1000:5.1f}"

print(f"One share page of {page_bytes} bytes over loopback, mean of {len(one['lumaclip-cli']['times'])} runs")
for name in ("lumaclip-cli", "curl | grep", "yt-dlp -g"):
    print(f"  {name:14s}{ms(one[name])}")
print(f"  lumaclip-cli printed: {ours}")
print(f"  curl | grep printed:  {theirs}")
if ytdlp_status == 0:
    print(f"  yt-dlp -g printed:    {ytdlp_out}")
else:
    print(f"  yt-dlp -g failed (exit {ytdlp_status}): {ytdlp_err[-1] if ytdlp_err else 'no message'}")
ratio = one["lumaclip-cli"]["mean"] / one["curl | grep"]["mean"]
print(f"  lumaclip-cli / curl pipeline  {ratio:5.2f}   (goal <= 1.2: {'met' if ratio <= 1.2 else 'NOT met'})")
print(f"  yt-dlp / lumaclip-cli         {one['yt-dlp -g']['mean'] / one['lumaclip-cli']['mean']:5.1f}")
print()
serial, parallel = batch["jobs 1"]["mean"], batch["jobs 16"]["mean"]
speedup = serial / parallel
print(f"1,000 links, each answered after 50 ms ({batch_ok} of 1000 resolved at --jobs 16)")
print(f"  --jobs 1   {serial:7.2f} s")
print(f"  --jobs 16  {parallel:7.2f} s")
print(f"  speed-up   {speedup:7.1f} x   (goal >= 10: {'met' if speedup >= 10 else 'NOT met'})")
PY
