#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a GoogleTest program under Wine without an X server; ctest runs every Windows test so:
#   scripts/wine-gtest-headless.sh [--prefix DIR] PROGRAM.exe [ARGS...]
# The program runs in a virtual desktop of its own on Wine's null display driver (windows
# exist, receive messages and draw into bitmaps; nothing reaches a screen), never on the
# prefix's shared default desktop, whose explorer would hold this program's output open while
# other programs use that desktop (cmake/Testing.cmake). Wine's explorer, which hosts the
# desktop, does not hand back the program's exit status, so the result is read from the
# program's XML report: no report, or any failure or error in it, fails the run.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
prefix_args=()
if [ "${1:-}" = "--prefix" ]; then
  prefix_args=(--prefix "$2")
  shift 2
fi
program="$1"
shift
if [ ! -f "$program" ]; then
  # Wine would show its "not found" box on the desktop and wait for it forever.
  echo "wine-gtest-headless: no program $program" >&2
  exit 1
fi

report="$(mktemp --suffix=.xml)"
trap 'rm -f "$report"' EXIT
rm -f "$report"
# The prefix's drive Z: is the root of the Linux file system.
windows_path() {
  local path
  path="$(realpath "$1")"
  printf 'Z:%s' "${path//\//\\}"
}
windows_program="$(windows_path "$program")"
windows_report="$(windows_path "$report")"
"$here/wine-run.sh" "${prefix_args[@]}" explorer "/desktop=marrowtune-test-$$,1024x768,null" \
  "$windows_program" "--gtest_output=xml:$windows_report" "$@"

if [ ! -s "$report" ]; then
  echo "wine-gtest-headless: $program wrote no report (it did not run to its end)" >&2
  exit 1
fi
if ! grep -q '<testsuites[^>]* failures="0"[^>]* errors="0"' "$report"; then
  echo "wine-gtest-headless: $program reported failures" >&2
  exit 1
fi
