#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs clang-tidy with the checks in .clang-tidy over the program's own sources (the tests,
# benchmarks and fuzz targets are left out) and fails on any finding.
#   scripts/tidy.sh                  every source file (what CI runs; a few minutes on 2 cores)
#   scripts/tidy.sh --changed [REV]  only files changed since REV (default main), committed or
#                                    not; a changed header brings in the .cpp beside it
#   scripts/tidy.sh --windows        the sources only the Windows build compiles (*_win.cpp,
#                                    app/win/), with clang for the mingw-w64 target
# Uses the compile database of the preset PRESET (default sample; windows with --windows),
# configuring it if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
windows=0
if [ "${1:-}" = "--windows" ]; then
  windows=1
  shift
fi
preset=${PRESET:-sample}
[ "$windows" = 0 ] || preset=${WINDOWS_PRESET:-windows}
jobs=${JOBS:-$(nproc)}
db=build/$preset/compile_commands.json
[ -f "$db" ] || cmake --preset "$preset" >/dev/null

# clang reads the cross build's commands as a mingw-w64 compiler would: its target, and the C++
# library headers of the cross GCC (clang finds the C headers of the target itself); GCC's own
# options clang does not know are taken out of a copy of the database.
target_args=()
db_dir=build/$preset
if [ "$windows" = 1 ]; then
  db_dir=$(mktemp -d)
  trap 'rm -rf "$db_dir"' EXIT
  sed 's/ -fno-keep-inline-dllexport//g' "$db" >"$db_dir/compile_commands.json"
  compiler=$(sed -n 's/.*"command": "[^"]* \([^ "]*w64-mingw32-g++[^ "]*\) .*/\1/p' "$db" | head -n 1)
  [ -n "$compiler" ] || compiler=$(sed -n 's/.*"command": "\([^ "]*w64-mingw32-g++[^ "]*\) .*/\1/p' "$db" | head -n 1)
  if [ -z "$compiler" ]; then
    echo "tidy: no mingw-w64 compiler in $db" >&2
    exit 1
  fi
  triple=$(basename "$compiler" | sed 's/-g++.*//')
  target_args+=(--extra-arg=--target="$triple")
  while IFS= read -r dir; do
    case "$dir" in */c++|*/c++/*) target_args+=(--extra-arg-before=-isystem"$dir") ;; esac
  done < <("$compiler" -E -x c++ - -v </dev/null 2>&1 |
             sed -n '/#include <...> search starts here/,/End of search list/s/^ //p')
fi

dirs='^(app|automation|base|cli|net|platform|search|tools)/'
if [ "$windows" = 1 ]; then
  mapfile -t changed < <(git ls-files -- '*_win.cpp' 'app/win/*.cpp' | grep -E "$dirs")
elif [ "${1:-}" = "--changed" ]; then
  since=$(git merge-base "${2:-main}" HEAD)
  mapfile -t changed < <({ git diff --name-only --diff-filter=d "$since" -- '*.cpp' '*.h'
                           git ls-files --others --exclude-standard -- '*.cpp' '*.h'; } |
                         grep -E "$dirs" | sed 's/\.h$/.cpp/' | sort -u)
else
  mapfile -t changed < <(git ls-files -- '*.cpp' | grep -E "$dirs")
fi

# Only files the build compiles have the flags clang-tidy needs.
files=()
for f in "${changed[@]}"; do
  if [ -f "$f" ] && grep -qF "\"file\": \"$PWD/$f\"" "$db"; then
    files+=("$f")
  fi
done
if [ ${#files[@]} -eq 0 ]; then
  echo "tidy: no source files to check"
  exit 0
fi

echo "tidy: checking ${#files[@]} files"
log=$(mktemp)
trap 'rm -f "$log"; [ "$db_dir" = "build/$preset" ] || rm -rf "$db_dir"' EXIT
printf '%s\n' "${files[@]}" |
  xargs -P "$jobs" -n 4 clang-tidy -p "$db_dir" --quiet "${target_args[@]}" \
    --extra-arg=-Wno-unknown-warning-option >"$log" 2>/dev/null || true
if grep -qE '(warning|error):' "$log"; then
  grep -E -A3 '(warning|error):' "$log"
  echo "tidy: $(grep -cE '(warning|error):' "$log") findings"
  exit 1
fi
echo "tidy: clean"
