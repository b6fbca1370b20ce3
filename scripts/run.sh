#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs Marrowtune from a build folder. When the build points at the local sample service, the
# service is started first and stopped again when the window closes. Without a display the
# same searches are shown through marrowtune-cli.
set -euo pipefail

build=${1:-build/sample}
app="$build/app/marrowtune"
cli="$build/cli/marrowtune-cli"
service="$build/tools/sample-service/marrowtune-sample-service"
preset_qq=271828182
preset_keyword="累死爱情"

cache_value() {
  sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt" 2>/dev/null | head -n 1
}

port=$(cache_value MARROWTUNE_SAMPLE_PORT)
port=${port:-18990}
zone_host=$(cache_value MARROWTUNE_ZONE_PLAYLIST_HOST)

service_pid=""
stop_service() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
    service_pid=""
  fi
}
trap stop_service EXIT
trap 'exit 130' INT TERM

if [ "$zone_host" = "127.0.0.1:$port" ]; then
  if [ ! -x "$service" ]; then
    echo "run: $service is not built; run 'make build' first." >&2
    exit 1
  fi
  log=$(mktemp)
  "$service" --port "$port" >"$log" 2>&1 &
  service_pid=$!
  for _ in $(seq 50); do
    if grep -q "listening" "$log"; then break; fi
    if ! kill -0 "$service_pid" 2>/dev/null; then
      cat "$log" >&2
      echo "run: the sample service did not start (is port $port in use?)." >&2
      service_pid=""
      rm -f "$log"
      exit 1
    fi
    sleep 0.1
  done
  cat "$log"
  rm -f "$log"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display (\$DISPLAY and \$WAYLAND_DISPLAY are empty), so the window cannot open."
  echo "run: the same searches through marrowtune-cli:"
  echo
  echo "\$ marrowtune-cli zone $preset_qq"
  "$cli" zone "$preset_qq"
  echo
  echo "\$ marrowtune-cli search $preset_keyword next"
  "$cli" search "$preset_keyword" next
  exit 0
fi

if [ ! -x "$app" ]; then
  echo "run: $app is not built; run 'make build' first." >&2
  exit 1
fi
# Not exec: the service is stopped when the window has closed, after a moment in which the
# author's page, opened in the browser as the window closes, can still load from it.
status=0
"$app" || status=$?
if [ -n "$service_pid" ]; then sleep 3; fi
exit "$status"
