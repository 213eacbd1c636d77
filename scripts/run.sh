#!/usr/bin/env bash
# Installs what is missing, builds and starts the tool with a default configTool.ini
# beside the executable; under Xvfb when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
build=${BUILD_DIR:-build}
cmake -S . -B "$build"
cmake --build "$build" -j"$(nproc)" --target cardtool
exe="$build/src/cardtool"
ini="$(dirname "$exe")/configTool.ini"
# Keep an operator's own settings; only a missing file gets the default.
[ -e "$ini" ] || cp resources/configTool.ini "$ini"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting under Xvfb."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$exe" "$@"
fi
exec "$exe" "$@"
