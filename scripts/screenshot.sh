#!/usr/bin/env bash
# Pictures the main window as it shows at start: builds the window_shot tool, runs it on a
# virtual X display (Xvfb) and writes the PNG, by default build/<preset>/window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${PRESET:-sample}
out=${1:-build/$preset/window.png}
cmake --build --preset "$preset" -j2 --target window_shot
xvfb-run --auto-servernum --server-args="-screen 0 1280x800x24" \
  "build/$preset/tests/app/window_shot" "$out"
echo "screenshot: $out"
