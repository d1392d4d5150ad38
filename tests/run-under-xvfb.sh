#!/usr/bin/env bash
# Runs a Windows test program of the build under Wine on a virtual X display (Xvfb), in a
# Wine prefix of its own beside the program (a prefix whose desktop was started without a
# display cannot show windows). Exits 77 (skipped) when there is no Xvfb.
set -euo pipefail
exe=$1
shift
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run not found (Debian package xvfb): the progress window tests need a display; skipped"
  exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${TALLY_X11_WINEPREFIX:-$(cd "$(dirname "$exe")" && pwd)/wineprefix-x11}
exec timeout --kill-after=10 240 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$here/../scripts/wine-run.sh" "$exe" "$@"
