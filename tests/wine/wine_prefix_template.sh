#!/usr/bin/env bash
# Makes the Wine prefix that the Wine suites of a ctest run copy instead of each making its
# own (wine_session.sh, TALLY_WINE_PREFIX_TEMPLATE): DIR/prefix, with DIR/ready holding the
# Wine version that made it. A template of the same Wine version is kept as it is.
#
# The 64-bit Wine makes it (it runs the i686 programs in it too). It needs no program of the
# build, so the test command makes it while the programs are built.
#
# Usage: wine_prefix_template.sh DIR
# Exit status 0 made or kept (or nothing to make it with: the suites then skip by themselves),
# 1 Wine could not make it.
set -uo pipefail

template=${1:?usage: wine_prefix_template.sh DIR}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/wine/wine_session.sh disable=SC2154  # wine: set by wine_tools_check
source "$here/wine_session.sh"
# Without what the suites need there is nothing to make; each suite says why it skips.
skip() {
  echo "no template: $*"
  exit 0
}
wine_tools_check
version=$("$wine" --version 2>/dev/null)
if [[ -d $template/prefix && $(cat "$template/ready" 2>/dev/null) == "$version" ]]; then
  echo "kept the template $template/prefix ($version)"
  exit 0
fi

rm -rf "$template"
mkdir -p "$template"
wine_session_begin
export WINEPREFIX=$work/prefix
if ! wine_prefix_make; then
  echo "FAILED: wineboot could not make a prefix"
  exit 1
fi
mv "$WINEPREFIX" "$template/prefix" || exit 1
echo "$version" >"$template/ready"
echo "made the template $template/prefix ($version)"
