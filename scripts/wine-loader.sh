# shellcheck shell=bash disable=SC2034  # wine, exe_machine and wine_missing: for the caller
# Which Wine loader runs a Windows program of the build (sourced, not run, by
# scripts/wine-run.sh and tests/wine/wine_session.sh).
#
# Debian's "wine" command takes the 32-bit loader whenever wine32 is installed, and so fails
# even for a 64-bit program on a machine that cannot run 32-bit programs (a kernel without
# 32-bit support). The 64-bit loader is therefore taken directly; the 32-bit one only for an
# i686 program, and only where it runs.
#
# wine_loader EXE: sets exe_machine (0x8664 or 0x14c, from the PE header) and wine (the
# loader's path), and returns 0; returns 1 with wine_missing (why) when nothing here can
# run EXE.
wine_loader() {
  wine='' wine_missing=''
  exe_machine=$(python3 -c 'import struct, sys
d = open(sys.argv[1], "rb").read(4096)
print("%#x" % struct.unpack_from("<H", d, struct.unpack_from("<I", d, 0x3C)[0] + 4)[0])' \
    "$1" 2>/dev/null) || {
    wine_missing="cannot read the machine of '$1'"
    return 1
  }
  wine64_loader || return 1
  [[ $exe_machine == 0x14c ]] || return 0
  wine32_runs
}

# wine64_loader: sets wine to the 64-bit loader and returns 0; returns 1 with wine_missing
# when Wine is not installed.
wine64_loader() {
  wine=/usr/lib/wine/wine64
  if command -v wine64 >/dev/null; then
    wine=$(command -v wine64)
  elif [[ ! -x $wine ]]; then
    wine=$(command -v wine) || {
      wine_missing="wine is not installed"
      return 1
    }
  fi
}

# wine32_runs: returns 0 when the 32-bit Wine runs here (the 64-bit loader hands i686
# programs to it); 1 with wine_missing (why) when it is not installed or the machine cannot
# run 32-bit programs.
wine32_runs() {
  local loader32=/usr/lib/wine/wine
  if [[ ! -x $loader32 ]]; then
    wine_missing="the 32-bit Wine is not installed (scripts/install-deps.sh installs wine32:i386)"
    return 1
  fi
  if ! "$loader32" --version >/dev/null 2>&1; then
    wine_missing="this machine cannot run 32-bit programs ($loader32 does not start)"
    return 1
  fi
}
