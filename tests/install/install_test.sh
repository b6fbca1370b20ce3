#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_test.sh BUILD_DIR CMAKE DESKTOP_FILE_VALIDATE APPSTREAMCLI PLANTED_LIBRARY
# Installs BUILD_DIR into a fresh prefix and runs the installed window as the prefix's owner,
# with a stranger's shared object planted as bin/SkinH_EL.dll: it must bind the installed skin
# library, never run the planted one, and write nothing. Then makes the prefix read-only and
# runs the installed programs from it as an ordinary user: the window offscreen until it has
# bound its skin library, and marrowtune-cli --version. Validates the desktop entry and the
# metainfo.
set -euo pipefail
build=$1 cmake=$2 validate_desktop=$3 appstreamcli=$4 planted=$5
id=example.marrowtune.Marrowtune
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")

work=$(mktemp -d)
window_pid=""
cleanup() {
  if [ -n "$window_pid" ]; then kill "$window_pid" 2>/dev/null || true; fi
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

for f in bin/marrowtune bin/marrowtune-cli share/applications/$id.desktop \
         share/metainfo/$id.metainfo.xml share/man/man1/marrowtune.1.gz \
         share/man/man1/marrowtune-cli.1.gz share/bash-completion/completions/marrowtune-cli \
         share/doc/marrowtune/copyright share/doc/marrowtune/changelog.gz; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -f "$png" ] || fail "missing the ${size}px icon"
done
library=$(find "$prefix" -path '*/marrowtune/SkinH_EL.dll')
[ -n "$library" ] || fail "missing lib/marrowtune/SkinH_EL.dll"
[ -z "$(find "$prefix/bin" -name 'SkinH_EL.dll')" ] || fail "SkinH_EL.dll installed into bin"

# Only errors fail; the three main categories asked for earn a hint.
"$validate_desktop" "$prefix/share/applications/$id.desktop" >/dev/null
"$appstreamcli" validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null

# Waits until the window process $window_pid has the installed skin library mapped, then makes
# sure it is still running a second later (the theme is applied and the window shown right
# after the library is bound) without a word on stderr, and ends it.
run_window_until_skinned() {
  for _ in $(seq 300); do
    if grep -qF "$library" "/proc/$window_pid/maps" 2>/dev/null; then break; fi
    kill -0 "$window_pid" 2>/dev/null || fail "the window ended: $(cat "$work/stderr")"
    sleep 0.1
  done
  grep -qF "$library" "/proc/$window_pid/maps" || fail "the skin library was never loaded"
  sleep 1
  kill -0 "$window_pid" 2>/dev/null || fail "the window ended: $(cat "$work/stderr")"
  kill "$window_pid"
  wait "$window_pid" 2>/dev/null || true
  window_pid=""
  [ ! -s "$work/stderr" ] || fail "the window wrote to stderr: $(cat "$work/stderr")"
}

# The prefix's owner runs the window from it; a stranger (nobody, when we are root) has put a
# shared object named SkinH_EL.dll beside the program. Its code would end the window with 97.
owner_runtime=$work/owner-runtime
mkdir -m 700 "$owner_runtime"
cp "$planted" "$prefix/bin/SkinH_EL.dll"
if [ "$(id -u)" -eq 0 ]; then chown nobody "$prefix/bin/SkinH_EL.dll"; fi
before=$(cd "$prefix" && find . -printf '%p %s %T@\n' | sort)
env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$owner_runtime" QT_QPA_PLATFORM=offscreen \
  "$prefix/bin/marrowtune" 2>"$work/stderr" &
window_pid=$!
run_window_until_skinned
[ "$(cd "$prefix" && find . -printf '%p %s %T@\n' | sort)" = "$before" ] ||
  fail "the installed window wrote into its prefix"
[ -z "$(ls -A "$owner_runtime")" ] || fail "the installed window wrote into \$XDG_RUNTIME_DIR"
rm "$prefix/bin/SkinH_EL.dll"

# A read-only prefix, run by an ordinary user (root would write into it regardless).
chmod 755 "$work"
chmod -R a-w "$prefix"
home=$work/home
mkdir -p "$home"
chmod 700 "$home"
run=(env)
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$home"
  run=(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all env)
fi
run+=(-u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_RUNTIME_DIR="$home")

# --version answers without any display.
[ "$("${run[@]}" QT_QPA_PLATFORM= "$prefix/bin/marrowtune" --version)" = "marrowtune $version" ] ||
  fail "marrowtune --version"
[ "$("${run[@]}" "$prefix/bin/marrowtune-cli" --version)" = "marrowtune-cli $version" ] ||
  fail "marrowtune-cli --version"

# The window binds the installed library.
"${run[@]}" QT_QPA_PLATFORM=offscreen "$prefix/bin/marrowtune" 2>"$work/stderr" &
window_pid=$!
run_window_until_skinned
[ -z "$(find "$prefix/bin" -name '*SkinH_EL*')" ] || fail "a library was written into bin"
echo "install_test: the installed window binds only its own library and writes nothing;" \
  "installed programs run from a read-only prefix"
