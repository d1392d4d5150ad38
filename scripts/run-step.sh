#!/usr/bin/env bash
# One step of the test command: runs COMMAND with its output in LOGS/NAME.log, says how it
# ended and how long it took, and shows the end of the log when it failed. Exits with the
# command's status.
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
echo "=== $name: FAILED ($((SECONDS - started)) s); the end of $logs/$name.log:"
tail -n 80 "$logs/$name.log"
exit $status
