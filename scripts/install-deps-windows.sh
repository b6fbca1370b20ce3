#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the Windows build needs on top of scripts/install-deps.sh: the mingw-w64
# cross compilers (posix threads, for std::thread and std::mutex) for 64-bit Windows (the test
# build) and 32-bit Windows (the release), Wine with its 32-bit half (wine32, from Debian's
# i386 architecture) to run both, the CJK font the Wine prefix maps the dialog fonts to, and
# the packaging tools.
# Idempotent: only packages that are missing are installed; apt-get update runs only then.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine wine64 wine32:i386 fonts-wine
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

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# wine32 comes from the i386 architecture; adding it needs a fresh package list.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "install-deps-windows: adding the i386 architecture (for wine32)"
  $sudo dpkg --add-architecture i386
fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps-windows: all ${#packages[@]} packages present"
else
  echo "install-deps-windows: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends locales "${missing[@]}"
fi

# Debian's cpp-httplib is built for Linux, with its header split from the code; the Windows
# tests compile the single header from Debian's source package (with Debian's patches).
here="$(cd "$(dirname "$0")" && pwd)"
httplib_dir="$here/../build/third_party/cpp-httplib"
if [ ! -f "$httplib_dir/httplib.h" ]; then
  if ! grep -rqs '^Types: deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    echo "install-deps-windows: adding Debian's source packages to apt"
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' \
      'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
      $sudo tee /etc/apt/sources.list.d/marrowtune-sources.sources >/dev/null
    $sudo apt-get update -qq
  fi
  work="$(mktemp -d)"
  (
    cd "$work"
    apt-get source --download-only -qq cpp-httplib 2>/dev/null
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
  echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen zh_CN.UTF-8 >/dev/null
fi
