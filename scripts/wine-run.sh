#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a Wine prefix of its own that is made
# on first use (WINEPREFIX, if set, is used as it is).
set -euo pipefail
exe=$1
shift
if [[ -z ${WINEPREFIX:-} ]]; then
  WINEPREFIX=$(cd "$(dirname "$exe")" && pwd)/wineprefix
fi
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=$(command -v wine64 || command -v wine)
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
exec "$wine" "$exe" "$@"
