#!/usr/bin/env bash
# The Windows program's clear run under Wine, its COM1 mapped onto register-sim's
# pseudo-terminal: what reaches the register, the message box the user sees and the exit
# status. Runs in a throwaway Wine prefix on a private X display.
#
# Usage: clear_run_wine.sh TALLY.EXE close_message_box.exe register-sim
# Exit status 0 passed, 1 failed, 77 skipped (something needed is missing).
set -uo pipefail

tally_exe=${1:-}
closer_exe=${2:-}
register_sim=${3:-}

skip() {
  echo "SKIPPED: $*"
  exit 77
}

[[ -f $tally_exe ]] || skip "no TALLY.EXE at '$tally_exe' (build the windows-x64 preset first)"
[[ -f $closer_exe ]] || skip "no close_message_box.exe at '$closer_exe' (build the windows-x64 preset first)"
[[ -x $register_sim ]] || skip "no register-sim at '$register_sim'"
wine=$(command -v wine64 || command -v wine) || skip "wine is not installed"
command -v wineserver >/dev/null || skip "wineserver is not installed"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"

# A Russian UTF-8 locale, as on the users' machines; made here when it is missing.
have_locale() { locale -a 2>/dev/null | grep -qiE '^ru_RU\.utf-?8$'; }
if ! have_locale && [[ $(id -u) == 0 && -w /etc/locale.gen ]] && command -v locale-gen >/dev/null; then
  sed -i 's/^# ru_RU.UTF-8/ru_RU.UTF-8/' /etc/locale.gen && locale-gen >/dev/null 2>&1
fi
have_locale || skip "the ru_RU.UTF-8 locale is missing and cannot be generated here"

work=$(mktemp -d "${TMPDIR:-/tmp}/tally-wine-clear-XXXXXX")
xvfb_pid=
sim_pid=
cleanup() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null
  if [[ -d $work/prefix ]]; then
    WINEPREFIX=$work/prefix timeout 20 wineserver -k >/dev/null 2>&1
    WINEPREFIX=$work/prefix timeout 20 wineserver -w >/dev/null 2>&1
  fi
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A private X display: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s $work/display ]] && break
  sleep 0.1
done
[[ -s $work/display ]] || skip "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")

export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ru_RU.UTF-8
echo "making a Wine prefix in $WINEPREFIX"
timeout 180 "$wine" wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w
[[ -f $WINEPREFIX/system.reg ]] || skip "wineboot could not make a prefix"
# Closed windows go at once instead of after Wine's two-second wait for the window manager.
timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
# One wineserver for all the runs, ended by cleanup.
timeout 10 wineserver -p 600 >/dev/null 2>&1

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Starts register-sim with the given options; sets sim_pid and sim_device.
start_sim() {
  : >"$work/sim.log"
  "$register_sim" --pty --log "$work/sim.log" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  sim_device=
  for _ in $(seq 100); do
    sim_device=$(head -1 "$work/sim.out" 2>/dev/null)
    [[ -n $sim_device ]] && return 0
    sleep 0.1
  done
  return 1
}

stop_sim() {
  [[ -n $sim_pid ]] || return
  kill -TERM "$sim_pid" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null
  sim_pid=
}

# run_case NAME "SIM OPTIONS" "TALLY ARGUMENTS" "EXPECTED BOX TEXT" STATUS "EXPECTED LOG LINES"
# The log lines are those that tell what reached the simulator (its answers left out).
# SIM OPTIONS "none" runs no simulator and points COM1 at a folder: a port that cannot open.
run_case() {
  local name=$1 sim_options=$2 tally_args=$3 expected_text=$4 expected_status=$5
  local expected_log=$6
  echo "--- $name"
  if [[ $sim_options == none ]]; then
    mkdir -p "$work/not-a-port"
    ln -sfn "$work/not-a-port" "$WINEPREFIX/dosdevices/com1"
  else
    # shellcheck disable=SC2086
    if ! start_sim $sim_options; then
      fail "$name: register-sim did not start: $(cat "$work/sim.err")"
      stop_sim
      return
    fi
    ln -sfn "$sim_device" "$WINEPREFIX/dosdevices/com1"
  fi

  # shellcheck disable=SC2086
  timeout 60 "$wine" "$tally_exe" $tally_args &
  local tally_pid=$!
  timeout 60 "$wine" "$closer_exe" 40 >"$work/box.txt" 2>/dev/null
  local closer_status=$?
  wait "$tally_pid"
  local status=$?
  stop_sim

  local text
  text=$(tr -d '\r' <"$work/box.txt")
  [[ $closer_status == 0 ]] || fail "$name: no message box appeared"
  [[ $text == "$expected_text" ]] || fail "$name: box text '$text', expected '$expected_text'"
  [[ $status == "$expected_status" ]] || fail "$name: exit status $status, expected $expected_status"
  if [[ $sim_options != none ]]; then
    local received
    received=$(grep -v '^answer ' "$work/sim.log")
    [[ $received == "$expected_log" ]] ||
      fail "$name: the register received '$received', expected '$expected_log'"
  fi
}

frame="17 0B 63 00 00 00 00 00 19 00 85"
run_case "success" "" "/e" "База товаров очищена" 0 "frame 1 19200 $frame"
run_case "error code 5" "--error 1:5" "/e" "Возвращен код ошибки  5" 1 "frame 1 19200 $frame"
run_case "at 9600" "--baud 9600" "/9600 /e" "База товаров очищена" 0 "frame 1 9600 $frame"
run_case "wrong checksum" "--bad-checksum 1" "/e" "Неверный ответ от кассы" 1 "frame 1 19200 $frame"
run_case "silence" "--silent 1" "/e" "Нет ответа от кассы" 1 "frame 1 19200 $frame"
run_case "port that cannot open" none "/e" "Не открыт порт COM1" 1 ""

if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all clear runs under Wine passed"
