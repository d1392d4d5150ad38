#!/usr/bin/env bash
# The Windows program under Wine, its COM1 mapped onto register-sim's pseudo-terminal: a run's
# outcome is this run's own. A late answer from an earlier run never passes for the answer to
# this one, a failed upload names the item it failed at, a trace that names the goods file
# leaves that file alone and never creates it, and a check run (/t) is the check window with
# COM1 untouched.
#
# Usage: outcome_wine.sh TALLY.EXE ui_robot.exe register-sim
# Exit status 0 passed, 1 failed, 77 skipped (something needed is missing).
set -uo pipefail

# shellcheck disable=SC2034  # read by wine_session.sh
tally_exe=${1:-}
robot_exe=${2:-}
register_sim=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_session.sh
source "$here/wine_session.sh"
command -v iconv >/dev/null || skip "iconv is missing"
wine_session_start

goods=$work/goods
mkdir -p "$goods"
# Three goods lines after a heading line and "<start>": items 1 to 3 on lines 3 to 5.
printf '%s\r\n' "Товары" "<start>" "101	Хлеб	4607001001010	42.90	1	0	" \
  "102	Молоко	4607001001027	35.50	1	0	" "103	Соль		12.00	2	1	" "<end>" |
  iconv -f UTF-8 -t CP1251 >"$goods/three.txt"

# wait_for_log PATTERN SECONDS: waits until the register's log has a line matching PATTERN.
wait_for_log() {
  local tries=$(($2 * 10))
  for _ in $(seq "$tries"); do
    grep -qE "$1" "$sim_files.log" 2>/dev/null && return 0
    nap 0.1
  done
  fail "$case_name: the register never logged '$1'"
  return 1
}

# --- a late answer waits on the line when the next run begins ------------------------------
# The register answers the first run's frame after that run has given up; the next run's
# clear is refused with error code 5, and the run must say so instead of taking the old
# answer. (An upload ended from outside is left to the Linux tests: under Wine the next run
# of a program that was terminated does not reach the line at all, late answer or not.)
begin_case "a clear run that got no answer, then one the register refuses"
# The late answer goes out only once its file is made, after the first run has ended.
late=$work/late-answer-1
if start_sim --hold "1:$late" --error 2:5; then
  point_port com1 "$sim_device"
  run_tally -- /e
  expect "the first run's boxes" "$(boxes)" "error Нет ответа от кассы"
  : >"$late"
  wait_for_log '^answer 1 ' 20
  run_tally -- /e
  expect "the boxes" "$(boxes)" "warning Возвращен код ошибки  5"
  expect "the exit status" "$status" 1
fi

# --- a failed upload names the item ---------------------------------------------------------
begin_case "an error code names the item"
if start_sim --error 2:7; then
  point_port com1 "$sim_device"
  run_tally -- "$(winpath "$goods/three.txt")"
  expect "the boxes" "$(boxes)" "warning Возвращен код ошибки  7 (товар 2 из 3, код 102, строка 4 файла)"
  expect "the exit status" "$status" 1
fi

# --- the trace never writes into the goods file ---------------------------------------------
# By its own path, and by another path to the same file (a link the Unix side made).
ln -s "$goods/three.txt" "$goods/link.txt"
before=$(sha256sum <"$goods/three.txt")
for trace in "$goods/three.txt" "$goods/link.txt"; do
  begin_case "TALLY_TRACE names the goods file as $(basename "$trace")"
  start_sim || continue
  point_port com1 "$sim_device"
  tally_env=("TALLY_TRACE=$(winpath "$trace")")
  run_tally -- "$(winpath "$goods/three.txt")"
  tally_env=()
  expect "the boxes" "$(boxes)" ""
  expect "the exit status" "$status" 0
  expect "the frames the register received" "$(grep -c '^frame ' "$sim_files.log")" 3
  expect "the goods file" "$(sha256sum <"$goods/three.txt")" "$before"
done

# A goods file that does not exist yet, named by the trace too: the run ends as without a
# trace, and no file is left under that name.
begin_case "TALLY_TRACE names a goods file that does not exist"
if start_sim; then
  point_port com1 "$sim_device"
  missing=$(winpath "$goods/missing.txt")
  tally_env=("TALLY_TRACE=$missing")
  run_tally -- "$missing"
  tally_env=()
  expect "the boxes" "$(boxes)" "error Не могу открыть файл: ${missing//\\/\\\\}"
  expect "the exit status" "$status" 1
  expect_true "no file was left as $goods/missing.txt" test ! -e "$goods/missing.txt"
fi

# --- a check run: the file read as an upload reads it, nothing sent -------------------------
begin_case "a check run of a file whose codes repeat"
printf '%s\r\n' "Товары" "<start>" "0102	Батон белый		35.50	1	0	" "101	Хлеб		42.90	1	0	" \
  "102	Батон чёрный		37.00	1	0	" "<end>" | iconv -f UTF-8 -t CP1251 >"$goods/repeated.txt"
if start_sim; then
  point_port com1 "$sim_device"
  line_before=$(stty -F "$sim_device" -g)
  run_tally --check-close esc -- /t "$(winpath "$goods/repeated.txt")"
  expect "the boxes" "$(boxes)" ""
  expect "the verdict among the window's texts" "$(check_texts | grep -F 'Файл товаров')" \
    "Файл товаров в порядке: 3 товара; коды повторяются: 102 (строки 3, 5)"
  # The rows whose code repeats are marked; Esc closes the window.
  expect "the rows" "$(observed check | sed -n 's/^check row //p')" \
    "$(printf '%s\n' '3\t102 (повтор)\tbaton belyj\t0\t35,50\t1\t0' '4\t101\thleb\t0\t42,90\t1\t0' \
      '5\t102 (повтор)\tbaton ~ernyj\t0\t37,00\t1\t0')"
  expect "the exit status" "$status" 0
  expect "what the register received" "$(received)" ""
  expect "the line settings" "$(stty -F "$sim_device" -g)" "$line_before"
  expect "the 1 ms timer requests" "$clock" ""
fi

wine_session_report
