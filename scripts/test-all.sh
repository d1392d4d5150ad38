#!/usr/bin/env bash
# Installs what is missing, builds every program (Linux under the sanitizers, Windows x86_64
# and i686, the fuzzing harnesses, the packages' release builds) and runs every test: the
# Linux ones natively, the Windows ones under Wine; builds the packages and checks them as a
# user gets them; and runs each fuzzing harness for about 10 seconds, starting from the inputs
# kept in fuzz/corpus/ (scripts/fuzz.sh runs longer).
#
# The Linux tests run from the sanitizer build (linux-sanitize): the same tests as the plain
# linux preset, with AddressSanitizer and UndefinedBehaviorSanitizer watching every run of
# tally and register-sim, the Wine suites' included. The optimised programs are the
# packages' (package-linux and the Windows presets), built with warnings as errors.
#
# Two lanes share the machine. The first builds what the Wine and pseudo-terminal tests need
# (windows-x64, linux-sanitize) and runs their tests, ctest running independent tests side by
# side (the Wine suites one at a time, by their resource lock, and first, being the longest).
# The second, at a lower priority until the first is done, builds the i686 program and runs
# its unit tests (the Linux tests that read that build go to the first lane, after the
# others), then the fuzzing step, then the packages and their checks once the first lane's
# builds are done.
# Each step's output goes to build/test-all/<step>.log, shown when the step fails; the
# command fails when any step does. A new suite is a ctest test of one of the presets, or a
# step in one of the lanes.
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
# run_tests PRESET [CTEST_OPTIONS...]
run_tests() { ctest --preset "$1" -j "$parallel" "${@:2}"; }
# The Linux tests that read the i686 build, which the second lane makes: the static checks of
# both TALLY.EXE files and the i686 program's Wine suites. They run after the others.
after_x86='^windows_exe_static_checks$|_x86$'

packages() {
  scripts/package.sh && bash tests/package/check_packages.sh dist build/windows-x64/ui_robot.exe
}

# The i686 program's tests need a machine that runs 32-bit programs. Where none can run, only
# what the packages take of that build is built, and the summary says the tests did not run.
# shellcheck source=scripts/wine-loader.sh
source scripts/wine-loader.sh
x86_tests=1
wine32_runs || x86_tests=0
build_x86() {
  if ((x86_tests)); then
    build windows-x86
  else
    cmake --preset windows-x86 >/dev/null && cmake --build --preset windows-x86 --target tally
  fi
}

# Each lane tells the other how its builds ended: $logs/LANE.built or $logs/LANE.failed.
# await_builds LANE: waits for that word; succeeds when the builds succeeded.
await_builds() {
  while [[ ! -e $logs/$1.built && ! -e $logs/$1.failed ]]; do sleep 1; done
  [[ -e $logs/$1.built ]]
}

# The second lane; it waits for the first lane's builds before packaging them.
second_lane() {
  local failed=0 x86_built=0
  if step build-windows-x86 build_x86; then
    x86_built=1
    : >"$logs/second.built"
    if ((x86_tests)); then
      step test-windows-x86 run_tests windows-x86 || failed=1
    fi
  else
    : >"$logs/second.failed"
    failed=1
  fi
  step fuzz scripts/fuzz.sh 10 || failed=1
  if await_builds first && ((x86_built)); then
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
if step build-windows-x64 build windows-x64 && step build-linux-sanitize build linux-sanitize; then
  : >"$logs/first.built"
  # The Windows unit tests under Wine beside the Linux tests.
  step test-windows-x64 run_tests windows-x64 &
  windows_x64=$!
  step test-linux-sanitize run_tests linux-sanitize -E "$after_x86" || failed=1
  wait $windows_x64 || failed=1
  # Then those that read the i686 build, once it is done: still one Wine suite at a time.
  if await_builds second; then
    ((x86_tests)) || after_x86='^windows_exe_static_checks$'
    step test-linux-sanitize-x86 run_tests linux-sanitize -R "$after_x86" || failed=1
  fi
else
  : >"$logs/first.failed"
  failed=1
fi
# The first lane is done: the second no longer gives way to it (where the system lets a
# process take its priority back), so that it is not left behind whatever else the machine runs.
unnice_tree() {
  renice -n 0 -p "$1" >/dev/null 2>&1 || return 0
  local child
  for child in $(pgrep -P "$1"); do unnice_tree "$child"; done
}
unnice_tree "$second"
wait $second || failed=1

# What ctest counted in each test step, and what it did not run (skipped, with the reason in
# the step's log).
for log in "$logs"/test-*.log; do
  [[ -f $log ]] || continue
  printf '%s: ' "$(basename "$log" .log)"
  grep -h 'tests passed, .* tests failed out of' "$log" || echo "no count"
  sed -n '/^The following tests did not run:/,/^$/p' "$log"
done
if ((!x86_tests)); then
  echo "The i686 program's tests (its unit tests and Wine suites) were not built or run:"
  echo "	$wine_missing"
fi
if ((failed)); then
  echo "=== FAILED after $SECONDS s"
  exit 1
fi
echo "=== all passed in $SECONDS s"
