#!/usr/bin/env bash
# TALLY.EXE from end to end under Wine, as the person at the screen and the register see it:
# the usage box, uploads behind the progress window (its look, its bar, dragging it, Esc and
# Alt+F4 on it), their failures and their message boxes, with COM1 and COM2 mapped onto
# register-sim's pseudo-terminals. ui_robot.exe watches the screen and closes the boxes;
# tests/wine/expected_upload.py works out on its own what the register must receive.
#
# Usage: windows_e2e.sh TALLY.EXE ui_robot.exe register-sim tally [uploads|window]
#   tally is the Linux program, whose usage text the box must show too. The cases come in two
#   lists, both tried when none is named: "uploads", the usage box and the uploads with their
#   failures, which both programs go through; and "window", the progress window's look, the
#   user's keys and drags, what file names mean and the check window, for the x86-64 program
#   only (the i686 program's windows are the same code).
# What happens in the program, and when, comes from its own wire trace (TALLY_TRACE); the
# robot tells only what the screen shows, so a busy machine slows the cases down but does
# not fail them.
# With TALLY_SCREENSHOT_DIR set, screenshots of the progress window mid-upload
# (progress-window.png), of a message box (message-box.png) and of the check window
# (check-window.png) are kept there.
# Exit status 0 passed, 1 failed, 77 skipped (something needed is missing).
set -uo pipefail

# shellcheck disable=SC2034  # read by wine_session.sh
tally_exe=${1:-}
robot_exe=${2:-}
register_sim=${3:-}
linux_tally=${4:-}
case ${5:-} in "" | uploads | window) ;; *)
  echo "no case list '$5': uploads or window"
  exit 1
  ;;
esac
uploads_list=1 window_list=1
[[ ${5:-} == uploads ]] && window_list=0
[[ ${5:-} == window ]] && uploads_list=0
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_session.sh
source "$here/wine_session.sh"
[[ -x $linux_tally ]] || skip "no Linux tally at '$linux_tally'"
command -v python3 >/dev/null || skip "python3 is missing"
command -v iconv >/dev/null || skip "iconv is missing"
wine_session_start

oracle=$here/expected_upload.py
goods=$work/goods
mkdir -p "$goods"

# make_goods FILE LINE...: a goods file in Windows-1251 with CR LF line ends.
make_goods() {
  local file=$1
  shift
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP1251 >"$file"
}

ten=()
for i in $(seq 10); do
  ten+=("$((100 + i))	Товар номер $i	46000000000$((10 + i))	$i.50	1	0	")
done
make_goods "$goods/ten.txt" "<start>" "${ten[@]}" "<end>"
make_goods "$goods/bad price.txt" "<start>" "${ten[0]}" "2	Молоко	4600000000002	12.5	1	0	" \
  "${ten[2]}" "<end>"
make_goods "$goods/my goods.txt" "Товары" "<start>" "${ten[@]:0:3}" "<end>"
cp "$here/../../examples/goods.txt" "$goods/goods.txt"

# expect_frames GOODS_FILE [COUNT]: the register received the first COUNT (default: all)
# frames of the file's upload, byte for byte, at 19200 bits per second, and nothing else.
expect_frames() {
  local expected
  expected=$(python3 "$oracle" "$1")
  [[ -n ${2:-} ]] && expected=$(head -n "$2" <<<"$expected")
  expect "what the register received" "$(received)" "$expected"
}

# expect_base GOODS_FILE: the register's goods base holds the file's goods.
expect_base() {
  expect "the register's goods base" "$(cat "$sim_files.tsv" 2>/dev/null)" \
    "$(python3 "$oracle" --tsv "$1")"
}

# expect_within WHAT VALUE LOW HIGH
expect_within() {
  checks=$((checks + 1))
  [[ -n $2 && $2 -ge $3 && $2 -le $4 ]] || fail "$case_name: $1 is '$2', expected $3..$4"
}

# expect_bar_shown SHOWN K N: the bar's visible strip, seen as SHOWN ("F/W": F of W columns
# filled), is filled K / N of its width (within a column).
expect_bar_shown() {
  checks=$((checks + 1))
  [[ $1 =~ ^([0-9]+)/([0-9]+)$ ]] || {
    fail "$case_name: the bar was not seen on the screen ('$1')"
    return
  }
  local filled=${BASH_REMATCH[1]} width=${BASH_REMATCH[2]}
  local want=$(((2 * $2 * width + $3) / (2 * $3)))
  ((filled >= want - 1 && filled <= want + 1)) ||
    fail "$case_name: the bar shows $filled of $width columns, expected about $want ($2 of $3)"
}

# expect_trace_span WHAT FROM TO LOW HIGH: by the program's own clock (its trace), from the
# first trace line matching FROM (or the last, when FROM starts with "last:") to the first
# matching TO took LOW..HIGH ms.
expect_trace_span() {
  local from=$2 which=first
  [[ $from == last:* ]] && from=${from#last:} which=last
  local a b
  a=$(trace_ms "$from" "$which")
  b=$(trace_ms "$3")
  if [[ -z $a || -z $b ]]; then
    checks=$((checks + 1))
    fail "$case_name: $1: no '$2' or no '$3' in the trace: $(tr -d '\r' <"$work/trace.txt" 2>/dev/null)"
    return
  fi
  expect_within "$1 (ms, the program's clock)" $((b - a)) "$4" "$5"
}

# The answer lines and the port's closing in the trace.
trace_answer=' ms  poll +[0-9]+  [0-9a-f][0-9a-f]'
trace_closed=' ms  port closed$'

# The end of a completed upload, from the trace: the final pause is the quiet wait after the
# last answer (100 polls of at least 12 ms), with the full bar on screen and the window
# handling its messages; then the window goes and the port is closed.
expect_final_pause() {
  expect_trace_span "the final pause, from the last answer to the port's closing" \
    "last:$trace_answer" "$trace_closed" 1200 30000
}

# expect_clock: the 1 ms timer was asked for once and given back once (the runs that open
# the port); expect_no_clock: never asked for (the runs that end before the port).
expect_clock() { expect "the timer requests" "$clock" "timeBeginPeriod(1) timeEndPeriod(1)"; }
expect_no_clock() { expect "the timer requests" "$clock" ""; }

# The bar positions seen (PBM_GETPOS), one per line.
positions() { observed bar | sed -n 's/^bar range=.* pos=//p'; }

# expect_bar_went_up N [HIGHEST]: the last range set is 0..N, every position seen lies in
# 0..N and none goes back, and the bar was seen to move: its highest position seen is in
# 1..HIGHEST (default N).
expect_bar_went_up() {
  local n=$1 highest=${2:-$1}
  expect "the last range of the bar" "$(observed bar | sed -n 's/^bar range=\([^ ]*\) .*/\1/p' |
    tail -1)" "0..$n"
  expect_true "the bar moved only forward within 0..$n: $(positions | tr '\n' ' ')" \
    awk -v n="$n" 'BEGIN { last = 0 } $1 < last || $1 > n { exit 1 } { last = $1 }' \
    <(positions)
  expect_within "the highest bar position seen" "$(positions | sort -n | tail -1)" 1 "$highest"
}

if ((uploads_list)); then
# --- the usage text ------------------------------------------------------------------------
begin_case "usage"
run_tally --
# The Linux program writes the same text to standard error after "OKA PF: ".
usage=$("$linux_tally" 2>&1 >/dev/null)
usage=${usage#OKA PF: }
usage_lines=$(printf '%s\n' "Пересылка базы товаров на кассу ОКА ПФ" "" "@" "" \
  "TALLY [/2] [/9600] [/r] filename.txt" "переслать базу товаров через порт COM1" \
  "/2 - использовать порт COM2" "/9600 - скорость (по умолчанию 19200)" \
  "/r - цена только в рублях (для Казахстана)" "" "TALLY [/2] [/9600] /e" \
  "очистить базу товаров")
# Every line but the credit line (3) is fixed.
expect "the usage text, credit line aside" "$(sed '3s/.*/@/' <<<"$usage")" "$usage_lines"
expect "the boxes" "$(boxes)" "information $(printf '%s\n' "$usage" | awk '{ printf "%s\\n", $0 }')"
expect "the exit status" "$status" 2
expect "the progress window" "$(observed window)" ""
expect_no_clock
fi

# --- an upload of the example goods file ---------------------------------------------------
# In both lists: "window" looks at the window it shows.
begin_case "upload of examples/goods.txt"
point_port com2 none
n=$(python3 "$oracle" "$goods/goods.txt" | wc -l)
# Half way the upload waits until the robot has seen the bar there.
hold_answer $((n / 2 + 1)) " bar .* pos=$((n / 2))\$"
start_sim --delay 40 && point_port com1 "$sim_device"
shot=()
((window_list)) && shot=(--shot-at "$((n / 2)):progress-window")
run_traced "${shot[@]}" -- "$(winpath "$goods/goods.txt")"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
expect_frames "$goods/goods.txt"
expect_base "$goods/goods.txt"
expect_clock
expect_bar_went_up "$n"
expect_final_pause
# The window handles its messages during the final pause: the robot sees the bar full.
expect "the highest bar position seen" "$(positions | sort -n | tail -1)" "$n"

if ((window_list)); then
keep_screenshot progress-window progress-window.png

# The window: styles, size, place. Wine adds WS_VISIBLE (the window is shown) and
# WS_CLIPSIBLINGS (Wine gives it to every top-level window); nothing else may differ.
window=$(observed window)
re='style=0x([0-9A-F]+) exstyle=0x([0-9A-F]+) client=([0-9]+)x([0-9]+) rect=(-?[0-9]+),(-?[0-9]+),(-?[0-9]+),(-?[0-9]+) screen=([0-9]+)x([0-9]+)'
if [[ $window =~ $re ]]; then
  style=$((16#${BASH_REMATCH[1]}))
  expect "the window style, less WS_VISIBLE and WS_CLIPSIBLINGS" \
    "$(printf '0x%08X' $((style & ~0x14000000)))" 0x80080854
  expect "the window's WS_VISIBLE" $((style & 0x10000000)) $((0x10000000))
  # Created without extended style; the dialog manager gives a dialog WS_EX_CONTROLPARENT.
  expect "the window's extended style, less WS_EX_CONTROLPARENT" \
    "$(printf '%08X' $((16#${BASH_REMATCH[2]} & ~0x10000)))" 00000000
  client_w=${BASH_REMATCH[3]} client_h=${BASH_REMATCH[4]}
  left=${BASH_REMATCH[5]} top=${BASH_REMATCH[6]} right=${BASH_REMATCH[7]} bottom=${BASH_REMATCH[8]}
  screen_w=${BASH_REMATCH[9]} screen_h=${BASH_REMATCH[10]}
  # Two conversions between pixels and dialog units, each rounded: one pixel either way.
  expect_within "the client width" "$client_w" 217 219
  expect_within "the client height" "$client_h" 169 171
  # No frame: the window is its client area.
  expect "the window size" "$((right - left))x$((bottom - top))" "${client_w}x${client_h}"
  expect_within "the left edge (centred)" "$left" $(((screen_w - client_w) / 2 - 1)) \
    $(((screen_w - client_w) / 2 + 1))
  expect_within "the top edge (centred)" "$top" $(((screen_h - client_h) / 2 - 1)) \
    $(((screen_h - client_h) / 2 + 1))
else
  fail "$case_name: the progress window was not seen: '$window'"
  client_w=0 client_h=0
fi

# The children, in order: the picture, then the bar reaching far past the bottom edge.
children=$(observed child)
re1='^child id=1002 class=Static style=0x5000000E exstyle=0x00000000 rect=0,0,([0-9]+),([0-9]+)'
re2='child id=3072 class=msctls_progress32 style=0x50000001 exstyle=0x([0-9A-F]+) rect=0,([0-9]+),([0-9]+),([0-9]+)$'
expect "the number of child controls" "$(wc -l <<<"$children")" 2
if [[ $(head -1 <<<"$children") =~ $re1 ]]; then
  # A bitmap static control takes the size of its bitmap.
  expect "the picture's size" "${BASH_REMATCH[1]}x${BASH_REMATCH[2]}" 218x170
else
  fail "$case_name: the first child is not the picture: $(head -1 <<<"$children")"
fi
if [[ $(tail -1 <<<"$children") =~ $re2 ]]; then
  # Created without extended style, and Wine's progress bar adds none. (Windows' own progress
  # bar gives itself WS_EX_STATICEDGE when no visual style is in use.)
  expect "the bar's extended style" "${BASH_REMATCH[1]}" 00000000
  expect "the bar's width" "${BASH_REMATCH[3]}" "$client_w"
  expect_within "the bar's visible strip" $((client_h - BASH_REMATCH[2])) 5 7
  expect_true "the bar reaches past the window's bottom edge" test "${BASH_REMATCH[4]}" -gt "$client_h"
else
  fail "$case_name: the second child is not the progress bar: $(tail -1 <<<"$children")"
fi
# The picture on screen is bitmap 2, 218 x 170 at 8 bits per pixel, pixel for pixel where the
# bar does not cover it.
picture=$(observed picture)
expect "the picture" "$(sed 's/diffs=\([0-9]*\)\/.*/diffs=\1/' <<<"$picture")" \
  "picture image=1 size=218x170 bpp=8 diffs=0"
fi

if ((uploads_list)); then
# --- an error code from the register on line 3 of 10 ---------------------------------------
# The answer to line 3 comes once the robot has seen the bar at 2: it sees it move, never
# past 2.
begin_case "error code on line 3 of 10"
hold_answer 3 ' bar .* pos=2$'
start_sim --error 3:5 && point_port com1 "$sim_device"
run_tally -- "$(winpath "$goods/ten.txt")"
expect "the exit status" "$status" 1
expect "the boxes" "$(boxes)" "warning Возвращен код ошибки  5 (товар 3 из 10, код 103, строка 4 файла)"
expect_frames "$goods/ten.txt" 3
expect_clock
expect_bar_went_up 10 2
expect_true "the window went before the box came" seen_before ' gone$' ' box '

# --- silence on line 3 ---------------------------------------------------------------------
begin_case "no answer to line 3"
start_sim --silent 3 && point_port com1 "$sim_device"
run_traced -- "$(winpath "$goods/ten.txt")"
expect "the exit status" "$status" 1
expect "the boxes" "$(boxes)" "error Нет ответа от кассы (товар 3 из 10, код 103, строка 4 файла)"
expect_frames "$goods/ten.txt" 3
expect_clock
expect_true "the window went before the box came" seen_before ' gone$' ' box '
# 100 polls of at least 13 ms each before the run gives up; the message comes once the
# window has gone and the port is closed.
expect "the end of the trace" "$(tr -d '\r' <"$work/trace.txt" | sed -nE 's/^ +[0-9]+ ms  //p' |
  tail -4)" "poll 100: nothing received
port closed
message (error): Нет ответа от кассы (товар 3 из 10, код 103, строка 4 файла)
exit status 1"
expect_trace_span "the wait for the missing answer" "last: ms  sent " ' ms  poll 100: ' 1250 60000

# --- the port does not open ----------------------------------------------------------------
begin_case "upload, COM1 cannot open"
point_port com1 none
run_tally --shot-box message-box -- "$(winpath "$goods/ten.txt")"
expect "the exit status" "$status" 1
expect "the boxes" "$(boxes)" "error Не открыт порт COM1"
expect_clock
keep_screenshot message-box message-box.png
# The message comes while the window is still there; the window goes once it is closed.
expect_true "the box came while the window was there" seen_before ' box ' ' gone$'
fi

if ((window_list)); then
# --- a name that is no file on disk --------------------------------------------------------
# A user who takes the argument for the port: COM1, like CON and NUL, is no file on disk, so
# it is refused at once, and COM1 is let go: an upload through it right after goes through.
for name in COM1 CON NUL; do
  begin_case "$name as the goods file"
  start_sim && point_port com1 "$sim_device"
  started=$(date +%s%N)
  run_tally -- "$name"
  expect "the exit status" "$status" 1
  expect "the boxes" "$(boxes)" "error Не могу открыть файл: $name"
  expect "the progress window" "$(observed window)" ""
  expect "what the register received" "$(received)" ""
  # Wine's own start-up takes seconds even on a busy machine; a program that waits on the
  # device would be killed at 120.
  expect_within "the run's wall time (ms)" $((($(date +%s%N) - started) / 1000000)) 0 60000
done
run_tally -- "$(winpath "$goods/ten.txt")"
expect "the exit status of the upload after it" "$status" 0
expect_frames "$goods/ten.txt"

fi

# --- goods files in UTF-8 and UTF-16 -------------------------------------------------------
# The same goods as ten.txt; the register must receive the same frames, byte for byte.
# UTF-16 is among the uploads, UTF-8 with the window's cases.
iconv -f CP1251 -t UTF-8 "$goods/ten.txt" >"$goods/ten-utf8.txt"
{ printf '\xFF\xFE'; iconv -f CP1251 -t UTF-16LE "$goods/ten.txt"; } >"$goods/ten-utf16.txt"
encodings=()
((uploads_list)) && encodings+=(ten-utf16.txt)
((window_list)) && encodings+=(ten-utf8.txt)
for encoded in "${encodings[@]}"; do
  begin_case "upload of $encoded"
  start_sim && point_port com1 "$sim_device"
  run_tally -- "$(winpath "$goods/$encoded")"
  expect "the exit status" "$status" 0
  expect "the boxes" "$(boxes)" ""
  expect_frames "$goods/ten.txt"
done

# --- a workbook ----------------------------------------------------------------------------
# The price list as LibreOffice saves it (.xlsx); the register must receive what sheet 1's
# goods typed as a goods file give, frame for frame. (The check window's cases show both.)
make_goods "$goods/price-list.txt" "<start>" \
  "101	Хлеб «Бородинский» 400 г	4607001001010	42.90	1	0	" \
  "102	Молоко \"Домик в деревне\" 3,2% 1 л	4600000000017	89.90	2	0	" \
  "103	Сыр №1 «Ёлкин»	4607001001034	1299.00	2	1	" \
  "104	Хлеб белый	4607001001041	89.90	1	0	" \
  "105	Сметана 20%, 300 г	4607001001058	125.50	2	1	" \
  "106	Ёрш «Пикантный»		250.00	3	0	" \
  "107	Чай Lipton \"Yellow Label\" 25 пак.	8722700055525	0.50	4	0	" \
  "108	Пакет-майка		3.00	9	0	" "<end>"
cp "$here/../data/price-list/lo.xlsx" "$goods/price-list.xlsx"
if ((uploads_list)); then
begin_case "upload of a workbook (.xlsx)"
start_sim && point_port com1 "$sim_device"
run_tally -- "$(winpath "$goods/price-list.xlsx")"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
expect_frames "$goods/price-list.txt"
expect_base "$goods/price-list.txt"
fi

if ((window_list)); then
# --- the check window ----------------------------------------------------------------------
# /t on a file that would load: one window and no box, the verdict worded as the Linux
# program words it, the goods as the register will hold them; the port left alone. Enter
# closes the window. (The last item takes the first one's code, for the guide's picture.)
begin_case "check window of an 8-item file"
sed 's/^108\t/101\t/' "$goods/price-list.txt" >"$goods/товары.txt"
start_sim && point_port com1 "$sim_device"
line_before=$(stty -F "$sim_device" -g)
run_tally --shot-check check-window -- /t "$(winpath "$goods/товары.txt")"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
expect "what the register received" "$(received)" ""
expect "the line settings" "$(stty -F "$sim_device" -g)" "$line_before"
expect_no_clock
verdict=$("$linux_tally" /t "$goods/товары.txt" 2>&1 >/dev/null)
expect "the verdict among the window's texts" "$(check_texts | grep -Fx "${verdict#OKA PF: внимание: }")" \
  "Файл товаров в порядке: 8 товаров; коды повторяются: 101 (строки 2, 9)"
expect "the list" "$(observed check | sed -n 's/^check list //p')" "rows=8 columns=7"
expect "the first row" "$(observed check | sed -n 's/^check row //p' | head -1)" \
  '2\t101 (повтор)\thleb ?borodinskij? 400 g\t4607001001010\t42,90\t1\t0'
expect "the closing key" "$(observed check | sed -n 's/^check close //p')" enter
keep_screenshot check-window check-window.png
# Within the 1024 x 768 screen's work area.
expect_true "the window lies in the work area: $(observed check | grep '^check window ')" awk \
  '$2 == "window" { split(substr($3, 6), w, ","); split(substr($4, 6), a, ",")
    exit !(a[3] - a[1] == 1024 && a[4] - a[2] == 768 && w[1] >= a[1] && w[2] >= a[2] &&
      w[3] <= a[3] && w[4] <= a[4]) }' <(observed check)

# A workbook's verdict names its sheet. The save button writes the list as the Linux program
# lists it, after the UTF-8 mark; the close box closes the window.
begin_case "check window of a workbook, its list saved"
saved="$work/saved list.tsv"
run_tally --open-file "$(winpath "$saved")" --check-close box -- /t "$(winpath "$goods/price-list.xlsx")"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
expect "the verdict among the window's texts" "$(check_texts | grep -F 'Файл товаров')" \
  "Файл товаров в порядке: 8 товаров (лист «Товары»)"
expect_true "the saved list is the Linux listing after the mark" cmp "$saved" \
  <(printf '\xEF\xBB\xBF' && "$linux_tally" /t "$goods/price-list.xlsx" 2>/dev/null)
fi

# key_pos KEY: the bar position at which the robot pressed KEY (esc, alt+f4), if it did.
key_pos() { observed key | sed -n "s/^key $1 pos=//p"; }

# positions_after PATTERN: the bar positions the robot saw after its first observation that
# matches PATTERN.
positions_after() {
  awk -v pattern="$1" '$0 ~ pattern { on = 1; next }
    on && $2 == "bar" { sub(/.* pos=/, ""); print }' "$robot_log"
}

if ((window_list)); then
# --- Esc does nothing ----------------------------------------------------------------------
# The upload waits for the robot twice: its Esc at 2, then its look at the bar after it.
begin_case "Esc during the upload"
hold_answer 3 ' key esc '
hold_answer 5 ' bar .* pos=[3-9]$' ' key esc '
start_sim && point_port com1 "$sim_device"
run_traced --esc-at 2 -- "$(winpath "$goods/ten.txt")"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
esc_at=$(key_pos esc)
expect_within "the bar position at Esc" "$esc_at" 2 8
expect_frames "$goods/ten.txt"
expect_clock
# The window stayed: the bar went on after Esc, and the window ended after the final pause.
expect_within "the highest bar position seen after Esc" \
  "$(positions_after ' key esc ' | sort -n | tail -1)" $((esc_at + 1)) 10
expect_final_pause

# --- Alt+F4 closes the window, the upload runs to its end ----------------------------------
# The answer to line 4 comes only once the window has gone: a window that ignored the keys
# would keep it waiting, and the run would end in "no answer".
begin_case "Alt+F4 during the upload"
hold_answer 4 ' gone$' ' key alt[+]f4 '
start_sim && point_port com1 "$sim_device"
run_tally --alt-f4-at 3 -- "$(winpath "$goods/ten.txt")"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
alt_f4_at=$(key_pos alt+f4)
expect_within "the bar position at Alt+F4" "$alt_f4_at" 3 5
expect_true "the window went after Alt+F4" seen_before ' key alt\+f4 ' ' gone$'
after_alt_f4=$(positions_after ' key alt\+f4 ' | sort -n | tail -1)
expect_within "the highest bar position seen after Alt+F4" "${after_alt_f4:-$alt_f4_at}" 0 \
  $((alt_f4_at + 3))
expect_frames "$goods/ten.txt"
expect_base "$goods/ten.txt"
expect_clock

# --- a drag while an answer is awaited -----------------------------------------------------
# The robot holds the button down for 3 s on the window while the answer to line 3 is
# awaited; that answer comes once the press is seen, and at least 400 ms after its frame.
# 100 polls last at least 1.3 s, so a drag that used up polls would end the run with "no
# answer"; the run must instead stay held inside the drag (the bar does not move meanwhile)
# and go on once the button is released.
begin_case "drag during the wait"
hold_answer 3 ' drag start '
start_sim --delay 400 && point_port com1 "$sim_device"
run_tally --drag-at 2:3000 -- "$(winpath "$goods/ten.txt")"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
drag=$(observed drag | tr '\n' ' ')
re='drag start pos=([0-9]+) drag end pos-before-release=([0-9-]+) shown=([0-9/]+|none) moved=(-?[0-9]+),(-?[0-9]+)'
if [[ $drag =~ $re ]]; then
  pressed_at=${BASH_REMATCH[1]} released_at=${BASH_REMATCH[2]} shown=${BASH_REMATCH[3]}
  moved="${BASH_REMATCH[4]},${BASH_REMATCH[5]}"
  expect_within "the bar position at the press" "$pressed_at" 2 8
  # The press reaches the program at its next poll; an answer may come in between.
  expect_within "the bar position at the end of the drag" "$released_at" "$pressed_at" \
    $((pressed_at + 1))
  # Inside the drag the window handles its messages: its bar is painted as it stands.
  expect_bar_shown "$shown" "$released_at" 10
  expect_true "the window moved ($moved)" test "$moved" != 0,0
else
  fail "$case_name: no drag seen: '$drag'"
fi
expect_frames "$goods/ten.txt"
fi

# --- an invalid price ----------------------------------------------------------------------
if ((uploads_list)); then
begin_case "invalid price"
start_sim && point_port com1 "$sim_device"
run_tally -- "$(winpath "$goods/bad price.txt")"
expect "the exit status" "$status" 1
expect "the boxes" "$(boxes)" "error Недопустимая цена: '12.5\\t' (строка 3 файла)"
expect "the progress window" "$(observed window)" ""
expect "what the register received" "$(received)" ""
expect_no_clock
fi

# --- a dropped file: its path with blanks in double quotes ---------------------------------
# Windows hands a file dropped on the program over as "Z:\...\my goods.txt"; the program
# takes the quotes off and uploads the file.
if ((window_list)); then
begin_case "dropped file with blanks, quoted"
start_sim && point_port com1 "$sim_device"
dropped=$(winpath "$goods/my goods.txt")
# Wine quotes an argument that holds blanks, as Windows does for a dropped file.
run_tally -- "$dropped"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
expect_frames "$goods/my goods.txt"

# The same path without quotes, in two arguments, on COM2, with /9600 (the upload still runs
# at 19200).
begin_case "file with blanks, unquoted, on COM2 at /9600"
point_port com1 none
hold_answer 3 ' bar .* pos=[12]$'
start_sim && point_port com2 "$sim_device"
run_tally -- /2 "${dropped% *}" "${dropped##* }" /9600
point_port com2 none
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
expect_frames "$goods/my goods.txt"
expect_bar_went_up 3
expect_clock
fi

if ((uploads_list)); then
# --- a line left in XON/XOFF and RTS/CTS mode --------------------------------------------
# As a terminal program or the port's own defaults may leave it. Every answer carries XON
# (0x11) and XOFF (0x13), which a line still in XON/XOFF mode would swallow, stopping the
# program's output too: the program turns the software handshake off, leaves RTS/CTS as it
# was, and the whole file goes through.
begin_case "upload on a line left in XON/XOFF and RTS/CTS mode"
start_sim --handshake xonxoff,rtscts --answer-bytes 11:13 && point_port com1 "$sim_device"
run_tally -- "$(winpath "$goods/ten.txt")"
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
expect "the handshake as the first frame came" "$(handshake_at 1)" "ixon=0 ixoff=0 crtscts=1"
expect "the handshake as the last frame came" "$(handshake_at 10)" "ixon=0 ixoff=0 crtscts=1"
expect_frames "$goods/ten.txt"
expect_base "$goods/ten.txt"
expect_clock
fi

# --- TALLY_COM1 names the port: a USB adapter that came up as COM5 -------------------------
if ((window_list)); then
begin_case "upload through TALLY_COM1=COM5"
point_port com1 none
start_sim && point_port com5 "$sim_device"
tally_env=(TALLY_COM1=COM5)
run_tally -- "$(winpath "$goods/ten.txt")"
tally_env=()
point_port com5 none
expect "the exit status" "$status" 0
expect "the boxes" "$(boxes)" ""
expect_frames "$goods/ten.txt"
expect_clock
fi

wine_session_report
