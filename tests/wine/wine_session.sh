# shellcheck shell=bash disable=SC2154,SC2034  # shared variables of the sourcing script
# Shared by the Wine tests of TALLY.EXE (sourced, not run): a throwaway Wine prefix on a
# private virtual display, register-sim on pseudo-terminals behind COM1 and COM2, and
# ui_robot.exe as the user at the screen.
#
# The sourcing script sets tally_exe, robot_exe and register_sim, then calls
# wine_session_start; every wait is bounded; everything started is stopped on exit.

skip() {
  echo "SKIPPED: $*"
  exit 77
}

# nap SECONDS: a pause that starts no process (a read that times out on a pipe that nobody
# writes to). The waits of a suite poll files every few hundredths of a second, and a sleep
# process each time made the shell the busiest program of a suite.
exec {nap_fd}<> <(:)
nap() { read -rt "$1" -u "$nap_fd" _ || true; }

failures=0
checks=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# expect WHAT ACTUAL EXPECTED
expect() {
  checks=$((checks + 1))
  [[ $2 == "$3" ]] || fail "$case_name: $1 is '$2', expected '$3'"
}

# expect_true WHAT COMMAND...: the command must succeed.
expect_true() {
  local what=$1
  shift
  checks=$((checks + 1))
  "$@" || fail "$case_name: $what"
}

# begin_case NAME: starts a case and ends the one before. A failed case shows what the robot
# and the register saw.
case_name=
case_failures=0
begin_case() {
  end_case
  case_name=$1
  case_failures=$failures
  echo "--- $case_name"
}

end_case() {
  ((failures > case_failures)) || [[ -n ${TALLY_WINE_VERBOSE:-} ]] || return 0
  echo "    what the robot saw:"
  sed 's/^/    | /' "$work/robot.log" 2>/dev/null
  echo "    what the register logged:"
  sed 's/^/    | /' "$sim_files.log" 2>/dev/null
  echo "    what the register said:"
  sed 's/^/    | /' "$sim_files.err" 2>/dev/null
  # What Wine wrote of the program's run beside the relay trace of its clock calls: its own
  # complaints, a crash, a program it could not start.
  echo "    what Wine told of the program:"
  grep -av ':\(Call\|Ret\) \|:trace:relay:load_list \|:Starting thread proc ' \
    "$work/tally.err" 2>/dev/null | tail -n 20 | sed 's/^/    | /'
}

# The Windows path of a Unix path (Wine's drive Z: is the Unix root).
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# wine_tools_check: skips unless Wine can run $tally_exe here (with no tally_exe, the 64-bit
# Wine), with the Wine server, Xvfb and the Russian locale at hand; sets wine (the loader) and
# exe_machine.
wine_tools_check() {
  # The machine the program was built for, 0x8664 (x86-64) or 0x14c (i686), and the Wine
  # that runs it: the i686 program runs in the same 64-bit prefix, through the 32-bit Wine.
  # shellcheck source=../../scripts/wine-loader.sh
  source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-loader.sh"
  if [[ -n ${tally_exe:-} ]]; then
    wine_loader "$tally_exe" || skip "$wine_missing"
  else
    exe_machine=0x8664
    wine64_loader || skip "$wine_missing"
  fi
  command -v wineserver >/dev/null || skip "wineserver is not installed"
  command -v Xvfb >/dev/null || skip "Xvfb is not installed"
  # A Russian UTF-8 locale, as on the users' machines (scripts/install-deps.sh makes it).
  locale -a 2>/dev/null | grep -qiE '^ru_RU\.utf-?8$' ||
    skip "the ru_RU.UTF-8 locale is missing (scripts/install-deps.sh makes it)"
}

# wine_session_begin: a work folder ($work) that wine_session_stop clears on exit, and a
# private X display for Wine (Xvfb picks a free number and writes it to fd 3), with the Wine
# settings of every run; sets xvfb_pid and DISPLAY.
wine_session_begin() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/tally-wine-XXXXXX")
  xvfb_pid=
  sim_pid=
  shooter_pid=
  trap wine_session_stop EXIT
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $work/display ]] && break
    nap 0.1
  done
  [[ -s $work/display ]] || skip "Xvfb did not start"
  DISPLAY=:$(head -1 "$work/display")
  export DISPLAY
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LC_ALL=ru_RU.UTF-8
}

# wine_prefix_make: a new Wine prefix at $WINEPREFIX, set up for the tests; returns 1 when
# Wine could not make it. The Wine server is left to end by itself, having saved the registry.
wine_prefix_make() {
  timeout 180 "$wine" wineboot -i >/dev/null 2>&1
  timeout 60 wineserver -w
  [[ -f $WINEPREFIX/system.reg ]] || return 1
  # Closed windows go at once instead of after Wine's two-second wait for a window manager.
  timeout 60 "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >/dev/null 2>&1
  # The program's requests for the 1 ms timer, logged with their arguments: Wine's relay
  # trace of just these two calls (see run_tally).
  timeout 60 "$wine" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ \
    /d 'winmm.timeBeginPeriod;winmm.timeEndPeriod' /f >/dev/null 2>&1
  timeout 60 wineserver -w
}

# A prefix made once for all the suites of a ctest run (tests/wine/wine_prefix_template.sh):
# TALLY_WINE_PREFIX_TEMPLATE names it. Making a prefix takes Wine about ten seconds of
# processor time; copying one, a second.
wine_prefix_from_template() {
  local template=${TALLY_WINE_PREFIX_TEMPLATE:-}
  [[ -n $template && -f $template/ready && -d $template/prefix ]] || return 1
  echo "copying the Wine prefix $template/prefix to $WINEPREFIX"
  cp -a "$template/prefix" "$WINEPREFIX"
}

wine_session_start() {
  [[ -f $tally_exe ]] || skip "no TALLY.EXE at '$tally_exe' (build the windows-x64 or windows-x86 preset first)"
  [[ -f $robot_exe ]] || skip "no ui_robot.exe at '$robot_exe' (build the windows-x64 or windows-x86 preset first)"
  [[ -x $register_sim ]] || skip "no register-sim at '$register_sim'"
  # The program runs in a directory of its own (run_tally): absolute paths.
  tally_exe=$(realpath "$tally_exe")
  robot_exe=$(realpath "$robot_exe")
  wine_tools_check
  echo "TALLY.EXE for machine $exe_machine"
  wine_session_begin

  export WINEPREFIX=$work/prefix
  if ! wine_prefix_from_template; then
    echo "making a Wine prefix in $WINEPREFIX"
    wine_prefix_make || skip "wineboot could not make a prefix"
  fi
  # One wineserver for all the runs, ended on exit.
  timeout 10 wineserver -p 600 >/dev/null 2>&1
  keep_desktop
  # A port that must not open is a folder (a dangling link would make Wine try /dev/ttyS*).
  mkdir -p "$work/not-a-port"
  point_port com1 none
  point_port com2 none
  sim_files=$work/no-sim
}

# keep_desktop: one Windows program of the desktop runs from here to the end of the suite
# (hold_file.exe, beside the robot, holding a file of its own). While one runs, Wine keeps its
# system processes and the desktop up between two runs. Otherwise each run starts them
# afresh: its robot and program race the desktop that the run before left closing (a window
# that cannot be made, a box that never shows), and Wine's device manager points COM1 and
# COM2 back at /dev/ttyS*.
keep_desktop() {
  local keeper_exe
  keeper_exe=$(dirname "$robot_exe")/hold_file.exe
  [[ -f $keeper_exe ]] || skip "no hold_file.exe beside the robot at '$robot_exe'"
  : >"$work/keeper.txt"
  "$wine" "$keeper_exe" "$(winpath "$work/keeper.txt")" "$(winpath "$work/keeper.ready")" \
    "$(winpath "$work/keeper.stop")" >/dev/null 2>&1 &
  local _
  for _ in $(seq 600); do
    [[ -e $work/keeper.ready ]] && return 0
    nap 0.1
  done
  skip "Wine did not start hold_file.exe, which keeps the desktop, within 60 s"
}

wine_session_stop() {
  [[ -d ${work:-} ]] && : >"$work/keeper.stop"
  stop_sim
  [[ -n $shooter_pid ]] && kill "$shooter_pid" 2>/dev/null
  if [[ -d ${work:-}/prefix ]]; then
    WINEPREFIX=$work/prefix timeout 20 wineserver -k >/dev/null 2>&1
    WINEPREFIX=$work/prefix timeout 20 wineserver -w >/dev/null 2>&1
  fi
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  [[ -n ${work:-} ]] && rm -rf "$work"
}

# point_port comN DEVICE|none
# Wine's device manager points comN at /dev/ttyS<N-1> again whenever Wine starts cold, so
# run_tally points the ports once more when the robot runs (Wine is warm then).
declare -A port_targets=()
point_port() {
  local target=$2
  [[ $target == none ]] && target=$work/not-a-port
  port_targets[$1]=$target
  ln -sfn "$target" "$WINEPREFIX/dosdevices/$1"
}

# start_sim OPTIONS...: register-sim on a new pseudo-terminal, logging to $sim_files.log and
# keeping its goods base in $sim_files.tsv; sets sim_device. The simulator of the case before
# is stopped only once the new one runs, so that the new one gets another pseudo-terminal
# number than the one the program used last.
sim_count=0
start_sim() {
  local previous_pid=${sim_pid:-}
  sim_count=$((sim_count + 1))
  sim_files=$work/sim$sim_count
  local held=() i
  for ((i = 0; i < ${#holds[@]}; i += 3)); do
    held+=(--hold "${holds[i]}:$work/release-${holds[i]}")
  done
  "$register_sim" --pty -v --log "$sim_files.log" --db "$sim_files.tsv" "$@" "${held[@]}" \
    >"$sim_files.out" 2>"$sim_files.err" &
  sim_pid=$!
  sim_device=
  for _ in $(seq 100); do
    sim_device=$(head -1 "$sim_files.out" 2>/dev/null)
    [[ -n $sim_device ]] && break
    nap 0.1
  done
  stop_pid "$previous_pid"
  [[ -n $sim_device ]] && return 0
  fail "$case_name: register-sim did not start: $(cat "$sim_files.err")"
  return 1
}

# stop_pid PID: stops a simulator (TERM, then KILL after 5 s).
stop_pid() {
  [[ -n $1 ]] || return 0
  kill -TERM "$1" 2>/dev/null
  for _ in $(seq 50); do
    kill -0 "$1" 2>/dev/null || break
    nap 0.1
  done
  kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# hold_answer FRAME PATTERN [AFTER]: the next simulator (start_sim) holds its answer to FRAME
# until, in the next run (run_tally), a line of the robot's log matches PATTERN (an awk regular
# expression), after a line that matches AFTER when given. A case waits so for what the
# screen must show before the upload goes on, however busy the machine: the program itself
# gives the register a hundred polls, and the robot looks every few milliseconds.
holds=()
hold_answer() {
  rm -f "$work/release-$1"
  holds+=("$1" "$2" "${3:-}")
}

# release FRAME PATTERN AFTER: lets the answer to FRAME go once the robot's log shows PATTERN
# (after AFTER).
release() {
  until awk -v pattern="$2" -v after="$3" 'BEGIN { on = after == "" }
    !on && $0 ~ after { on = 1; next } on && $0 ~ pattern { found = 1; exit }
    END { exit !found }' "$robot_log" 2>/dev/null; do
    nap 0.02
  done
  : >"$work/release-$1"
}

stop_sim() {
  stop_pid "${sim_pid:-}"
  sim_pid=
}

# What reached the register: its log without the answers and the line's handshake.
received() { grep -v '^answer \|^handshake ' "$sim_files.log" 2>/dev/null; }

# The line's handshake as frame N arrived (register-sim --handshake), e.g.
# "ixon=0 ixoff=0 crtscts=1".
handshake_at() { awk -v n="$1" '$1 == "handshake" && $2 == n { $1 = $2 = ""; sub(/^ +/, ""); print }' \
  "$sim_files.log" 2>/dev/null; }

# Takes the screenshots that the robot asks for ("shot NAME" in its log) into
# $work/shots/NAME.png and tells the robot so ($work/shots/NAME.done). Runs in the
# background for one robot log.
shooter() {
  local log=$1 taken=" "
  mkdir -p "$work/shots"
  while true; do
    local name
    for name in $(awk '$2 == "shot" && NF == 3 { print $3 }' "$log" 2>/dev/null); do
      [[ $taken == *" $name "* ]] && continue
      taken+="$name "
      if command -v import >/dev/null; then
        timeout 20 import -window root "$work/shots/$name.png" >/dev/null 2>&1
      fi
      : >"$work/shots/$name.done"
    done
    nap 0.05
  done
}

# Variables for the next TALLY.EXE runs only (NAME=VALUE ...), such as TALLY_COM1=COM5.
tally_env=()
# What the next runs start instead of TALLY.EXE itself: a command that starts it in turn, such
# as (cmd /c 'Z:\...\run.bat'); run_tally's arguments follow it.
tally_launcher=()

# run_tally ROBOT_OPTIONS -- TALLY_ARGUMENTS: runs TALLY.EXE with the robot watching; sets
# status (TALLY.EXE's exit status), robot_log (the robot's log, a file), robot_status and
# clock (the program's timer requests in order, e.g. "timeBeginPeriod(1) timeEndPeriod(1)").
# TALLY.EXE runs in the directory $work/cwd, which must stay empty. A robot that does not
# start fails the case, and the program is not run without it.
run_tally() {
  local robot_options=()
  while [[ $1 != -- ]]; do
    robot_options+=("$1")
    shift
  done
  shift
  robot_log=$work/robot.log
  rm -f "$robot_log" "$work/robot.stop" "$work/tally.err"
  rm -rf "$work/shots/"*.done
  status=none robot_status=none clock=
  shooter_pid=
  if [[ " ${robot_options[*]} " == *" --shot-"* ]]; then
    shooter "$robot_log" &
    shooter_pid=$!
  fi
  timeout 300 "$wine" "$robot_exe" --log "$(winpath "$robot_log")" \
    --stop "$(winpath "$work/robot.stop")" --limit 280 --exe "$(winpath "$tally_exe")" \
    --shot-dir "$(winpath "$work/shots")" "${robot_options[@]}" >/dev/null 2>&1 &
  local robot_pid=$!
  # The robot must be watching before the program's first window can come and go. Wine may
  # take long to start a program on a busy machine: the limit only catches a robot that
  # never starts.
  local waited=0
  until grep -q ' start$' "$robot_log" 2>/dev/null; do
    if ((waited >= 1200)) || ! kill -0 "$robot_pid" 2>/dev/null; then
      kill "$robot_pid" 2>/dev/null
      wait "$robot_pid" 2>/dev/null
      fail "$case_name: the robot did not start within $((waited / 20)) s (its status $?); the program was not run"
      [[ -n $shooter_pid ]] && kill "$shooter_pid" 2>/dev/null
      [[ -n $shooter_pid ]] && wait "$shooter_pid" 2>/dev/null
      shooter_pid=
      holds=()
      return 1
    fi
    nap 0.05
    waited=$((waited + 1))
  done
  local release_pids=() i
  for ((i = 0; i < ${#holds[@]}; i += 3)); do
    release "${holds[@]:i:3}" &
    release_pids+=($!)
  done
  holds=()
  local port ports_before
  for port in "${!port_targets[@]}"; do
    ln -sfn "${port_targets[$port]}" "$WINEPREFIX/dosdevices/$port"
  done
  ports_before=$(readlink "$WINEPREFIX/dosdevices/com1" "$WINEPREFIX/dosdevices/com2")
  mkdir -p "$work/cwd"
  (cd "$work/cwd" && env "${tally_env[@]}" WINEDEBUG=-all,err+all,+relay timeout 120 "$wine" "${tally_launcher[@]:-$tally_exe}" "$@" \
    2>"$work/tally.err")
  status=$?
  clock=$(sed -n 's/.*Call winmm\.\(time[A-Za-z]*Period\)(0*\([0-9a-f][0-9a-f]*\)).*/\1(\2)/p' \
    "$work/tally.err" | tr '\n' ' ')
  clock=${clock% }
  local left
  left=$(ls -A "$work/cwd")
  [[ -z $left ]] || fail "$case_name: the program left files in its directory: $left"
  local ports_after
  ports_after=$(readlink "$WINEPREFIX/dosdevices/com1" "$WINEPREFIX/dosdevices/com2")
  # The runs rely on COM1 and COM2 staying where the case pointed them.
  [[ $ports_after == "$ports_before" ]] ||
    fail "$case_name: the ports moved during the run: ${ports_before//$'\n'/, } became ${ports_after//$'\n'/, }"
  : >"$work/robot.stop"
  wait "$robot_pid"
  robot_status=$?
  # (A wait with no process named would wait for the keeper of the desktop too.)
  local helpers=(${shooter_pid:+"$shooter_pid"} "${release_pids[@]}")
  if ((${#helpers[@]})); then
    kill "${helpers[@]}" 2>/dev/null
    wait "${helpers[@]}" 2>/dev/null
  fi
  shooter_pid=
  [[ $robot_status == 0 ]] || fail "$case_name: the robot ended with status $robot_status"
  # A window of another caption (a crash report, say) is never expected.
  local others
  others=$(grep ' other ' "$robot_log")
  [[ -z $others ]] || fail "$case_name: other windows appeared: $others"
}

# run_traced ROBOT_OPTIONS -- TALLY_ARGUMENTS: run_tally with the program's own wire trace
# (TALLY_TRACE) in $work/trace.txt, read by trace_ms.
run_traced() {
  rm -f "$work/trace.txt"
  local saved_env=("${tally_env[@]}")
  tally_env+=("TALLY_TRACE=$(winpath "$work/trace.txt")")
  run_tally "$@"
  tally_env=("${saved_env[@]}")
}

# trace_ms PATTERN [last]: the program's own stamp (milliseconds since its start) of the first
# (or last) line of its trace that matches an awk regular expression; empty when none does.
# The stamps tell when things happened in the program, whatever the load on the machine.
trace_ms() {
  tr -d '\r' <"$work/trace.txt" 2>/dev/null |
    awk -v pattern="$1" -v which="${2:-first}" '$2 == "ms" && $0 ~ pattern {
      stamp = $1; if (which == "first") { print stamp; found = 1; exit } }
      END { if (which == "last" && stamp != "" && !found) print stamp }'
}

# Observations of one kind, without their time stamps.
observed() { awk -v kind="$1" '$2 == kind { sub(/^[0-9]+ /, ""); print }' "$robot_log"; }

# seen_before A B: the robot's first observation matching A came before its first matching B
# (awk regular expressions; the order of the robot's own log).
seen_before() {
  awk -v a="$1" -v b="$2" '$0 ~ a && !ia { ia = NR } $0 ~ b && !ib { ib = NR }
    END { exit !(ia && ib && ia < ib) }' "$robot_log"
}

# The message boxes seen, one line each: "<icon> <text>".
boxes() {
  awk '$2 == "box" {
    icon = $3; sub(/^icon=/, "", icon)
    text = $0; sub(/^.* text=/, "", text)
    print icon " " text }' "$robot_log"
}

# The texts of the check window's controls, one line each (the verdict among them).
check_texts() { observed check | sed -n 's/^check text //p'; }

# Keeps a screenshot for the documentation: the desktop around the window is black, so the
# window alone is kept.
keep_screenshot() {
  local name=$1 target=$2
  [[ -n ${TALLY_SCREENSHOT_DIR:-} && -s $work/shots/$name.png ]] || return 0
  command -v convert >/dev/null || return 0
  mkdir -p "$TALLY_SCREENSHOT_DIR"
  convert "$work/shots/$name.png" -trim +repage "$TALLY_SCREENSHOT_DIR/$target" &&
    echo "screenshot: $TALLY_SCREENSHOT_DIR/$target"
}

wine_session_report() {
  end_case
  if ((failures > 0)); then
    echo "$failures of $checks checks failed"
    exit 1
  fi
  echo "all $checks checks passed"
}
