#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when a tracked C++ source is not formatted by the repository's .clang-format, or when a
# source, script or build file does not begin with its licence line (after a "#!" line).
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

unlicensed=0
while IFS= read -r file; do
  first=$(head -n 1 "$file")
  case "$first" in '#!'*) first=$(sed -n 2p "$file") ;; esac
  case "$first" in
    *'SPDX-License-Identifier: MIT'*) ;;
    *) echo "$file: the first line is not the licence line" >&2; unlicensed=1 ;;
  esac
done < <(git ls-files '*.cpp' '*.h' '*.h.in' '*.js' '*.py' '*.sh' '*.cmake' 'CMakeLists.txt' \
           '*/CMakeLists.txt')
exit "$unlicensed"
