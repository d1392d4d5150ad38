#!/usr/bin/env bash
# The test command. Installs what is missing (scripts/install-deps.sh), then builds every
# program and runs every test as scripts/test-all.mk describes: the Linux tests under the
# sanitizers, the Windows programs' tests under Wine (x86-64, and i686 where this machine
# runs 32-bit programs), each fuzzing harness over its corpus, and the packages with their
# checks. Each step's output is kept in build/test-all/STEP.log; the end is a summary of what
# each test step counted and what it did not run.
set -euo pipefail
cd "$(dirname "$0")/.."

# The system's own programs first: the tests are written against the Debian packages that
# install-deps.sh installs, not against what a user's PATH puts before them (a version
# manager's python3 shim costs a third of a second of processor time a call, and the Wine
# suites call python3 for every upload they check).
export PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH

scripts/install-deps.sh

# shellcheck source=scripts/wine-loader.sh
source scripts/wine-loader.sh
x86_tests=1
wine32_runs || x86_tests=0

logs=build/test-all
rm -rf "$logs"
mkdir -p "$logs"
failed=0
# Every step whose needs are met runs at once (there are at most four): each one shares out
# the cores itself. A build is ninja's, which runs a compile a core and two more. In a test
# step, ctest runs the four Wine suites (the slots of tests/wine/wine-slots.json), which
# mostly wait on Wine and on the program's polls, and beside them a test a core.
make -f scripts/test-all.mk -j -k --no-print-directory \
  X86_TESTS=$x86_tests CTEST_JOBS=$(($(nproc) + 4)) || failed=1

# What ctest counted in each test step, and what it did not run (skipped, with the reason in
# the step's log).
for log in "$logs"/test-*.log; do
  [[ -f $log ]] || continue
  printf '%s: ' "$(basename "$log" .log)"
  grep -h 'tests passed, .* tests failed out of' "$log" || echo "no count"
  sed -n '/^The following tests did not run:/,/^$/p' "$log"
done
if ((!x86_tests)); then
  echo "The i686 program's unit tests and Wine suites were not built or run:"
  echo "	$wine_missing"
  echo "The x86-64 program went through each of their Wine case lists (windows_e2e: the uploads)."
fi
if ((failed)); then
  # Last, where a reader of only the end of the output sees them: what failed.
  for log in "$logs"/*.log; do
    failures=$(scripts/failed-checks.sh "$log" 12)
    [[ -n $failures ]] && printf 'Failed in %s:\n%s\n' "$(basename "$log" .log)" "$failures"
  done
  echo "=== FAILED after $SECONDS s"
  exit 1
fi
echo "=== all passed in $SECONDS s"
