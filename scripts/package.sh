#!/usr/bin/env bash
# Builds the release programs and writes the packages into dist/ with CPack:
#   tally-<version>-windows-x86.zip, tally-<version>-windows-x64.zip  (TALLY.EXE, README-ru.txt,
#   guide-ru.html, examples/goods.txt, LICENSE.txt; no top folder) and the same files as
#   Windows Installer packages, tally-<version>-x86.msi and tally-<version>-x64.msi (wixl,
#   cmake/msi_package.cmake); tally_<version>-1_amd64.deb and
#   tally-<version>-linux-x86_64.tar.gz (tally and register-sim linked statically, manual
#   pages, the user guide, the example, the licences).
# The Windows presets are release builds already and are reused as they are; Linux gets a
# release build of its own (package-linux) with just the programs, not the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

root=$PWD
rm -rf dist
mkdir -p dist

# package PRESET TARGETS...: builds the targets of the preset and runs CPack in its tree.
package() {
  local preset=$1
  shift
  echo "=== package: $preset"
  local tree=$root/build/$preset
  # A tree that is already configured is only built: the build configures it again when its
  # CMake files have changed, and leaves its test list alone while tests may be running in it.
  [[ -f $tree/CMakeCache.txt ]] || cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target "$@"
  rm -rf "$tree/cpack"
  (cd "$tree" && cpack --config CPackConfig.cmake -B "$tree/cpack" >/dev/null)
  find "$tree/cpack" -maxdepth 1 -type f \( -name '*.zip' -o -name '*.deb' -o -name '*.tar.gz' -o -name '*.msi' \) \
    -exec cp {} dist/ \;
}

package package-linux tally register-sim package_files
package windows-x64 tally package_files
package windows-x86 tally package_files

ls -l dist
