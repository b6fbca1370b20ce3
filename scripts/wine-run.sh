#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a Windows program under Wine in a private prefix, preparing the prefix on first use:
#   scripts/wine-run.sh [--prefix DIR] PROGRAM.exe [ARGS...]
# The prefix defaults to build/windows/wineprefix. The locale is zh_CN.UTF-8, so the Windows
# ANSI code page is 936 as on a Chinese Windows. ctest runs the Windows tests through this.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
prefix="$here/../build/windows/wineprefix"
if [ "${1:-}" = "--prefix" ]; then
  prefix="$2"
  shift 2
fi
mkdir -p "$prefix"
export WINEPREFIX="$(cd "$prefix" && pwd)" WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}"
export LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
# Tests run in parallel: one of them prepares the prefix and starts its Wine server and the
# prefix's background services, which stay a while after the last program ends (two programs
# that both start a server at the same moment can hang for good). They are started here without
# our output streams: ctest waits for every process holding a test's output to end.
# Nor do they get the lock: it would stay taken as long as they run.
(
  flock 9
  "$here/wine-prefix.sh" "$prefix" 9>&-
  wineserver -p30 </dev/null >/dev/null 2>&1 9>&- || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
) 9>"$prefix.lock"
exec wine "$@"
