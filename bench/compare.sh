#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Measures Marrowtune side by side with its anchors (node's V8 RegExp, curl, a bare Qt window)
# and prints one line per row:
#   <name> ours=<value> anchor=<value> ratio=<ours/anchor> target=<target> <met|missed>
# Runs are interleaved (ours, anchor, ours, ...) and each value is the median of the runs.
# Builds the bench preset first; starts its own loopback servers and stops them at the end.
#   bench/compare.sh            RUNS=31 bench/compare.sh (more runs per end-to-end row)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${RUNS:-15}
build=build/bench

cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null

for tool in node curl; do
  command -v "$tool" >/dev/null || { echo "compare.sh: $tool is needed" >&2; exit 1; }
done

tool=$build/bench/compare_tool
cli=$build/cli/marrowtune-cli
service=$build/tools/sample-service/marrowtune-sample-service
window=$build/app/window_first_frame
list_time=$build/app/window_list_time
suffix=$(sed -n 's/^MARROWTUNE_MUSIC_CDN_HOST_SUFFIX:[A-Z]*=//p' "$build/CMakeCache.txt")

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  node -e "const s=require('net').createServer().listen(0,'127.0.0.1',()=>{console.log(s.address().port);s.close()})"
}
wait_port() {
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$1/" && return 0
    sleep 0.05
  done
  echo "compare.sh: nothing answers on port $1" >&2
  exit 1
}

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Prints one row; values in the unit given, met when ours/anchor (or ours, for an absolute
# target) is at or under the target.
row() { # name ours anchor unit target-kind target
  awk -v n="$1" -v o="$2" -v a="$3" -v u="$4" -v k="$5" -v t="$6" 'BEGIN {
    r = a > 0 ? o / a : 0
    met = (k == "ratio") ? (r <= t) : (o <= t)
    printf "%s ours=%s%s anchor=%s%s ratio=%.2f target=%s%s %s\n", n, o, u, a, u, r,
           (k == "ratio" ? "<=" : "<="), t (k == "ratio" ? "" : u), met ? "met" : "missed"
  }'
}

# Wall time of one command line in milliseconds (bash's own clock: no process to read it).
ms() {
  local start=$EPOCHREALTIME end
  eval "$1" >/dev/null 2>&1 || true
  end=$EPOCHREALTIME
  awk -v s="${start/,/.}" -v e="${end/,/.}" 'BEGIN { printf "%.2f\n", (e - s) * 1000 }'
}

# Interleaved end-to-end runs of two command lines; prints "ours anchor" medians.
interleave() {
  local ours=() anchor=()
  for _ in $(seq "$runs"); do
    ours+=("$(ms "$1")")
    anchor+=("$(ms "$2")")
  done
  echo "$(printf '%s\n' "${ours[@]}" | median) $(printf '%s\n' "${anchor[@]}" | median)"
}

# The parse rows: five interleaved rounds of each side's own median.
parse_row() { # name file runs target
  local ours=() anchor=()
  for _ in 1 2 3 4 5; do
    ours+=("$("$tool" parse "$2" "$3" | cut -d' ' -f1)")
    anchor+=("$(node bench/compare/parse.js "$2" "$3" "$suffix")")
  done
  row "$1" "$(printf '%s\n' "${ours[@]}" | median)" "$(printf '%s\n' "${anchor[@]}" | median)" \
    us ratio "$4"
}

"$tool" answer 20 240 "$work/a20"
"$tool" answer 20 104000 "$work/a2m"
"$tool" answer 2000 240 "$work/a2000"
"$tool" answer 10000 240 "$work/a10000"

parse_row parse-20-songs "$work/a20" 2000 0.75
parse_row parse-2mb-20-songs "$work/a2m" 20 0.75
parse_row parse-10000-songs "$work/a10000" 10 0.75

# End to end against the sample service on a port of our own.
port=$(free_port)
"$service" --port "$port" >/dev/null 2>&1 &
pids+=($!)
wait_port "$port"
export MARROWTUNE_ZONE_PLAYLIST_HOST=127.0.0.1:$port MARROWTUNE_SONG_SEARCH_HOST=127.0.0.1:$port
export MARROWTUNE_MIRROR_HOST=127.0.0.1:$port MARROWTUNE_LISTEN_PAGE_HOST=127.0.0.1:$port
search_url="http://127.0.0.1:$port/fcgi-bin/fcg_search_xmldata.q?source=10&w=%E7%B4%AF%E6%AD%BB%E7%88%B1%E6%83%85&type=qry_song&out=json&p=1&perpage=20&ie=utf-8&uin=0&inCharset=GB2312&outCharset=GB2312&hostUin=0&notice=0&needNewCode=0&format=jsonp&platform=musicbox&jsonpCallback=searchJsonCallback&g_tk=5381&t=1700000000000"
zone_url="http://127.0.0.1:$port/fcg-bin/cgi_playlist_xml.fcg?json=1&uin=271828182&g_tk=5381&t=0.123456789012345"
read -r o a < <(interleave "$cli search 累死爱情" "curl -s '$search_url'")
row cli-search "$o" "$a" ms ratio 1.3
read -r o a < <(interleave "$cli zone 271828182" "curl -s '$zone_url'")
row cli-zone "$o" "$a" ms ratio 1.3

# Every page of a search of ten pages in one run (--all) against ten curl calls for the same
# pages, one after the other. A server gives every page the 20-song answer, its total raised
# to 200 hits.
LC_ALL=C sed 's/^searchJsonCallback({totalnum:20,/searchJsonCallback({totalnum:200,/' \
  "$work/a20" >"$work/a20of200"
pages_port=$(free_port)
node bench/compare/server.js "$pages_port" "$work/a20of200" >/dev/null &
pids+=($!)
wait_port "$pages_port"
pages_curl=""
page_url=${search_url/127.0.0.1:$port/127.0.0.1:$pages_port}
for page in $(seq 10); do
  pages_curl+="curl -s '${page_url%%&p=1&*}&p=$page&${page_url#*&p=1&}' >/dev/null; "
done
read -r o a < <(MARROWTUNE_SONG_SEARCH_HOST=127.0.0.1:$pages_port \
  interleave "$cli search 累死爱情 --all" "$pages_curl")
row cli-all-10-pages "$o" "$a" ms ratio 1.3

# The big answers come from a server that gives every search the same file.
big_port=$(free_port)
node bench/compare/server.js "$big_port" "$work/a10000" >/dev/null &
pids+=($!)
wait_port "$big_port"
big_url="http://127.0.0.1:$big_port/fcgi-bin/fcg_search_xmldata.q?w=x"
read -r o a < <(MARROWTUNE_SONG_SEARCH_HOST=127.0.0.1:$big_port \
  interleave "$cli search big" "curl -s '$big_url'")
row cli-10000-songs "$(awk -v v="$o" 'BEGIN { printf "%.3f", v / 1000 }')" \
  "$(awk -v v="$a" 'BEGIN { printf "%.3f", v / 1000 }')" s absolute 0.3

# The window writes its skin library next to itself only when none is there, so a copy left by
# an earlier build would be measured instead of this one.
rm -f "$build/app/SkinH_EL.dll"
QT_QPA_PLATFORM=offscreen "$window" ours >/dev/null 2>&1 || true
read -r o a < <(QT_QPA_PLATFORM=offscreen interleave "$window ours" "$window bare")
row window-first-frame "$o" "$a" ms ratio 1.3

# The window's own clock, from the click on its search button to the first paint of the list
# holding the 10,000 rows; the anchor is curl fetching the same answer.
ours=() anchor=()
for _ in $(seq "$runs"); do
  ours+=("$(MARROWTUNE_SONG_SEARCH_HOST=127.0.0.1:$big_port QT_QPA_PLATFORM=offscreen \
    "$list_time" big 2>/dev/null | cut -d' ' -f1)")
  anchor+=("$(ms "curl -s '$big_url'")")
done
row window-10000-songs \
  "$(awk -v v="$(printf '%s\n' "${ours[@]}" | median)" 'BEGIN { printf "%.3f", v / 1000 }')" \
  "$(awk -v v="$(printf '%s\n' "${anchor[@]}" | median)" 'BEGIN { printf "%.3f", v / 1000 }')" \
  s absolute 0.5

# Peak memory of the CLI by answer size (not a row: how memory grows); needs GNU time.
[ -x /usr/bin/time ] || { echo "peak-rss: /usr/bin/time is missing (apt-get install time)"; exit 0; }
for songs in 20 2000 10000; do
  mem_port=$(free_port)
  node bench/compare/server.js "$mem_port" "$work/a$songs" >/dev/null &
  pids+=($!)
  wait_port "$mem_port"
  rss=$( { MARROWTUNE_SONG_SEARCH_HOST=127.0.0.1:$mem_port /usr/bin/time -f %M \
    "$cli" search big >/dev/null; } 2>&1 | tail -n 1)
  echo "peak-rss-$songs-songs cli=${rss}KiB answer=$(( $(stat -c %s "$work/a$songs") / 1024 ))KiB"
done
