#!/usr/bin/env bash
# Runs Marrowtune from a build folder. Filled in once the program and the sample service exist.
set -euo pipefail
build=${1:-build/sample}
if [ ! -x "$build/app/marrowtune" ]; then
  echo "run: $build/app/marrowtune is not built yet: the window program has not landed." >&2
  exit 1
fi
exec "$build/app/marrowtune"
