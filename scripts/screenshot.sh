#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Pictures the main window: builds the window_shot tool, runs it on a virtual X display (Xvfb)
# and writes two PNGs: the window as it shows at start (default build/<preset>/window.png) and
# the window with sample rows and its list menu open (the same name with "-rows"); then the
# program's own road against the sample service: start, search, next page, Zone lookup, change
# skin ("-live-start" ... "-live-skin").
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${PRESET:-sample}
out=${1:-build/$preset/window.png}
rows=${out%.png}-rows.png
cmake --build --preset "$preset" -j2 --target window_shot
xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24" \
  "build/$preset/tools/window-shot/window_shot" "$out" "$rows"
xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24" \
  "build/$preset/tools/window-shot/window_shot" --live "${out%.png}-live"
echo "screenshot: $out $rows ${out%.png}-live-{start,search,next,zone,skin}.png"
