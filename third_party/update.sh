#!/usr/bin/env bash
# Refreshes the copies of minizip (from Debian's zlib source package) and Expat kept here, which
# the Windows builds compile, from Debian's source packages with Debian's patches applied.
#
# Usage: third_party/update.sh [ZLIB_VERSION EXPAT_VERSION]
#   With no versions: the versions that apt knows as the candidates for this system, fetched
#   with `apt-get source`, which needs deb-src lines for them, e.g. in
#   /etc/apt/sources.list.d/bookworm-src.list
#     deb-src http://deb.debian.org/debian bookworm main
#     deb-src http://deb.debian.org/debian bookworm-updates main
#     deb-src http://deb.debian.org/debian-security bookworm-security main
#   and then `apt-get update`.
#   With versions (as Debian writes them, e.g. 1:1.2.13.dfsg-1 2.5.0-1+deb12u5): each package's
#   .dsc and the files it lists, downloaded with curl from Debian's pools ($DEBIAN_POOLS, by
#   default the archive's and the security archive's; a version no longer in either is on
#   snapshot.debian.org) and checked against the .dsc's SHA-256 sums. No deb-src line needed.
# Needs: dpkg-source (dpkg-dev) to unpack a source package and apply Debian's patches; curl
# when versions are given.
# The files are copied over those kept here, and only those: a file the new version no longer
# has is reported, not removed. Then update README.md's versions, see `git diff`, and run the
# whole test command.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
pools=${DEBIAN_POOLS:-"https://deb.debian.org/debian/pool/main https://security.debian.org/debian-security/pool/updates/main"}
work=$(mktemp -d "${TMPDIR:-/tmp}/tally-third-party-XXXXXX")
trap 'rm -rf "$work"' EXIT

# fetch PACKAGE [VERSION]: unpacks the source package in $work/PACKAGE and prints that folder.
fetch() {
  local package=$1 version=${2:-} dsc pool base name sum file
  mkdir -p "$work/$package"
  if [[ -z $version ]]; then
    (cd "$work/$package" && apt-get source -qq "$package" >&2)
  else
    # The .dsc's name has the version without its epoch; pools are by first letter.
    dsc=${package}_${version#*:}.dsc
    for pool in $pools; do
      base=$pool/${package:0:1}/$package
      curl -fsSL -o "$work/$package/$dsc" "$base/$dsc" 2>/dev/null && break
      base=
    done
    [[ -n $base ]] || { echo "$dsc is in none of: $pools" >&2; exit 1; }
    # Each file of the package, as the .dsc lists it under Checksums-Sha256.
    while read -r sum _ name; do
      curl -fsSL -o "$work/$package/$name" "$base/$name"
      file=$(sha256sum "$work/$package/$name")
      [[ ${file%% *} == "$sum" ]] || { echo "$name: SHA-256 differs from $dsc" >&2; exit 1; }
    done < <(sed -n '/^Checksums-Sha256:/,/^[^ ]/{/^ /p}' "$work/$package/$dsc")
    (cd "$work/$package" && dpkg-source -x "$dsc" >&2)
  fi
  find "$work/$package" -mindepth 1 -maxdepth 1 -type d
}

# refresh FROM TO DEBIAN: copies each file kept under TO (ours excepted) from the same path under
# FROM, and the package's DEBIAN/copyright as TO/debian-copyright.
refresh() {
  local from=$1 to=$2 debian=$3 kept
  while IFS= read -r kept; do
    if [[ -f $from/$kept ]]; then
      cp "$from/$kept" "$to/$kept"
    else
      echo "not in the new version: $to/$kept" >&2
    fi
  done < <(cd "$to" && find . -type f ! -name debian-copyright ! -name expat_config.h | sort)
  cp "$debian/copyright" "$to/debian-copyright"
}

zlib=$(fetch zlib "${1:-}")
expat=$(fetch expat "${2:-}")
refresh "$zlib" "$here/zlib" "$zlib/debian"
# Debian's expat source keeps the library in expat/ of its tree, or at its top.
[[ -d $expat/expat/lib ]] && expat_lib=$expat/expat || expat_lib=$expat
refresh "$expat_lib" "$here/expat" "$expat/debian"
echo "Refreshed from $(basename "$zlib") and $(basename "$expat")."
