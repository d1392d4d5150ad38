#!/usr/bin/env bash
# Checks that the program's folders depend downward only:
#   app/ -> register/ -> goods/ -> text/
# A non-test source may include its own folder and the folders below it, never one above it
# or beside the program (tests/, tools/, bench/). Lists every upward include and fails on any.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(text goods register app)
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

bad=0
for folder in "${layers[@]}"; do
  while IFS= read -r file; do
    while IFS=: read -r line target; do
      dir=${target%%/*}
      if [[ -z ${rank[$dir]+set} || ${rank[$dir]} -gt ${rank[$folder]} ]]; then
        echo "$file:$line: includes \"$target\" ($folder/ may include only itself and the folders below it)"
        bad=1
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]*/' "$file" |
      sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/' || true)
  done < <(find "$folder" -type f \( -name '*.cpp' -o -name '*.h' \) ! -name '*_test.cpp' | sort)
done

if ((bad)); then
  echo "layering check failed: the includes above point upward" >&2
  exit 1
fi
echo "layering check passed: ${layers[*]} (each folder includes only itself and those before it)"
