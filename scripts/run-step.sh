#!/usr/bin/env bash
# One step of the test command: runs COMMAND with its output in LOGS/NAME.log, says how it
# ended and how long it took, and when it failed shows what failed (the failed checks the
# log holds, wherever they are in it) and the end of the log. Exits with the command's status.
# Usage: scripts/run-step.sh LOGS NAME COMMAND [ARGUMENT...]
set -uo pipefail
logs=$1 name=$2
shift 2
started=$SECONDS
"$@" >"$logs/$name.log" 2>&1
status=$?
if ((status == 0)); then
  echo "=== $name: passed ($((SECONDS - started)) s)"
  exit 0
fi
echo "=== $name: FAILED ($((SECONDS - started)) s)"
# A long step's failures sit far above its end.
failures=$("$(dirname "$0")/failed-checks.sh" "$logs/$name.log")
[[ -n $failures ]] && printf 'The failed checks in %s:\n%s\n' "$logs/$name.log" "$failures"
echo "The end of $logs/$name.log:"
tail -n 60 "$logs/$name.log"
exit $status
