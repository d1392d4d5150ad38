#!/usr/bin/env bash
# Demo without hardware: builds if needed, starts the register simulator on a pseudo-terminal,
# clears the register's goods base, uploads the example goods file, and shows what the
# register now holds.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ! -x build/linux/tally || ! -x build/linux/register-sim ]]; then
  command -v cmake >/dev/null && command -v ninja >/dev/null || scripts/install-deps.sh
  cmake --preset linux >/dev/null
fi
cmake --build --preset linux --target tally register-sim >/dev/null

work=$(mktemp -d)
sim_pid=
cleanup() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

build/linux/register-sim --pty --db "$work/register.tsv" -v >"$work/device" 2>"$work/sim.log" &
sim_pid=$!
for _ in $(seq 50); do [[ -s $work/device ]] && break; sleep 0.1; done
device=$(head -n 1 "$work/device")
echo "register simulator on $device (TALLY_COM1)"

echo
echo "\$ tally /e"
TALLY_COM1=$device build/linux/tally /e && status=0 || status=$?
echo "exit status $status"

echo
echo "\$ tally examples/goods.txt"
TALLY_COM1=$device build/linux/tally examples/goods.txt && status=0 || status=$?
echo "exit status $status"

echo
echo "What the register holds now:"
column -t -s $'\t' "$work/register.tsv" 2>/dev/null || cat "$work/register.tsv"
echo
echo "Simulator log (first lines):"
head -n 8 "$work/sim.log"
