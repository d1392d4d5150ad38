#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a Wine prefix of its own that is made
# on first use (WINEPREFIX, if set, is used as it is). Exits 77 (skipped) when nothing here
# can run the program, such as an i686 program on a machine without 32-bit support.
set -euo pipefail
exe=$1
shift
# shellcheck source=scripts/wine-loader.sh
source "$(dirname "$0")/wine-loader.sh"
if ! wine_loader "$exe"; then
  echo "SKIPPED: $wine_missing"
  exit 77
fi
if [[ -z ${WINEPREFIX:-} ]]; then
  WINEPREFIX=$(cd "$(dirname "$exe")" && pwd)/wineprefix
fi
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [[ ! -f $WINEPREFIX/system.reg ]]; then
      "$wine" wineboot -i >/dev/null 2>&1 || true
      # Without a window manager (Xvfb), Wine waits 2 s for every managed window it closes.
      "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >/dev/null 2>&1 || true
      wineserver -w || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
if [[ -z ${TALLY_TEST_PORT:-} ]]; then
  exec "$wine" "$exe" "$@"
fi
# TALLY_TEST_PORT (COM9, say) stands for a pseudo-terminal that sends back what it receives,
# for the serial port's tests; it lives as long as the program runs.
port=${TALLY_TEST_PORT,,}
device_file=$(mktemp)
python3 "$(dirname "$0")/../tests/wine/pty_loopback.py" >"$device_file" </dev/null &
loopback=$!
for _ in $(seq 100); do
  [[ -s $device_file ]] && break
  sleep 0.05
done
ln -sfn "$(head -1 "$device_file")" "$WINEPREFIX/dosdevices/$port"
rm -f "$device_file"
status=0
"$wine" "$exe" "$@" || status=$?
# The Wine server holds the terminal as its own: ending the line under it would hang it up.
timeout 60 wineserver -w || true
kill "$loopback" 2>/dev/null
wait "$loopback" 2>/dev/null || true
rm -f "$WINEPREFIX/dosdevices/$port"
exit "$status"
