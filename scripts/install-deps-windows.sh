#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the Windows build needs on top of scripts/install-deps.sh: the mingw-w64
# cross compilers (posix threads, for std::thread and std::mutex) for 64-bit Windows (the test
# build) and 32-bit Windows (the release), Wine with its 32-bit half (wine32, from Debian's
# i386 architecture) to run both, the CJK font the Wine prefix maps the dialog fonts to, and
# the packaging tools.
# Idempotent: only packages that are missing are installed; apt-get update runs only then.
# apt-get is tried again when a mirror fails for a while (scripts/apt-common.sh). wine32 is
# the one package that may be missing afterwards: only the 32-bit release's checks need it,
# and `make test-windows` skips them without it, saying so.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 fonts-wine
  fonts-wqy-microhei
  xvfb xauth
  # the Win32 window's layout is generated from its Designer template
  python3
  # the window's screenshot: waiting for the window, pressing Enter, taking the picture
  x11-utils xdotool imagemagick
  nsis zip
  # GoogleTest's sources, built for Windows alongside the suites
  googletest
)
wine32=wine32:i386

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
want_wine32=0
installed "$wine32" || want_wine32=1

here="$(cd "$(dirname "$0")" && pwd)"
httplib_dir="$here/../build/third_party/cpp-httplib"
want_httplib=0
[ -f "$httplib_dir/httplib.h" ] || want_httplib=1

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
apt_name=install-deps-windows
# shellcheck source=apt-common.sh
. "$here/apt-common.sh"
export DEBIAN_FRONTEND=noninteractive

# wine32 comes from the i386 architecture; adding it needs a fresh package list.
if [ "$want_wine32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-deps-windows: adding the i386 architecture (for wine32)"
  $sudo dpkg --add-architecture i386
fi

# Debian's cpp-httplib is built for Linux, with its header split from the code; the Windows
# tests compile the single header from Debian's source package (with Debian's patches), which
# apt finds through deb-src entries made from the machine's own sources. Earlier versions of
# this script wrote a fixed address instead (marrowtune-sources.sources): it goes.
if [ -f "$apt_etc/sources.list.d/marrowtune-sources.sources" ]; then
  $sudo rm -f "$apt_etc/sources.list.d/marrowtune-sources.sources"
fi
if [ "$want_httplib" = 1 ] && ! apt_has_deb_src; then
  echo "install-deps-windows: adding source packages to apt, from its own sources"
  apt_deb_src | $sudo tee "$apt_etc/sources.list.d/marrowtune-deb-src.sources" >/dev/null
fi

if [ ${#missing[@]} -eq 0 ] && [ "$want_wine32" = 0 ] && [ "$want_httplib" = 0 ]; then
  echo "install-deps-windows: all $((${#packages[@]} + 1)) packages present"
else
  # Without the i386 indexes only wine32 is lost; source indexes matter only for the header.
  optional='/binary-i386/|/i18n/'
  [ "$want_httplib" = 1 ] || optional="$optional|/source/Sources"
  apt_update "$optional"
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps-windows: installing ${missing[*]}"
  apt_install locales "${missing[@]}"
fi
if [ "$want_wine32" = 1 ]; then
  echo "install-deps-windows: installing $wine32"
  if ! apt_install "$wine32"; then
    echo "install-deps-windows: $wine32 could not be installed; going on without it (make test-windows skips the 32-bit release's checks)"
  fi
fi

if [ "$want_httplib" = 1 ]; then
  work="$(mktemp -d)"
  (
    cd "$work"
    for try in 1 2 3; do
      apt-get source --download-only -qq cpp-httplib 2>/dev/null && break
      [ "$try" -lt 3 ] || { echo "install-deps-windows: apt-get source cpp-httplib failed" >&2; exit 1; }
      apt_pause "$try"
    done
    tar xf cpp-httplib_*.orig.tar.*
    tar xf cpp-httplib_*.debian.tar.*
    cd "$(find . -maxdepth 1 -type d -name '*cpp-httplib*' | head -n 1)"
    if [ -f ../debian/patches/series ]; then
      while read -r p; do
        case "$p" in ''|'#'*) continue ;; esac
        patch -p1 -s <"../debian/patches/$p"
      done <../debian/patches/series
    fi
    mkdir -p "$httplib_dir"
    cp httplib.h LICENSE "$httplib_dir/"
  )
  rm -rf "$work"
  echo "install-deps-windows: cpp-httplib's single header in $httplib_dir"
fi

# Wine takes the Windows ANSI code page from the locale: the tests run under zh_CN.UTF-8 so
# that code page 0 is 936 there, as on a Chinese Windows.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  echo "install-deps-windows: generating the zh_CN.UTF-8 locale"
  if ! grep -qx 'zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen zh_CN.UTF-8 >/dev/null
fi
