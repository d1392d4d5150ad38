#!/usr/bin/env bash
# Installs what is missing, builds every program (Linux, Linux with sanitizers, Windows x86_64
# and i686) and runs every test: the Linux ones natively, the Windows ones under Wine; then
# builds the packages and checks them as a user gets them; then runs each fuzzing harness for
# about 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# The folders depend downward only; a wrong include fails before anything is built.
scripts/check-layers.sh

presets=(linux linux-sanitize windows-x64 windows-x86)
for preset in "${presets[@]}"; do
  echo "=== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

# The Windows builds' tests first (the unit tests of both programs under Wine); then the Linux
# ones, among them the Wine end-to-end suites of the x86-64 and the i686 TALLY.EXE.
for preset in windows-x64 windows-x86 linux-sanitize linux; do
  echo "=== test: $preset"
  ctest --preset "$preset"
done

echo "=== packages"
scripts/package.sh
bash tests/package/check_packages.sh dist build/windows-x64/ui_robot.exe

# A short fuzzing run of each harness from its seed corpus (scripts/fuzz.sh, preset "fuzz").
echo "=== fuzz"
scripts/fuzz.sh 30
