#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when a tracked C++ source is not formatted by the repository's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror
