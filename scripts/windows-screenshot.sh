#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Pictures the Windows window: runs build/windows/app/win/marrowtune.exe under Wine in a
# virtual desktop (which draws the window's frame and caption) on a private X display (Xvfb),
# presses Enter in the keyword box so the list fills from the sample service (the Linux build's
# marrowtune-sample-service on a free port), and writes the screen as a PNG
# (default docs/windows-window.png). With a DPI other than 96 the program runs in a prefix of
# its own whose display has that DPI (build/windows/wineprefix-dpiN), in a desktop scaled to it.
#   scripts/windows-screenshot.sh [OUT.png [DPI]]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
out="$(realpath -m "${1:-docs/windows-window.png}")"
dpi="${2:-96}"
prefix="$root/build/windows/wineprefix"
if [ "$dpi" != 96 ]; then
  prefix="$root/build/windows/wineprefix-dpi$dpi"
  "$root/scripts/wine-run.sh" --prefix "$prefix" reg add 'HKCU\Control Panel\Desktop' \
    /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$root/scripts/wine-run.sh" --prefix "$prefix" reg add \
    'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
fi
width=$((800 * dpi / 96))
height=$((500 * dpi / 96))
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
export SHOT_OUT="$out" SHOT_EXE_DIR="$(dirname "$exe")" SHOT_ROOT="$root" SHOT_PREFIX="$prefix"
export SHOT_SIZE="${width}x${height}"
xvfb-run --auto-servernum --server-args="-screen 0 ${width}x${height}x24" bash -c '
  set -euo pipefail
  cd "$SHOT_EXE_DIR"
  "$SHOT_ROOT/scripts/wine-run.sh" --prefix "$SHOT_PREFIX" explorer /desktop=shot,$SHOT_SIZE \
    marrowtune.exe &
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
