#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Prepares a private Wine prefix for running the Windows build: a 64-bit prefix booted once,
# the dialog fonts "MS Shell Dlg" and "Tahoma" mapped to WenQuanYi Micro Hei so that Chinese
# captions render, and Marlett (the glyphs of caption buttons and menu checks) installed.
# Usage: scripts/wine-prefix.sh PREFIX_DIR. Idempotent: a prefix prepared with this Wine is left
# as it is.
# Run programs in it with: WINEPREFIX=PREFIX_DIR LC_ALL=zh_CN.UTF-8 wine X.exe
set -euo pipefail

prefix="${1:?usage: wine-prefix.sh PREFIX_DIR}"
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"
stamp="$prefix/.marrowtune-prepared"
# The Wine the prefix was made with: a prefix made before Wine's 32-bit half (wine32) was
# installed no longer loads kernel32.dll afterwards, so a prefix of another Wine is made again.
wine_identity="$(wine --version) $([ -e /usr/lib/wine/wine ] && echo wine32 || echo wine64-only)"
if [ -f "$stamp" ]; then
  if [ "$(cat "$stamp")" = "$wine_identity" ]; then
    exit 0
  fi
  echo "wine-prefix: $prefix was made with another Wine; making it again"
  rm -rf "$prefix"
  mkdir -p "$prefix"
fi

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
# No desktop integration (menu entries, file associations) and no Mono or Gecko prompts: the
# prefix only runs our programs.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

echo "wine-prefix: booting $prefix (the first boot takes a while)"
wineboot --init >/dev/null 2>&1
wineserver --wait

font_dir="$prefix/drive_c/windows/Fonts"
mkdir -p "$font_dir"
for font in /usr/share/wine/fonts/marlett.ttf \
            /usr/share/fonts/truetype/wqy/wqy-microhei.ttc; do
  if [ -f "$font" ]; then cp -f "$font" "$font_dir/"; fi
done

reg="$prefix/marrowtune-fonts.reg"
printf '%s\r\n' 'REGEDIT4' '' \
  '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
  '"MS Shell Dlg"="WenQuanYi Micro Hei"' \
  '"MS Shell Dlg 2"="WenQuanYi Micro Hei"' \
  '"Tahoma"="WenQuanYi Micro Hei"' \
  '"SimSun"="WenQuanYi Micro Hei"' \
  '' \
  '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' \
  '"ShowCrashDialog"=dword:00000000' \
  '' >"$reg"
wine regedit /S "$reg" >/dev/null 2>&1
wineserver --wait
printf '%s\n' "$wine_identity" >"$stamp"
echo "wine-prefix: ready"
