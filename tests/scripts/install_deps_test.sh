#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs scripts/install-deps.sh and scripts/install-deps-windows.sh with stand-ins for apt-get,
# dpkg and dpkg-query first on PATH: failed updates and downloads are tried again (3 times), a
# failed index the script does not need is passed over, a wine32 that cannot be installed is
# left out without failing, and deb-src entries are made from the machine's own sources.
#   tests/scripts/install_deps_test.sh SCRIPTS_DIR
set -euo pipefail

scripts="$(cd "${1:?usage: install_deps_test.sh SCRIPTS_DIR}" && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin"

# apt-get: each `update` and `install` takes the next outcome of FAKE_UPDATE / FAKE_INSTALL
# (the last one repeats): ok, or the index / archive that fails. wine32 has FAKE_WINE32.
cat >"$tmp/bin/apt-get" <<'STAND_IN'
#!/usr/bin/env bash
set -euo pipefail
echo "$*" >>"$FAKE/log"
next() {
  local -a outcomes=($1)
  local n
  n=$(grep -c "^$2" "$FAKE/log")
  if [ "$n" -gt ${#outcomes[@]} ]; then n=${#outcomes[@]}; fi
  echo "${outcomes[$((n - 1))]}"
}
fetch_failed() {
  echo "E: Failed to fetch http://deb.test/debian/$1  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 127.0.0.1 80]"
  echo "   Hashes of expected file:"
  exit 100
}
case "$1" in
  update)
    case "$(next "$FAKE_UPDATE" update)" in
      ok) exit 0 ;;
      *) fetch_failed "dists/bookworm/main/binary-$(next "$FAKE_UPDATE" update)/Packages.xz" ;;
    esac ;;
  install)
    if [[ " $* " == *" wine32:i386 "* ]] && [ "$FAKE_WINE32" = broken ]; then
      sed -i '$d' "$FAKE/log"; echo "install wine32" >>"$FAKE/log"
      echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed"
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi
    [ "$(next "$FAKE_INSTALL" install)" = ok ] || fetch_failed "pool/main/x/x_1_amd64.deb"
    for p in "$@"; do case "$p" in -*|install) ;; *) echo "$p" >>"$FAKE/installed" ;; esac; done ;;
  source)
    mkdir -p src/cpp-httplib-0.1 src/debian/patches
    echo '// the single header' >src/cpp-httplib-0.1/httplib.h
    echo MIT >src/cpp-httplib-0.1/LICENSE
    : >src/debian/patches/series
    tar czf cpp-httplib_0.1.orig.tar.gz -C src cpp-httplib-0.1
    tar czf cpp-httplib_0.1-1.debian.tar.gz -C src debian
    rm -rf src ;;
esac
STAND_IN
# dpkg-query: a package is installed unless FAKE_MISSING ("a|b") names it, or once apt-get
# installed it. A plain sh script: the install scripts ask once per package.
cat >"$tmp/bin/dpkg-query" <<'STAND_IN'
#!/bin/sh
eval p=\${$#}
case "|$FAKE_MISSING|" in
  *"|$p|"*) grep -qxF "$p" "$FAKE/installed" 2>/dev/null || exit 1 ;;
esac
echo "install ok installed"
STAND_IN
cat >"$tmp/bin/dpkg" <<'STAND_IN'
#!/usr/bin/env bash
case "$1" in
  --print-foreign-architectures) cat "$FAKE/arches" ;;
  --add-architecture) echo "$2" >>"$FAKE/arches" ;;
esac
STAND_IN
printf '#!/bin/sh\nexec "$@"\n' >"$tmp/bin/sudo"
printf '#!/bin/sh\necho C.utf8; echo zh_CN.utf8\n' >"$tmp/bin/locale"
chmod +x "$tmp/bin"/*

failures=0
# script; missing; update outcomes; install outcomes; wine32; exit; updates; installs; output
# (the machine has the i386 architecture, for wine32, as one that built for Windows has)
cases=(
  "install-deps.sh;ccache;amd64 ok;ok;ok;0;2;1;"
  "install-deps.sh;ccache;i386;ok;ok;0;1;1;going on without the index files that failed"
  "install-deps.sh;ccache;amd64;ok;ok;1;3;0;apt-get update failed 3 times"
  "install-deps.sh;ccache;ok;fetch fetch ok;ok;0;1;3;trying again in 0s"
  "install-deps.sh;ccache;ok;fetch;ok;1;1;3;"
  "install-deps.sh;;ok;ok;ok;0;0;0;all"
  "install-deps-windows.sh;nsis;ok;fetch ok;ok;0;1;2;"
  "install-deps-windows.sh;wine32:i386;i386;ok;ok;0;1;1;"
  "install-deps-windows.sh;nsis|wine32:i386;i386;ok;broken;0;1;2;wine32:i386 could not be installed"
  "install-deps-windows.sh;nsis;amd64;ok;ok;1;3;0;"
)
run_case() {
  local script missing update install wine32 want_rc want_updates want_installs want_out
  IFS=';' read -r script missing update install wine32 want_rc want_updates want_installs want_out <<<"$1"
  local fake="$tmp/case" rc=0 out
  rm -rf "$fake"
  mkdir -p "$fake/repo/scripts" "$fake/etc/sources.list.d" "$fake/repo/build/third_party/cpp-httplib"
  cp "$scripts"/install-deps.sh "$scripts"/install-deps-windows.sh "$scripts"/apt-common.sh "$fake/repo/scripts/"
  touch "$fake/repo/build/third_party/cpp-httplib/httplib.h" "$fake/log"
  echo i386 >"$fake/arches"
  out="$(PATH="$tmp/bin:$PATH" FAKE="$fake" FAKE_MISSING="$missing" FAKE_UPDATE="$update" \
    FAKE_INSTALL="$install" FAKE_WINE32="$wine32" MARROWTUNE_APT_WAIT=0 \
    MARROWTUNE_APT_ETC="$fake/etc" "$fake/repo/scripts/$script" 2>&1)" || rc=$?
  local updates installs
  updates=$(grep -c '^update' "$fake/log" || true)
  installs=$(grep -c '^install' "$fake/log" || true)
  if [ "$rc" != "$want_rc" ] || [ "$updates" != "$want_updates" ] || [ "$installs" != "$want_installs" ] ||
     ! grep -qF -- "$want_out" <<<"$out"; then
    echo "FAIL $1: exit $rc, $updates updates, $installs installs; output:" >&2
    echo "$out" >&2
    failures=$((failures + 1))
  fi
}
for c in "${cases[@]}"; do run_case "$c"; done

# Without the header and without deb-src entries, the Windows script makes them from the
# machine's own sources (both formats), fetches the source package and unpacks the header; the
# fixed address an earlier version wrote goes.
fake="$tmp/case"
rm -rf "$fake"
mkdir -p "$fake/repo/scripts" "$fake/etc/sources.list.d"
cp "$scripts"/install-deps.sh "$scripts"/install-deps-windows.sh "$scripts"/apt-common.sh "$fake/repo/scripts/"
touch "$fake/log" "$fake/arches"
printf '%s\n' 'Types: deb' 'URIs: http://mirror.test/debian' 'Suites: bookworm bookworm-updates' \
  'Components: main' 'Architectures: amd64' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' '' \
  'Types: deb' 'URIs: http://off.test/debian' 'Suites: bookworm' 'Components: main' 'Enabled: no' \
  >"$fake/etc/sources.list.d/debian.sources"
echo 'deb [signed-by=/k.gpg] http://security.test/debian-security bookworm-security main' >"$fake/etc/sources.list"
printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' 'Components: main' \
  >"$fake/etc/sources.list.d/marrowtune-sources.sources"
rc=0
out="$(cd "$tmp" && PATH="$tmp/bin:$PATH" FAKE="$fake" FAKE_MISSING=none FAKE_UPDATE=ok FAKE_INSTALL=ok \
  FAKE_WINE32=ok MARROWTUNE_APT_WAIT=0 MARROWTUNE_APT_ETC="$fake/etc" \
  "$fake/repo/scripts/install-deps-windows.sh" 2>&1)" || rc=$?
expected='Types: deb-src
URIs: http://mirror.test/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://security.test/debian-security
Suites: bookworm-security
Components: main
Signed-By: /k.gpg'
actual="$(cat "$fake/etc/sources.list.d/marrowtune-deb-src.sources" 2>/dev/null || true)"
if [ "$rc" != 0 ] || [ "$actual" != "$expected" ] ||
   [ -e "$fake/etc/sources.list.d/marrowtune-sources.sources" ] ||
   ! grep -qF 'the single header' "$fake/repo/build/third_party/cpp-httplib/httplib.h" 2>/dev/null; then
  echo "FAIL deb-src from the machine's sources: exit $rc; output:" >&2
  echo "$out" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  failures=$((failures + 1))
fi

[ "$failures" = 0 ] && echo "install_deps_test: all $((${#cases[@]} + 1)) cases pass"
exit "$failures"
