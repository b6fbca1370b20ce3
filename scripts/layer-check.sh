#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when a tracked source includes a header of a layer its own layer may not include. The
# layers and the arrows between them are CONTRIBUTING.md's "Layers"; an arrow is one step
# (app may include search, not net through it). Every layer may include base/ and headers the
# build generates (embedded/, marrowtune/config.h). Tests, benchmarks, fuzzers and tools are
# not layers and may include anything.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layer a path belongs to: the folder under platform/ (or platform/system_classes for the
# class registry at its root), the top folder otherwise.
layer_of() {
  case "$1" in
    platform/system_classes*) echo platform/system_classes ;;
    platform/*/*) echo "${1%%/*}/$(echo "$1" | cut -d/ -f2)" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

# What each layer may include besides itself, base/ and generated headers.
declare -A may_include=(
  [base]=""
  [platform/codepage]=""
  [platform/inet]=""
  [platform/com]=""
  [platform/regexp]="platform/com"
  [platform/scripthost]="platform/com"
  [platform/skin]=""
  [platform/system_classes]="platform/com platform/regexp platform/scripthost"
  [net]="platform/codepage platform/inet"
  [automation]="platform/com platform/codepage platform/system_classes"
  [search]="net automation"
  [cli]="search net"
  [app]="search platform/codepage platform/skin"
)

crossings=0
while IFS= read -r file; do
  from=$(layer_of "$file")
  case "$from" in ''|tests|bench|fuzz|tools|docs|dist|cmake|scripts) continue ;; esac
  if [[ ! -v "may_include[$from]" ]]; then
    echo "$file: the folder $from is no layer of CONTRIBUTING.md's graph" >&2
    crossings=1
    continue
  fi
  while IFS= read -r included; do
    to=$(layer_of "$included")
    case "$to" in "$from"|base|embedded|marrowtune) continue ;; esac
    if [[ " ${may_include[$from]} " != *" $to "* ]]; then
      echo "$file: $from may not include $included" >&2
      crossings=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files '*.cpp' '*.h' '*.h.in')
exit "$crossings"
