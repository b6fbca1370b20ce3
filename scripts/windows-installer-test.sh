#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs a Windows installer silently under Wine, checks the installed files, the
# Start-menu entry and that the installed programs start, uninstalls silently and checks that
# all of it is gone:
#   scripts/windows-installer-test.sh [--prefix DIR] [--default-folder | --current-user] [--search LINUX_BUILD] [BUILD_DIR]
# BUILD_DIR (default build/windows) holds the installer (`make package-windows` for the
# release, `cpack -G NSIS` in the test build); the Wine prefix defaults to BUILD_DIR/wineprefix.
# --default-folder installs into the installer's own folder (Marrowtune in the Program Files
# folder of the installer's width) instead of a chosen one. --current-user installs for the
# current user only (/CurrentUser, into the user's own programs folder, registered under HKCU,
# with /AddToPath) and checks the user's PATH and App Paths entries too. --search runs the installed
# marrowtune-cli.exe against LINUX_BUILD's sample service, with the host environment variables
# pointing at it, and compares its `search 累死爱情` with LINUX_BUILD's own marrowtune-cli.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
prefix=""
default_folder=0
current_user=0
linux_build=""
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix="$2"; shift 2 ;;
    --default-folder) default_folder=1; shift ;;
    --current-user) current_user=1; shift ;;
    --search) linux_build="$(cd "$2" && pwd)"; shift 2 ;;
    *) break ;;
  esac
done
build="$(cd "${1:-$here/../build/windows}" && pwd)"
installer="$(ls "$build"/marrowtune-*-win32.exe "$build"/marrowtune-*-win64.exe 2>/dev/null | head -n 1 || true)"
if [ -z "$installer" ]; then
  echo "windows-installer-test: no installer in $build (make package-windows)" >&2
  exit 1
fi
prefix="${prefix:-$build/wineprefix}"
run() { "$here/wine-run.sh" --prefix "$prefix" "$@"; }
fail() { echo "windows-installer-test: $*" >&2; exit 1; }

# An installation left by an interrupted run is uninstalled first: the installer would find
# it registered and, its uninstaller gone, refuse to install.
clear_earlier() {
  if [ -f "$unix_folder/Uninstall.exe" ]; then
    run "$folder\\Uninstall.exe" /S "${uninstall_args[@]}" "_?=$folder" </dev/null || true
  fi
  rm -rf "$unix_folder"
}
# A registry value as the prefix holds it (empty when there is none).
reg_value() {
  run reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | head -n 1
}
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marrowtune'
app_path_key='HKCU\Software\Microsoft\Windows\CurrentVersion\App Paths\marrowtune-cli.exe'
uninstall_args=()
if [ "$current_user" = 1 ]; then
  # The folder is the user's own programs folder; where that is, the installer says.
  local_appdata="$(run cmd /c echo %LOCALAPPDATA% </dev/null | tr -d '\r')"
  folder="$local_appdata\Programs\Marrowtune"
  unix_folder="$(run winepath -u "$folder" </dev/null 2>/dev/null)"
  uninstall_args=(/CurrentUser)
  clear_earlier
  run "$installer" /S /CurrentUser /AddToPath </dev/null || fail "the per-user installer failed"
  [ "$(reg_value "$uninstall_key" InstallLocation)" = "$folder" ] ||
    fail "no per-user Add/Remove Programs entry for $folder"
  [ -z "$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marrowtune' InstallLocation)" ] ||
    fail "the per-user installation wrote the machine's Add/Remove Programs entry"
  # The default value's name is the system's own word for "default": read by position.
  default_value="$(run reg query "$app_path_key" /ve </dev/null 2>/dev/null | tr -d '\r' |
    LC_ALL=C sed -n 's/^.*REG_[A-Z_]* *//p' | head -n 1)"
  [ "$default_value" = "$folder\marrowtune-cli.exe" ] ||
    fail "no App Paths entry for marrowtune-cli.exe"
  case ";$(reg_value 'HKCU\Environment' Path);" in
    *";$folder;"*) ;;
    *) fail "the user's PATH does not hold $folder" ;;
  esac
elif [ "$default_folder" = 1 ]; then
  # A 32-bit installer's Program Files is the 32-bit one, "Program Files (x86)" in the
  # 64-bit prefix.
  case "$installer" in
    *-win32.exe) program_files='Program Files (x86)' ;;
    *) program_files='Program Files' ;;
  esac
  folder="C:\\$program_files\\Marrowtune"
  unix_folder="$prefix/drive_c/$program_files/Marrowtune"
  clear_earlier
  run "$installer" /S </dev/null || fail "the installer failed"
else
  folder='C:\marrowtune-installer-test'
  unix_folder="$prefix/drive_c/marrowtune-installer-test"
  clear_earlier
  # /S: silent; /D=: the folder, last and unquoted as NSIS wants it.
  run "$installer" /S "/D=$folder" </dev/null || fail "the installer failed"
fi
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

if [ -n "$linux_build" ]; then
  service="$linux_build/tools/sample-service/marrowtune-sample-service"
  [ -x "$service" ] || fail "no $service (cmake --build --preset sample)"
  # A port nobody listens on now (other checkouts' tests use the default one).
  port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
  log="$(mktemp)"
  "$service" --port "$port" >"$log" 2>&1 &
  service_pid=$!
  trap 'kill "$service_pid" 2>/dev/null || true; rm -f "$log"' EXIT
  for _ in $(seq 50); do
    grep -q listening "$log" && break
    kill -0 "$service_pid" 2>/dev/null || { cat "$log" >&2; fail "the sample service did not start"; }
    sleep 0.1
  done
  export MARROWTUNE_ZONE_PLAYLIST_HOST="127.0.0.1:$port" MARROWTUNE_SONG_SEARCH_HOST="127.0.0.1:$port"
  export MARROWTUNE_MIRROR_HOST="127.0.0.1:$port" MARROWTUNE_LISTEN_PAGE_HOST="127.0.0.1:$port"
  export MARROWTUNE_AUTHOR_PAGE_URL="http://127.0.0.1:$port/about"
  export MARROWTUNE_STREAM_REDIRECT_HOST=streamrdt.sample.invalid
  export MARROWTUNE_MUSIC_CDN_HOST_SUFFIX=cdn.sample.invalid
  expected="$("$linux_build/cli/marrowtune-cli" search 累死爱情)"
  # The Windows C runtime writes text output with CRLF line ends: the rows are compared.
  actual="$(run "$folder\\marrowtune-cli.exe" search 累死爱情 </dev/null | tr -d '\r')" ||
    fail "the installed marrowtune-cli.exe failed: search 累死爱情"
  if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "the installed marrowtune-cli.exe lists other rows than the Linux one for search 累死爱情"
  fi
  [ "$(echo "$expected" | wc -l)" -gt 2 ] || fail "the Linux marrowtune-cli found nothing: $expected"
  echo "windows-installer-test: search 累死爱情 lists the same $(echo "$expected" | wc -l) lines as on Linux"
  kill "$service_pid"
  wait "$service_pid" 2>/dev/null || true
  trap - EXIT
  rm -f "$log"
fi

# The uninstaller copies itself away and runs from there: wait for it to finish.
run "$folder\\Uninstall.exe" /S "${uninstall_args[@]}" </dev/null
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
if [ "$current_user" = 1 ]; then
  for _ in $(seq 1 60); do
    [ -z "$(reg_value "$uninstall_key" InstallLocation)" ] && break
    sleep 0.5
  done
  [ -z "$(reg_value "$uninstall_key" InstallLocation)" ] || fail "the Add/Remove Programs entry is left"
  [ -z "$(reg_value "$app_path_key" Path)" ] || fail "the App Paths entry is left"
  case ";$(reg_value 'HKCU\Environment' Path);" in
    *";$folder;"*) fail "the user's PATH still holds $folder" ;;
  esac
fi
echo "windows-installer-test: installed, checked and uninstalled $(basename "$installer")"
