#!/usr/bin/env bash
# TALLY.EXE under Wine on file names as Windows has them: letters that the ANSI code page
# lacks or would turn into others (the full-width solidus into "/", Ü into U), a PC whose ANSI
# code page is not Windows-1251, paths longer than MAX_PATH, TABs between the words of a
# .bat line, a file chosen in the Open dialog, a file that a reader holds open while two
# runs read it, and a wire trace named in such letters. COM1 (and COM2) on register-sim;
# what the register receives is checked against the frames tests/wine/expected_upload.py
# works out for the file meant, so that the wrong file, a clear run or a lost switch all show.
#
# Usage: file_names_wine.sh TALLY.EXE ui_robot.exe register-sim hold_file.exe
# Exit status 0 passed, 1 failed, 77 skipped (something needed is missing).
set -uo pipefail

# shellcheck disable=SC2034  # read by wine_session.sh
tally_exe=${1:-}
robot_exe=${2:-}
register_sim=${3:-}
holder_exe=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_session.sh
source "$here/wine_session.sh"
[[ -f $holder_exe ]] || skip "no hold_file.exe at '$holder_exe' (build the windows-x64 or windows-x86 preset first)"
command -v python3 >/dev/null || skip "python3 is missing"
command -v iconv >/dev/null || skip "iconv is missing"
wine_session_start
holder_exe=$(realpath "$holder_exe")

oracle=$here/expected_upload.py
goods=$work/goods
mkdir -p "$goods"

# make_goods FILE CODE: three goods with the codes CODE, CODE+1 and CODE+2 (Windows-1251,
# CR LF), so that every file's frames differ from every other's.
make_goods() {
  local file=$1 code=$2 lines=() i
  for i in 0 1 2; do
    lines+=("$((code + i))	Товар $((code + i))	46000000$((code + i))	$((i + 1)).50	1	0	")
  done
  mkdir -p "$(dirname "$file")"
  printf '%s\r\n' "<start>" "${lines[@]}" "<end>" | iconv -f UTF-8 -t CP1251 >"$file"
}

make_goods "$goods/ten.txt" 10
make_goods "$goods/Выгрузка ／e 2025/товары.txt" 20
make_goods "$goods/goods.txt" 30
make_goods "$goods/goods.txt／2" 40
make_goods "$goods/Urun.txt" 50
make_goods "$goods/Ürün.txt" 60
make_goods "$goods/Бағалар.txt" 70
make_goods "$goods/商品.txt" 80
make_goods "$goods/Товары/база.txt" 90
long=$goods
for i in 1 2 3 4 5; do long+=/$(printf "%060d" "$i"); done
long+=/goods.txt
make_goods "$long" 100
# A .bat line with TABs between its words, the switch for COM2 among them.
printf '@"%s"\t%s\t/2\r\n' "$(winpath "$tally_exe")" "$(winpath "$goods/ten.txt")" >"$goods/tab.bat"

# register_on PORT: a fresh register-sim behind PORT (com1 or com2); the other port is a
# folder, so that a run on the wrong port fails.
register_on() {
  point_port com1 none
  point_port com2 none
  start_sim && point_port "$1" "$sim_device"
}

# upload_case NAME PORT FILE [ARGUMENT...]: TALLY.EXE, given the ARGUMENTs (by default FILE's
# Windows path as one argument, quoted by Wine where it holds blanks as Windows quotes a
# dropped file; none when tally_launcher starts it), uploads FILE to the register on PORT: no box, exit status 0, and the register
# received FILE's frames and nothing else.
upload_case() {
  begin_case "$1"
  local port=$2 file=$3
  shift 3
  (($# > 0 || ${#tally_launcher[@]} > 0)) || set -- "$(winpath "$file")"
  register_on "$port" || return
  run_tally -- "$@"
  expect "the boxes" "$(boxes)" ""
  expect "the exit status" "$status" 0
  expect "what the register received" "$(received)" "$(python3 "$oracle" "$file")"
}

upload_case "a folder with the full-width solidus: ／e is no /e" com1 \
  "$goods/Выгрузка ／e 2025/товары.txt"
upload_case "the full-width solidus glued to the name: ／2 is no /2" com1 "$goods/goods.txt／2"
upload_case "Ürün.txt beside Urun.txt" com1 "$goods/Ürün.txt"
upload_case "a Kazakh name" com1 "$goods/Бағалар.txt"
upload_case "a Chinese name" com1 "$goods/商品.txt"
upload_case "a relative name, from the current folder" com1 "$goods/Ürün.txt" '..\goods\Ürün.txt'
upload_case "a path of $(winpath "$long" | wc -m) characters" com1 "$long"
expect_true "the long path is longer than 300 characters" test "$(winpath "$long" | wc -m)" -gt 300
# LC_ALL=C.UTF-8 gives the run the ANSI code page 1252, which has no Cyrillic letters.
tally_env=(LC_ALL=C.UTF-8)
upload_case "a Cyrillic path under the ANSI code page 1252" com1 "$goods/Товары/база.txt"
tally_env=()
tally_launcher=(cmd /c "$(winpath "$goods/tab.bat")")
upload_case "TABs between the words of a .bat line" com2 "$goods/ten.txt"
tally_launcher=()

# --- a file chosen in the Open dialog -------------------------------------------------------
# "/i" with no file, as an installed shortcut starts the program when clicked: the system's
# Open dialog, first in Documents (a folder of this suite's own: the prefix's is a link to the
# home folder), then in the folder last chosen there. The program is started in a folder of
# .txt files, as the shortcuts start it in its own folder beside README-ru.txt: the dialog
# must not start there.
documents=$WINEPREFIX/drive_c/users/$(id -un)/Documents
rm -f "$documents" && mkdir -p "$documents"
make_goods "$documents/Товары/база.txt" 110
printf '@cd /d "%s"\r\n@"%s" %%*\r\n' "$(winpath "$goods")" "$(winpath "$tally_exe")" \
  >"$goods/shortcut.bat"
tally_launcher=(cmd /c "$(winpath "$goods/shortcut.bat")")
file_types="Файлы товаров (*.txt; *.tsv; *.csv; *.xlsx; *.ods)|Все файлы (*.*)"
begin_case "no file: the one chosen in the Open dialog, which starts in Documents"
register_on com1
run_tally --open-file 'Товары\база.txt' -- /i
expect "the Open dialog" "$(observed open)" "open caption=Открыть folder=Documents types=$file_types"
expect "the boxes" "$(boxes)" ""
expect "the exit status" "$status" 0
expect "what the register received" "$(received)" "$(python3 "$oracle" "$documents/Товары/база.txt")"

begin_case "the Open dialog again: in the folder last chosen; Cancel ends the run"
register_on com1
run_tally -- /t /i
expect "the Open dialog" "$(observed open)" "open caption=Открыть folder=Товары types=$file_types"
expect "the boxes" "$(boxes)" ""
expect "the exit status" "$status" 2
expect "what the register received" "$(received)" ""
expect "the timer requests" "$clock" ""
# A file dropped on the shortcut: no dialog (the robot would cancel it), the file uploaded.
upload_case "a file dropped on the shortcut" com1 "$goods/ten.txt" /i "$(winpath "$goods/ten.txt")"
tally_launcher=()

# --- refused by its own name ----------------------------------------------------------------
begin_case "a missing file named in letters Windows-1251 lacks"
register_on com1
missing=$(winpath "$goods/Бағалар (нет).txt")
run_tally -- "$missing"
shown=${missing//ғ/?}
expect "the boxes" "$(boxes)" "error Не могу открыть файл: ${shown//\\/\\\\}"
expect "the exit status" "$status" 1
expect "what the register received" "$(received)" ""

# --- two runs read one file at once while a reader holds it ---------------------------------
begin_case "two runs on COM1 and COM2 at once, the file held open by a reader"
file=$goods/Ürün.txt
point_port com1 none
# The register on COM2 is left running when the next one starts.
start_sim && point_port com2 "$sim_device"
com2_pid=$sim_pid
com2_files=$sim_files
sim_pid=
start_sim && point_port com1 "$sim_device"
rm -f "$work/held" "$work/release"
"$wine" "$holder_exe" "$(winpath "$file")" "$(winpath "$work/held")" "$(winpath "$work/release")" \
  >/dev/null 2>&1 &
holder_pid=$!
for _ in $(seq 200); do
  [[ -e $work/held ]] && break
  nap 0.1
done
expect_true "the reader holds the file" test -e "$work/held"
mkdir -p "$work/cwd2"
(cd "$work/cwd2" && timeout 90 "$wine" "$tally_exe" /2 "$(winpath "$file")" >/dev/null 2>&1) &
com2_run=$!
run_tally -- "$(winpath "$file")"
wait "$com2_run"
com2_status=$?
: >"$work/release"
wait "$holder_pid"
expect "the reader's exit status" "$?" 0
stop_pid "$com2_pid"
expected=$(python3 "$oracle" "$file")
expect "the boxes" "$(boxes)" ""
expect "the exit status on COM1" "$status" 0
expect "the exit status on COM2" "$com2_status" 0
expect "what the register on COM1 received" "$(received)" "$expected"
expect "what the register on COM2 received" "$(grep -v '^answer \|^handshake ' "$com2_files.log")" \
  "$expected"

# --- the wire trace named in letters Windows-1251 lacks --------------------------------------
begin_case "TALLY_TRACE named in letters Windows-1251 lacks"
register_on com1
trace=$work/Ürün-trace.txt
tally_env=("TALLY_TRACE=$(winpath "$trace")")
run_tally -- "$(winpath "$goods/商品.txt")"
tally_env=()
expect "the exit status" "$status" 0
expect "what the register received" "$(received)" "$(python3 "$oracle" "$goods/商品.txt")"
expect "the trace files" "$(cd "$work" && ls -d ./*trace*)" "./Ürün-trace.txt"
command_line=$(tr -d '\r' <"$trace" | sed -n 's/^command line: //p')
expect "the goods file on the trace's command line" "${command_line##* }" \
  "$(winpath "$goods/商品.txt")"

wine_session_report
