#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program with windows under Wine, on an X display of its own (Xvfb):
#   scripts/wine-run-display.sh --prefix DIR PROGRAM.exe [ARGS...]
# Wine binds a prefix's desktop to the display of the program that started it: a prefix whose
# server a display-less program started cannot make windows, and one started on a display that
# has gone cannot either. So the prefix is one no display-less program uses, and its server is
# stopped afterwards, with the display.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ "${1:-}" != "--prefix" ] || [ $# -lt 3 ]; then
  echo "usage: wine-run-display.sh --prefix DIR PROGRAM.exe [ARGS...]" >&2
  exit 2
fi
prefix="$2"
shift 2
status=0
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
  "$here/wine-run.sh" --prefix "$prefix" "$@" || status=$?
WINEPREFIX="$(cd "$prefix" && pwd)" wineserver -k >/dev/null 2>&1 || true
exit "$status"
