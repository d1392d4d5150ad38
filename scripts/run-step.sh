#!/usr/bin/env bash
# One step of the test command: runs COMMAND with its output in LOGS/NAME.log, says how it
# ended, how long it took and the processor time it took (what its processes used and were
# waited for: not Wine's server, which outlives them), and when it failed shows what failed
# (the failed checks the log holds, wherever they are in it) and the end of the log. Exits
# with the command's status.
# Usage: scripts/run-step.sh LOGS NAME COMMAND [ARGUMENT...]
set -uo pipefail
logs=$1 name=$2
shift 2
started=$SECONDS
"$@" >"$logs/$name.log" 2>&1
status=$?
# The user and system time of this script's waited-for children (/proc/PID/stat fields 16
# and 17, in clock ticks).
read -r -a stat </proc/$$/stat
took="$((SECONDS - started)) s, $(((stat[15] + stat[16]) / $(getconf CLK_TCK))) CPU-s"
if ((status == 0)); then
  echo "=== $name: passed ($took)"
  exit 0
fi
echo "=== $name: FAILED ($took)"
# A long step's failures sit far above its end.
failures=$("$(dirname "$0")/failed-checks.sh" "$logs/$name.log")
[[ -n $failures ]] && printf 'The failed checks in %s:\n%s\n' "$logs/$name.log" "$failures"
echo "The end of $logs/$name.log:"
tail -n 60 "$logs/$name.log"
exit $status
