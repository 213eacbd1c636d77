#!/usr/bin/env bash
# Pictures of every page of the real window, under Xvfb with CJK fonts, for the README and
# the metainfo: stored templates previewed, two virtual printers listed, an upload under way.
# Usage: scripts/screenshots.sh [output directory, default screenshots/]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run test
build=${BUILD_DIR:-build}
out=${1:-screenshots}
cmake -S . -B "$build" -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target cardtool_screenshots
# The same fonts on every machine, so that the pictures only change when the window does.
export QT_QPA_PLATFORM=xcb
unset DISPLAY WAYLAND_DISPLAY
export FONTCONFIG_FILE
FONTCONFIG_FILE=$(mktemp)
trap 'rm -f "$FONTCONFIG_FILE"' EXIT
cat >"$FONTCONFIG_FILE" <<'FONTS'
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <alias binding="strong"><family>sans-serif</family><prefer><family>WenQuanYi Micro Hei</family></prefer></alias>
</fontconfig>
FONTS
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/cardtool_screenshots" "$out"
