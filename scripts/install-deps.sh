#!/usr/bin/env bash
# Installs what building and testing TALLY needs on Debian 12, when it is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++                   # the Linux build
  libgtest-dev googletest                 # GoogleTest: the package, and its sources for MinGW
  zlib1g-dev libminizip-dev libexpat1-dev # the workbook reader's libraries on Linux
  libz-mingw-w64-dev                      # zlib for TALLY.EXE (minizip and Expat: third_party/)
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 # TALLY.EXE for 64- and 32-bit Windows
  wine wine64 xvfb                        # the Windows tests under Wine on a virtual display
  locales python3
  clang-14 libclang-rt-14-dev             # the sanitizer build, with the fuzzing harnesses
  dpkg-dev file unzip groff-base          # the packages: CPack's tools, their checks, manual pages
  wixl msitools                           # the Windows Installer packages (wixl, msibuild)
  lintian                                 # the check of the .deb
  pandoc                                  # the user guide as plain text and HTML for Windows
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# The 32-bit Wine, for the i686 TALLY.EXE: one 64-bit prefix then runs both programs.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "Installing: wine32:i386"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
  fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    wine32:i386 >/dev/null
fi

# Wine shows the Russian texts with the Windows-1251 ANSI code page under this locale.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  "${sudo[@]}" sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  "${sudo[@]}" locale-gen >/dev/null
fi
