#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Pictures the Windows window: runs build/windows/app/win/marrowtune.exe under Wine in a
# virtual desktop (which draws the window's frame and caption) on a private X display (Xvfb),
# presses Enter in the keyword box so the list fills from the sample service (the Linux build's
# marrowtune-sample-service on a free port), and writes the screen as a PNG
# (default docs/windows-window.png).
#   scripts/windows-screenshot.sh [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
out="$(realpath -m "${1:-docs/windows-window.png}")"
exe="$root/build/windows/app/win/marrowtune.exe"
service="$root/build/sample/tools/sample-service/marrowtune-sample-service"
[ -f "$exe" ] || { echo "windows-screenshot: build the windows preset first" >&2; exit 1; }
[ -x "$service" ] || { echo "windows-screenshot: build the sample preset first" >&2; exit 1; }
for tool in xvfb-run xwininfo xdotool import; do
  command -v "$tool" >/dev/null || { echo "windows-screenshot: $tool missing (make deps-windows)" >&2; exit 1; }
done

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$service" --port "$port" >/dev/null 2>&1 &
service_pid=$!
trap 'kill "$service_pid" 2>/dev/null || true' EXIT

export MARROWTUNE_SONG_SEARCH_HOST="127.0.0.1:$port" MARROWTUNE_ZONE_PLAYLIST_HOST="127.0.0.1:$port"
export SHOT_OUT="$out" SHOT_EXE_DIR="$(dirname "$exe")" SHOT_ROOT="$root"
xvfb-run --auto-servernum --server-args="-screen 0 800x500x24" bash -c '
  set -euo pipefail
  cd "$SHOT_EXE_DIR"
  "$SHOT_ROOT/scripts/wine-run.sh" explorer /desktop=shot,800x500 marrowtune.exe &
  wine_pid=$!
  # The virtual desktop appears first; the window inside it is no X window of its own.
  for _ in $(seq 1 120); do
    if xwininfo -root -tree 2>/dev/null | grep -q "shot - "; then break; fi
    sleep 0.5
  done
  sleep 4
  # The keyword box has the focus at start: Enter presses the search button beside it.
  xdotool mousemove 400 250 key Return
  sleep 4
  import -window root "$SHOT_OUT"
  kill "$wine_pid" 2>/dev/null || true
'
echo "windows-screenshot: $out"
