#!/usr/bin/env bash
# Installs what is missing, builds every program (Linux, Linux with sanitizers, Windows x86_64
# and i686, the fuzzing harnesses) and runs every test: the Linux ones natively, the Windows
# ones under Wine; builds the packages and checks them as a user gets them; and runs each
# fuzzing harness for about 10 seconds, starting from its seed corpus (scripts/fuzz.sh does
# longer runs).
#
# Two lanes share the machine. The first builds what the Wine and pseudo-terminal tests need
# and runs every test of those builds, ctest running independent tests side by side (the Wine
# suites one at a time, by their resource lock, and first, being the longest). The second,
# at a lower priority, builds and runs the sanitizer tests, then the fuzzing step, then the
# packages and their checks once the first lane's builds are done. Each step's output goes to
# build/test-all/<step>.log, shown when the step fails; the command fails when any step does.
# A new suite is a ctest test of one of the presets, or a step in one of the lanes.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# The folders depend downward only; a wrong include fails before anything is built.
scripts/check-layers.sh

logs=build/test-all
rm -rf "$logs"
mkdir -p "$logs"
# Most tests wait on a line, a simulator or Wine rather than compute: twice as many at once as
# there are cores.
parallel=$((2 * $(nproc)))

# step NAME COMMAND...: one step, its output in $logs/NAME.log.
step() {
  local name=$1 started=$SECONDS
  shift
  if "$@" >"$logs/$name.log" 2>&1; then
    echo "=== $name: passed ($((SECONDS - started)) s)"
  else
    echo "=== $name: FAILED ($((SECONDS - started)) s); the end of $logs/$name.log:"
    tail -n 80 "$logs/$name.log"
    return 1
  fi
}
build() { cmake --preset "$1" >/dev/null && cmake --build --preset "$1"; }
run_tests() { ctest --preset "$1" -j "$parallel"; }
packages() {
  scripts/package.sh && bash tests/package/check_packages.sh dist build/windows-x64/ui_robot.exe
}

# The second lane; it waits for the first lane's builds before packaging them.
second_lane() {
  local failed=0
  { step build-linux-sanitize build linux-sanitize &&
    step test-linux-sanitize run_tests linux-sanitize; } || failed=1
  step fuzz scripts/fuzz.sh 10 || failed=1
  while [[ ! -e $logs/built && ! -e $logs/build-failed ]]; do sleep 1; done
  if [[ -e $logs/built ]]; then
    step packages packages || failed=1
  fi
  return $failed
}
(
  renice -n 10 -p "$BASHPID" >/dev/null
  second_lane
) &
second=$!

failed=0
if step build-windows-x64 build windows-x64 && step build-linux build linux &&
  step build-windows-x86 build windows-x86; then
  : >"$logs/built"
  # The Windows unit tests under Wine beside the Linux tests.
  step test-windows-x64 run_tests windows-x64 &
  windows_x64=$!
  step test-windows-x86 run_tests windows-x86 &
  windows_x86=$!
  step test-linux run_tests linux || failed=1
  wait $windows_x64 || failed=1
  wait $windows_x86 || failed=1
else
  : >"$logs/build-failed"
  failed=1
fi
wait $second || failed=1

# What ctest counted in each test step, and what it did not run (skipped, with the reason in
# the step's log).
for log in "$logs"/test-*.log; do
  [[ -f $log ]] || continue
  printf '%s: ' "$(basename "$log" .log)"
  grep -h 'tests passed, .* tests failed out of' "$log" || echo "no count"
  sed -n '/^The following tests did not run:/,/^$/p' "$log"
done
if ((failed)); then
  echo "=== FAILED after $SECONDS s"
  exit 1
fi
echo "=== all passed in $SECONDS s"
