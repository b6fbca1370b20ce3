#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs every Debian package Marrowtune needs to build, test and run.
# Idempotent: only packages that are missing are installed; apt-get update runs only then.
# apt-get is tried again when a mirror fails for a while (scripts/apt-common.sh).
set -euo pipefail

packages=(
  # toolchain
  g++ make cmake ninja-build pkg-config clang-format clang-tidy git ccache
  # Qt 6 Widgets, QUiLoader, and the offscreen/xcb platform plugins
  qt6-base-dev qt6-tools-dev libqt6uitools6 libqt6opengl6-dev libgl-dev
  # libraries behind the platform stand-ins
  libcurl4-openssl-dev libpcre2-dev duktape-dev
  # local HTTP servers (tests and the sample service)
  libcpp-httplib-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # a display for GUI screenshots and a CJK font so Chinese captions render; xdotool types and
  # clicks into the window there when trying it by hand
  xvfb xauth fonts-wqy-microhei xdotool
  # the command-line tool: argument parsing and JSON output
  libcli11-dev nlohmann-json3-dev
  # desktop-file and AppStream validation, and the .deb package (dpkg-shlibdeps)
  desktop-file-utils appstream dpkg-dev file
  # the package check: lintian on the .deb
  lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
apt_name=install-deps
# shellcheck source=apt-common.sh
. "$(dirname "$0")/apt-common.sh"

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# These packages come from the machine's own architecture: the indexes of another one (i386,
# added for the Windows build's Wine), of source packages and of translations are not needed.
apt_update "/binary-($(dpkg --print-foreign-architectures | paste -sd '|' -))/|/source/Sources|/i18n/"
apt_install "${missing[@]}"
