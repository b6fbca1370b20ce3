#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Windows installer silently under Wine, checks the installed files, the
# Start-menu entry and that the installed programs start, uninstalls silently and checks that
# all of it is gone:
#   scripts/windows-installer-test.sh [BUILD_DIR]      (default build/windows; `make package-windows` first)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../build/windows}" && pwd)"
installer="$(ls "$build"/marrowtune-*-win64.exe 2>/dev/null | head -n 1 || true)"
if [ -z "$installer" ]; then
  echo "windows-installer-test: no installer in $build (make package-windows)" >&2
  exit 1
fi
prefix="$build/wineprefix"
run() { "$here/wine-run.sh" --prefix "$prefix" "$@"; }
fail() { echo "windows-installer-test: $*" >&2; exit 1; }

folder='C:\marrowtune-installer-test'
unix_folder="$prefix/drive_c/marrowtune-installer-test"
rm -rf "$unix_folder"

# /S: silent; /D=: the folder, last and unquoted as NSIS wants it.
run "$installer" /S "/D=$folder" </dev/null
for file in marrowtune.exe marrowtune-cli.exe SkinH_EL.dll LICENSE.txt Uninstall.exe; do
  [ -f "$unix_folder/$file" ] || fail "$file not installed"
done
cmp -s "$unix_folder/SkinH_EL.dll" "$build/skin-library/SkinH_EL.dll" ||
  fail "the installed SkinH_EL.dll is not the built one"
shortcut() {
  find "$prefix/drive_c" -path '*/Start Menu/Programs/Marrowtune/Marrowtune.lnk' 2>/dev/null
}
[ -n "$(shortcut)" ] || fail "no Start-menu entry Marrowtune"
strings -a "$(shortcut)" | grep -qxF "$folder\\marrowtune.exe" ||
  fail "the Start-menu entry does not start $folder\\marrowtune.exe"
run "$folder\\marrowtune-cli.exe" --help </dev/null >/dev/null || fail "the installed marrowtune-cli.exe does not start"

# The uninstaller copies itself away and runs from there: wait for it to finish.
run "$folder\\Uninstall.exe" /S </dev/null
for _ in $(seq 1 120); do
  if [ ! -e "$unix_folder/marrowtune.exe" ] && [ -z "$(shortcut)" ]; then
    break
  fi
  sleep 0.5
done
for file in marrowtune.exe marrowtune-cli.exe SkinH_EL.dll LICENSE.txt; do
  [ ! -e "$unix_folder/$file" ] || fail "$file left after uninstalling"
done
[ -z "$(shortcut)" ] || fail "the Start-menu entry is left after uninstalling"
echo "windows-installer-test: installed, checked and uninstalled $(basename "$installer")"
