#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang with AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for SECONDS (default 30), starting from the inputs kept in
# fuzz/corpus/<harness>/. Those stay as they are: what a run adds goes to a scratch folder.
# Prints each run's executions and coverage; fails on the first finding, whose input is kept
# in fuzz-findings/.
#
# The harnesses come from the preset "fuzz" (optimised: three times the executions) unless
# --preset names another tree that builds them: a developer who has the linux-sanitize build
# can fuzz with its harnesses rather than compile everything once more.
#
# Usage: scripts/fuzz.sh [--preset PRESET] [SECONDS] [HARNESS...], or --help. Anything else
# on the command line is refused (status 2) before anything is built.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'USAGE'
Usage: scripts/fuzz.sh [--preset PRESET] [SECONDS] [HARNESS...]
Builds the libFuzzer harnesses of the preset "fuzz" (or PRESET) and runs each for SECONDS
(a whole number above 0, default 30) from its corpus in fuzz/corpus/<harness>/; an input that
breaks a harness is kept in fuzz-findings/.
Harnesses (all when none is named): goods_reader workbook_reader command_line answer_wait
frame_splitter
  -h, --help  show this text and exit
USAGE
}

# Refused with status 2 before anything is built or run.
refuse() {
  echo "fuzz.sh: $1" >&2
  echo "Try 'scripts/fuzz.sh --help'." >&2
  exit 2
}

# The harnesses of fuzz/CMakeLists.txt, in its order.
known=(goods_reader workbook_reader command_line answer_wait frame_splitter)
preset=fuzz
seconds=
harnesses=()
while (($#)); do
  case $1 in
  -h | --help)
    usage
    exit 0
    ;;
  --preset)
    if (($# < 2)) || [[ -z $2 || $2 == -* ]]; then refuse "--preset needs a preset name"; fi
    preset=$2
    shift
    ;;
  *)
    if [[ $1 =~ ^[0-9]+$ ]] && ((10#$1 > 0)); then
      # libFuzzer takes 0 for "no limit": only a real time is taken.
      [[ -z $seconds && ${#harnesses[@]} -eq 0 ]] ||
        refuse "the seconds come once, before the harnesses: $1"
      seconds=$((10#$1))
    elif [[ " ${known[*]} " == *" $1 "* ]]; then
      harnesses+=("$1")
    else
      refuse "not a number of seconds above 0, an option or a harness: $1"
    fi
    ;;
  esac
  shift
done
seconds=${seconds:-30}
((${#harnesses[@]})) || harnesses=("${known[@]}")

# A tree is configured only when it has none: one already made keeps its own settings.
tree=build/$preset
[[ -f $tree/build.ninja ]] || cmake --preset "$preset" >/dev/null
cmake --build "$tree" --target "${harnesses[@]/%/_fuzz}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
findings=$PWD/fuzz-findings
status=0
for harness in "${harnesses[@]}"; do
  mkdir -p "$scratch/$harness"
  log=$scratch/$harness.log
  echo "=== fuzz: $harness for ${seconds} s"
  # A goods file of up to 64 KiB: long enough for lines across pieces and every encoding.
  max_len=4096
  [[ $harness == goods_reader || $harness == workbook_reader ]] && max_len=65536
  if ! "$tree/${harness}_fuzz" -max_total_time="$seconds" -max_len="$max_len" \
    -print_final_stats=1 -artifact_prefix="$scratch/$harness-" \
    "$scratch/$harness" "fuzz/corpus/$harness" >"$log" 2>&1; then
    mkdir -p "$findings"
    cp "$scratch/$harness"-* "$findings/" 2>/dev/null || true
    tail -n 40 "$log"
    echo "FOUND: $harness (input kept in $findings/)"
    status=1
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\) ft: \([0-9]*\) corp: \([0-9]*\).*/\1 edges, \2 features, corpus \3/p' <<<"$done_line")
  echo "$harness: $runs executions in $seconds s, coverage $cov, nothing found"
done
exit $status
