#!/usr/bin/env bash
# Prints the failed checks a test step's log holds, wherever they are in it: a suite's
# "FAILED:" lines and a unit test's failures, each with the lines that explain it, at most
# LINES lines (default 40). Prints nothing when the log holds none.
# Usage: scripts/failed-checks.sh LOG [LINES]
grep -E -A3 '^FAILED: |: Failure$|^\[  FAILED  \]' "$1" | grep -v '^--$' | head -n "${2:-40}"
