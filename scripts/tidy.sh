#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs clang-tidy with the checks in .clang-tidy over the program's own sources (the tests,
# benchmarks and fuzz targets are left out) and fails on any finding.
#   scripts/tidy.sh                  every source file (what CI runs; a few minutes on 2 cores)
#   scripts/tidy.sh --changed [REV]  only files changed since REV (default main), committed or
#                                    not; a changed header brings in the .cpp beside it
# Uses the compile database of the preset PRESET (default sample), configuring it if needed.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${PRESET:-sample}
jobs=${JOBS:-$(nproc)}
db=build/$preset/compile_commands.json
[ -f "$db" ] || cmake --preset "$preset" >/dev/null

dirs='^(app|automation|base|cli|net|platform|search|tools)/'
if [ "${1:-}" = "--changed" ]; then
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
trap 'rm -f "$log"' EXIT
printf '%s\n' "${files[@]}" |
  xargs -P "$jobs" -n 4 clang-tidy -p "build/$preset" --quiet \
    --extra-arg=-Wno-unknown-warning-option >"$log" 2>/dev/null || true
if grep -qE '(warning|error):' "$log"; then
  grep -E -A3 '(warning|error):' "$log"
  echo "tidy: $(grep -cE '(warning|error):' "$log") findings"
  exit 1
fi
echo "tidy: clean"
