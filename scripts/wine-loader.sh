# shellcheck shell=bash disable=SC2034  # read by the sourcing script
# Sourced, not run: finds the Wine loader for the programs of the build.
#
# Sets `wine` to the loader (empty when Wine is not installed) and `wine_i686` to 1 when
# 32-bit Windows programs can run here, else 0. Debian's `wine` command starts the 32-bit
# loader whenever the 32-bit Wine is installed; on a kernel without IA-32 emulation no 32-bit
# program starts at all, so there the 64-bit loader runs the x86-64 programs and the i686 ones
# cannot run.
wine_i686=0
if [[ -x /usr/lib/wine/wine ]] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wine_i686=1
fi
if [[ $wine_i686 == 0 && -x /usr/lib/wine/wine64 ]]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER=$wine
else
  wine=$(command -v wine64 || command -v wine || true)
fi

# pe_machine FILE: the machine a Windows program was built for, from its PE header: 0x8664
# (x86-64) or 0x14c (i686).
pe_machine() {
  python3 -c 'import struct, sys
d = open(sys.argv[1], "rb").read(4096)
print("%#x" % struct.unpack_from("<H", d, struct.unpack_from("<I", d, 0x3C)[0] + 4)[0])' "$1"
}
