#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Renders a mock of the window in every skin theme, offscreen, into contact sheets:
#   <out>/skin-themes-1-29.png, <out>/skin-themes-30-58.png     the 58 themes
#   <out>/skin-themes-aero-1-29.png, ...-30-58.png               the same with the aero look
#   <out>/skin-theme-9-aero.png                                  the start theme, full size
#
#   scripts/skin-contact-sheet.sh [build directory] [output directory]
#
# Defaults: build/sample and <build directory>/contact-sheets. Builds what it needs.
set -euo pipefail

build="${1:-build/sample}"
out="${2:-$build/contact-sheets}"
cmake --build "$build" -j2 --target marrowtune_skin_contact_sheet marrowtune_skin_themes
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
tool="$build/platform/skin/marrowtune_skin_contact_sheet"
themes="$build/skin-themes"
for range in "1 29" "30 58"; do
  set -- $range
  "$tool" "$themes" "$out/skin-themes-$1-$2.png" --from "$1" --to "$2" --columns 5 --scale 0.4
  "$tool" "$themes" "$out/skin-themes-aero-$1-$2.png" --from "$1" --to "$2" --columns 5 \
    --scale 0.4 --aero
done
"$tool" "$themes" "$out/skin-theme-9-aero.png" --from 9 --to 9 --scale 1 --aero
echo "contact sheets in $out"
