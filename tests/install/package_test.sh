#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# package_test.sh BUILD_DIR CPACK LINTIAN
# Builds the .deb from BUILD_DIR into a temporary folder and checks it: lintian finds no error
# and no warning, it recommends a CJK font (the captions are Chinese) and xdg-utils (the pages
# open through xdg-open), and no placeholder host (.example) is in any file it installs.
set -euo pipefail
build=$1 cpack=$2 lintian=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

"$cpack" -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack -G DEB failed"; }
deb=$(find "$work" -maxdepth 1 -name 'marrowtune_*.deb' | head -n 1)
[ -n "$deb" ] || fail "no .deb built"

recommends=$(dpkg-deb -f "$deb" Recommends)
[ "$recommends" = "fonts-wqy-microhei | fonts-noto-cjk, xdg-utils" ] ||
  fail "Recommends: $recommends"
dpkg-deb -x "$deb" "$work/root"
if grep -rlF '.example' "$work/root"; then fail "a placeholder host in the files above"; fi

# --fail-on: any error or warning fails; pedantic and informational tags are listed only.
"$lintian" --fail-on error,warning --no-tag-display-limit "$deb" || fail "lintian: see above"
echo "package_test: $(basename "$deb") is lintian-clean and recommends its font and xdg-utils"
