#!/usr/bin/env bash
# Takes a screenshot of the progress window, its bar part-way, on a virtual display.
# Usage: tests/progress-window-screenshot.sh [BUILD_DIR] [OUTPUT.png]
# Needs the windows-x64 build (tally_window_tests.exe), Xvfb and ImageMagick's import.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/windows-x64}" && pwd)
out=${2:-$here/../docs/progress-window.png}
mkdir -p "$(dirname "$out")"
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"' EXIT
export WINEPREFIX=$build/wineprefix-x11 TALLY_HOLD_MS=8000 SHOT=$shot
export RUN="$here/../scripts/wine-run.sh" EXE=$build/tally_window_tests.exe
timeout 120 xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  "$RUN" "$EXE" --gtest_also_run_disabled_tests --gtest_filter=*HoldForScreenshot >/dev/null &
  sleep 6
  import -window root "$SHOT"
  wait'
# The desktop around the window is black: keep the window alone.
convert "$shot" -trim +repage "$out"
identify "$out"
