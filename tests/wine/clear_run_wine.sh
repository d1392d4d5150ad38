#!/usr/bin/env bash
# The Windows program's clear run under Wine, its COM1 (or COM2) mapped onto register-sim's
# pseudo-terminal: what reaches the register, the message box the user sees (text and icon)
# and the exit status, and the question a clear started from a shortcut asks first. Runs in
# a throwaway Wine prefix on a private X display, with ui_robot.exe reading and closing the
# boxes.
#
# Usage: clear_run_wine.sh TALLY.EXE ui_robot.exe register-sim
# Exit status 0 passed, 1 failed, 77 skipped (something needed is missing).
set -uo pipefail

# shellcheck disable=SC2034  # read by wine_session.sh
tally_exe=${1:-}
robot_exe=${2:-}
register_sim=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine_session.sh
source "$here/wine_session.sh"
wine_session_start

# clear_case NAME PORT "SIM OPTIONS"|none "TALLY ARGUMENTS" ICON "TEXT" STATUS "RECEIVED"
#   [NAME=VALUE...]
# The simulator sits behind PORT (com1, com2 or another comN); every other port is a folder,
# so that a run on the wrong port fails. SIM OPTIONS "none": no simulator, all ports are
# folders. NAME=VALUE: variables for TALLY.EXE (TALLY_COM1, TALLY_COM2).
clear_case() {
  begin_case "$1"
  local port=$2 sim_options=$3 tally_args=$4 icon=$5 text=$6 expected_status=$7
  local expected_received=$8
  shift 8
  tally_env=("$@")
  local p
  for p in com1 com2 com5 com7 com12; do point_port "$p" none; done
  if [[ $sim_options != none ]]; then
    # shellcheck disable=SC2086
    start_sim $sim_options || return
    point_port "$port" "$sim_device"
  fi
  # shellcheck disable=SC2086
  run_tally -- $tally_args
  tally_env=()
  expect "the boxes" "$(boxes)" "$icon $text"
  expect "the exit status" "$status" "$expected_status"
  expect "the progress window" "$(observed window)" ""
  if [[ $sim_options != none ]]; then
    expect "what the register received" "$(received)" "$expected_received"
  fi
  # The 1 ms timer: asked for once before the port opens, given back once, on every road.
  expect "the timer requests" "$clock" "timeBeginPeriod(1) timeEndPeriod(1)"
}

frame="17 0B 63 00 00 00 00 00 19 00 85"
clear_case "success" com1 "" "/e" warning "База товаров очищена" 0 "frame 1 19200 $frame"
clear_case "error code 5" com1 "--error 1:5" "/e" warning "Возвращен код ошибки  5" 1 \
  "frame 1 19200 $frame"
clear_case "at 9600" com1 "--baud 9600" "/9600 /e" warning "База товаров очищена" 0 \
  "frame 1 9600 $frame"
clear_case "on COM2, capital letters" com2 "" "/E /2" warning "База товаров очищена" 0 \
  "frame 1 19200 $frame"
clear_case "wrong checksum" com1 "--bad-checksum 1" "/e" warning "Неверный ответ от кассы" 1 \
  "frame 1 19200 $frame"
clear_case "silence" com1 "--silent 1" "/e" error "Нет ответа от кассы" 1 "frame 1 19200 $frame"
clear_case "COM1 cannot open" com1 none "/e" error "Не открыт порт COM1" 1 ""
# The register behind COM1 must hear nothing when COM2 was asked for.
clear_case "COM2 cannot open" com1 "" "/2 /e" error "Не открыт порт COM2" 1 ""

# --- started from an installed shortcut ("/i"): the question first -------------------------
# Enter answers it with the default button, which must be Нет: the run ends before the port
# opens, with no box.
question="Очистить базу товаров кассы на COM1? Все товары в кассе будут удалены."
begin_case "the shortcut's clear, answered with Enter: Нет"
point_port com2 none
start_sim && point_port com1 "$sim_device"
run_tally -- /e /i
expect "the boxes" "$(boxes)" "warning $question"
expect "the exit status" "$status" 2
expect "what the register received" "$(received)" ""
expect "the timer requests" "$clock" ""

begin_case "the shortcut's clear on COM2, answered Да"
point_port com1 none
start_sim && point_port com2 "$sim_device"
run_tally --answer yes -- /e /2 /i
expect "the boxes" "$(boxes)" "warning ${question/COM1/COM2}
warning База товаров очищена"
expect "the exit status" "$status" 0
expect "what the register received" "$(received)" "frame 1 19200 $frame"

# --- a line left in XON/XOFF and RTS/CTS mode --------------------------------------------
# A terminal program or the port's own defaults may leave the line so. The answers carry
# XON (0x11) and XOFF (0x13), which a line still in XON/XOFF mode swallows (and stops
# sending on): the program turns the software handshake off and leaves RTS/CTS as it was.
clear_case "XON/XOFF and RTS/CTS left on, XON and XOFF in the answer" com1 \
  "--handshake xonxoff,rtscts --answer-bytes 11:13" "/e" warning "База товаров очищена" 0 \
  "frame 1 19200 $frame"
expect "the handshake as the frame came" "$(handshake_at 1)" "ixon=0 ixoff=0 crtscts=1"
# Error code 19 is XOFF itself.
clear_case "XON/XOFF left on, error code 19" com1 "--handshake xonxoff --error 1:19" "/e" \
  warning "Возвращен код ошибки  19" 1 "frame 1 19200 $frame"
expect "the handshake as the frame came" "$(handshake_at 1)" "ixon=0 ixoff=0 crtscts=0"

# --- TALLY_COM1 / TALLY_COM2 name the ports that stand for COM1 / COM2 --------------------
clear_case "TALLY_COM1=COM5" com5 "" "/e" warning "База товаров очищена" 0 \
  "frame 1 19200 $frame" TALLY_COM1=COM5
# From COM10 on only the device namespace name (\\.\COM12) reaches the port; a plain "COM12"
# would be a file of that name in the current directory.
clear_case "TALLY_COM1=com12, lower case" com12 "" "/e" warning "База товаров очищена" 0 \
  "frame 1 19200 $frame" TALLY_COM1=com12
clear_case "TALLY_COM2=COM7 with /2" com7 "" "/2 /e" warning "База товаров очищена" 0 \
  "frame 1 19200 $frame" TALLY_COM2=COM7 TALLY_COM1=COM5
clear_case "TALLY_COM1 empty: COM1" com1 "" "/e" warning "База товаров очищена" 0 \
  "frame 1 19200 $frame" TALLY_COM1=
# Not a port: nothing opens (the program's directory stays empty, see run_tally) and the
# register behind COM1 hears nothing.
clear_case "TALLY_COM1 names a file" com1 "" "/e" error "Не открыт порт COM1" 1 "" \
  TALLY_COM1=goods.txt
clear_case "TALLY_COM1=COM257" com1 "" "/e" error "Не открыт порт COM1" 1 "" TALLY_COM1=COM257
clear_case "TALLY_COM2 names a file, with /2" com2 "" "/2 /e" error "Не открыт порт COM2" 1 "" \
  TALLY_COM2=port2

# The wire trace: TALLY_TRACE names a file (a Windows path), and the run appends its record to
# it in UTF-8 with CR LF line ends: the frame and the answer that led to the message.
begin_case "wire trace"
point_port com2 none
if start_sim --error 1:5; then
  point_port com1 "$sim_device"
  trace=$work/trace.txt
  printf 'earlier record\r\n' >"$trace"
  TALLY_TRACE=$(winpath "$trace")
  export TALLY_TRACE
  run_tally -- /e
  unset TALLY_TRACE
  expect "the boxes" "$(boxes)" "warning Возвращен код ошибки  5"
  expect "the exit status" "$status" 1
  lines=$(tr -d '\r' <"$trace")
  expect "the earlier record kept" "$(head -1 <<<"$lines")" "earlier record"
  expect_true "the record's head: $(sed -n 2p <<<"$lines")" \
    grep -qE '^=== [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}  tally [0-9]+\.[0-9]+\.[0-9]+$' <<<"$(sed -n 2p <<<"$lines")"
  expect_true "the command line" grep -qE '^command line: .*TALLY\.EXE.* /e$' <<<"$lines"
  expect_true "the port opened" grep -qE '^ +[0-9]+ ms  open COM1 \(.*COM1\): opened$' <<<"$lines"
  expect_true "the line settings" grep -qE '^ +[0-9]+ ms  line settings: 19200 bit/s, 8 data bits, no parity, 1 stop bit' <<<"$lines"
  expect "the frames sent" "$(sed -nE 's/^ +[0-9]+ ms  sent      //p' <<<"$lines")" \
    "17 0b 63 00 00 00 00 00 19 00 85"
  expect "the answer bytes" "$(sed -nE 's/^ +[0-9]+ ms  poll +[0-9]+  //p' <<<"$lines" | tr '\n' ' ')" \
    "18 00 00 05 19 00 1d "
  expect "the outcome" "$(grep -E 'message|exit status' <<<"$lines" | sed -E 's/^ +[0-9]+ ms  //')" \
    "message (warning): Возвращен код ошибки  5
exit status 1"
  expect "lines ending in CR LF" "$(grep -c $'\r$' "$trace")" "$(wc -l <"$trace")"
fi

wine_session_report
