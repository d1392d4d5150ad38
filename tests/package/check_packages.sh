#!/usr/bin/env bash
# Checks the packages in dist/ as a user gets them: the six files and what each holds; the
# .deb unpacked (dpkg-deb -x), its copyright and changelog, lintian's verdict, and its tally
# run against its register-sim; the .tar.gz unpacked and run; the Linux programs linked
# statically; both zips unpacked and each TALLY.EXE's clear run under Wine against
# register-sim; README-ru.txt as Notepad needs it and guide-ru.html with its pictures; every
# manual page rendered by groff without a warning; each MSI installed silently under Wine
# (files, shortcuts, the entry in Programs and Features, its TALLY.EXE clearing register-sim,
# the x64 package's check and clear shortcuts clicked with no file),
# replaced by a later version, and uninstalled without a trace.
#
# Usage: check_packages.sh DIST ui_robot.exe
# Exit status 0 passed, 1 failed.
set -uo pipefail
# shellcheck disable=SC2034  # robot_exe and register_sim are read by wine_session.sh

dist=$(cd "${1:?the dist folder}" && pwd)
robot_exe=${2:?ui_robot.exe of the windows-x64 build}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
# The version as the project states it, not as the build reports it.
version=$(sed -n 's/^project(tally VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
third_party=$source_dir/third_party

unpacked=$(mktemp -d "${TMPDIR:-/tmp}/tally-packages-XXXXXX")
sim_pids=()
cleanup() {
  local pid
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$unpacked"
}
trap cleanup EXIT

failures=0
checks=0
check() {
  local what=$1
  shift
  checks=$((checks + 1))
  if ! "$@"; then
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}
same() { [[ $1 == "$2" ]] || { printf '  got:      %q\n  expected: %q\n' "$1" "$2"; return 1; }; }
contains() { [[ $1 == *"$2"* ]] || { printf '  %q lacks %q\n' "$1" "$2"; return 1; }; }

echo "--- the files (version $version)"
# The .deb's version: the project's, and the Debian revision of its packaging.
deb_version=$version-1
deb=$dist/tally_${deb_version}_amd64.deb
tgz=$dist/tally-$version-linux-x86_64.tar.gz
zip64=$dist/tally-$version-windows-x64.zip
zip32=$dist/tally-$version-windows-x86.zip
msi64=$dist/tally-$version-x64.msi
msi32=$dist/tally-$version-x86.msi
check "dist holds exactly the six packages" same "$(find "$dist" -mindepth 1 -maxdepth 1 -printf '%f\n' | sort)" \
  "$(printf '%s\n' "$(basename "$tgz")" "$(basename "$zip64")" "$(basename "$zip32")" \
    "$(basename "$deb")" "$(basename "$msi64")" "$(basename "$msi32")" | sort)"

# The goods lines of the example: the lines between <start> and <end>.
example_items=$(iconv -f WINDOWS-1251 -t UTF-8 "$source_dir/examples/goods.txt" |
  tr -d '\r' | awk '/^<start>/ { on = 1; next } /^<end>/ { on = 0; next } on && NF' | wc -l)

# start_sim REGISTER_SIM NAME: register-sim on a new pseudo-terminal; sets sim_device, and the
# goods base goes to $unpacked/NAME.tsv, the log to $unpacked/NAME.log.
start_sim() {
  local out=$unpacked/$2.out
  "$1" --pty --db "$unpacked/$2.tsv" --log "$unpacked/$2.log" >"$out" 2>"$unpacked/$2.err" &
  sim_pids+=($!)
  sim_device=
  for _ in $(seq 300); do
    sim_device=$(head -1 "$out" 2>/dev/null)
    [[ -n $sim_device ]] && return 0
    sleep 0.1
  done
  return 1
}

# Manual pages as man renders them: through groff's UTF-8 preprocessor onto a terminal that
# has the letters (the English page quotes the Russian messages too).
render_pages() {
  local page warnings
  for page in "$@"; do
    warnings=$(zcat "$page" | groff -k -Tutf8 -man -ww -z 2>&1)
    check "groff renders ${page#"$unpacked"/} without a warning" same "$warnings" ""
  done
}

# holds_licences FILE: the file is the program's licence followed by the whole licence texts of
# the libraries built into the programs, as their files in third_party/ have them.
holds_licences() {
  local text part
  text=$(<"$1")
  [[ $text == "$(<"$source_dir/LICENSE")"* ]] || { echo "  does not start with LICENSE"; return 1; }
  for part in "$(<"$third_party/zlib/LICENSE")" "$(<"$third_party/expat/COPYING")" \
    "$(sed -n '/Condition of use/,/source distribution\./p' "$third_party/zlib/contrib/minizip/MiniZip64_info.txt" | sed '1s/^ *//')" \
    "$(grep -o 'Copyright (C) [0-9-]* [A-Z][a-z]* [A-Z][a-z]*' "$third_party/zlib/contrib/minizip/unzip.h")"; do
    [[ $text == *"$part"* ]] || { printf '  lacks %s\n' "${part%%$'\n'*}"; return 1; }
  done
}

echo "--- $(basename "$deb")"
info=$(dpkg-deb -f "$deb")
check "the package is tally" same "$(dpkg-deb -f "$deb" Package)" tally
check "its version" same "$(dpkg-deb -f "$deb" Version)" "$deb_version"
check "its architecture" same "$(dpkg-deb -f "$deb" Architecture)" amd64
check "no dependencies: the programs carry their libraries" same "$(dpkg-deb -f "$deb" Depends)" ""
check "a description" contains "$info" "Description: loads a shop's goods base"
check "a long description" contains "$info" "register-sim plays the register"
deb_files=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sort)
check "the files of the .deb" same "$deb_files" "$(sort <<'LIST'
./usr/bin/register-sim
./usr/bin/tally
./usr/share/doc/tally/changelog.Debian.gz
./usr/share/doc/tally/check-window.png
./usr/share/doc/tally/copyright
./usr/share/doc/tally/examples/goods.txt
./usr/share/doc/tally/guide.ru.md
./usr/share/doc/tally/message-box.png
./usr/share/doc/tally/progress-window.png
./usr/share/man/man1/register-sim.1.gz
./usr/share/man/man1/tally.1.gz
./usr/share/man/ru/man1/register-sim.1.gz
./usr/share/man/ru/man1/tally.1.gz
./usr/share/lintian/overrides/tally
LIST
)"
# lintian prints a line per finding (E: error, W: warning; overrides say why they apply).
lintian_report=$(lintian --fail-on error,warning "$deb" 2>/dev/null)
check "lintian finds no error and no warning (status $?)" same "$(grep '^[EW]:' <<<"$lintian_report")" ""
root=$unpacked/deb
dpkg-deb -x "$deb" "$root"
check "tally --version" same "$("$root/usr/bin/tally" --version)" "tally $version"
check "register-sim --version" same "$("$root/usr/bin/register-sim" --version)" "register-sim $version"
if start_sim "$root/usr/bin/register-sim" deb; then
  err=$(TALLY_COM1=$sim_device "$root/usr/bin/tally" /e 2>&1)
  check "the unpacked tally clears the register: status" same "$?" 0
  check "the unpacked tally clears the register: message" same "$err" \
    "OKA PF: внимание: База товаров очищена"
  err=$(TALLY_COM1=$sim_device "$root/usr/bin/tally" "$root/usr/share/doc/tally/examples/goods.txt" 2>&1)
  check "the unpacked tally uploads the example: status" same "$?" 0
  check "the unpacked tally uploads the example: no message" same "$err" ""
  # The simulator rewrites its goods base after each item, on its own time: wait for the last.
  held() { echo $(($(wc -l <"$unpacked/deb.tsv") - 1)); }
  for _ in $(seq 300); do
    [[ $(held) == "$example_items" ]] && break
    sleep 0.1
  done
  check "the register holds every goods line of the example" same "$(held)" "$example_items"
else
  check "register-sim of the .deb starts" false
fi
render_pages "$root"/usr/share/man/man1/*.gz "$root"/usr/share/man/ru/man1/*.gz
check "the guide is the one in the sources" cmp -s "$root/usr/share/doc/tally/guide.ru.md" \
  "$source_dir/docs/guide.ru.md"
# Each paragraph's License text (continuation lines unindented, " ." an empty line) is the
# terms in its licence file, between the sed addresses given: the program's and each
# library's.
while IFS='|' read -r files licence from to; do
  check "the copyright file's paragraph for $files holds the terms of $licence" same \
    "$(awk -v files="Files: $files" '$0 == files { on = 1; next }
        on && /^License:/ { text = 1; next }
        on && text && /^ / { sub(/^ /, ""); if ($0 == ".") $0 = ""; print; next }
        on && text { exit }' "$root/usr/share/doc/tally/copyright")" \
    "$(sed -n "$from,${to}p" "$source_dir/$licence" | sed '1s/^ *//')"
done <<'PARAGRAPHS'
*|LICENSE|/^Permission/|$
third_party/zlib/*|third_party/zlib/LICENSE|/This software is provided/|$
third_party/zlib/contrib/minizip/*|third_party/zlib/contrib/minizip/MiniZip64_info.txt|/Condition of use/|/source distribution\./
third_party/expat/*|third_party/expat/COPYING|/^Permission/|$
PARAGRAPHS
check "the Debian changelog's entry is this version" same \
  "$(zcat "$root/usr/share/doc/tally/changelog.Debian.gz" | head -1)" "tally ($deb_version) unstable; urgency=medium"

echo "--- $(basename "$tgz")"
top=tally-$version-linux-x86_64
check "the files of the .tar.gz" same "$(tar tzf "$tgz" | grep -v '/$' | sort)" "$(sort <<LIST
$top/bin/register-sim
$top/bin/tally
$top/share/doc/tally/LICENSE
$top/share/doc/tally/check-window.png
$top/share/doc/tally/examples/goods.txt
$top/share/doc/tally/guide.ru.md
$top/share/doc/tally/message-box.png
$top/share/doc/tally/progress-window.png
$top/share/man/man1/register-sim.1.gz
$top/share/man/man1/tally.1.gz
$top/share/man/ru/man1/register-sim.1.gz
$top/share/man/ru/man1/tally.1.gz
LIST
)"
mkdir -p "$unpacked/tgz"
tar xzf "$tgz" -C "$unpacked/tgz"
root=$unpacked/tgz/$top
check "tally --version of the .tar.gz" same "$("$root/bin/tally" --version)" "tally $version"
if start_sim "$root/bin/register-sim" tgz; then
  err=$(TALLY_COM1=$sim_device "$root/bin/tally" /e 2>&1)
  check "tally of the .tar.gz clears the register: status" same "$?" 0
  check "tally of the .tar.gz clears the register: message" same "$err" \
    "OKA PF: внимание: База товаров очищена"
fi
render_pages "$root"/share/man/man1/*.gz "$root"/share/man/ru/man1/*.gz
licences=$root/share/doc/tally/LICENSE
check "the licences of the .tar.gz: the program's, then zlib's, MiniZip's and Expat's" \
  holds_licences "$licences"

# Both packages' programs start on any x86-64 Linux from kernel 3.2 on: no dynamic section
# (no loader, no shared library), and the C library's note names kernel 3.2.0 as the oldest.
for program in "$unpacked"/deb/usr/bin/* "$root"/bin/*; do
  check "${program#"$unpacked"/} is linked statically" contains "$(LC_ALL=C readelf -d "$program")" \
    "There is no dynamic section in this file."
  check "${program#"$unpacked"/} runs on kernel 3.2" contains "$(LC_ALL=C readelf -n "$program")" "OS: Linux, ABI: 3.2.0"
done

# The Windows packages: contents, README-ru.txt, and the exe's clear run under Wine.
readme_ok() {
  local file=$1
  [[ $(head -c 3 "$file" | od -An -tx1 | tr -d ' ') == efbbbf ]] || { echo "  no UTF-8 byte-order mark"; return 1; }
  # Every line feed after a carriage return, and no carriage return alone.
  local lone
  lone=$(tail -c +4 "$file" | od -An -v -tx1 | tr -s ' \n' ' ' |
    awk '{ for (i = 1; i <= NF; i++) { if ($i == "0a" && $(i-1) != "0d") n++; if ($i == "0d" && $(i+1) != "0a") n++ } } END { print n + 0 }')
  [[ $lone == 0 ]] || { echo "  $lone line ends are not CR LF"; return 1; }
  iconv -f UTF-8 -t UTF-8 "$file" >/dev/null || { echo "  not valid UTF-8"; return 1; }
}

# README-ru.txt as Notepad shows it: no line wider than 78 characters and no Markdown marks
# (strong emphasis, code spans, headings, tables, pictures, links); every section heading of
# the guide is a line of its own.
plain_guide_ok() {
  python3 - "$1" "$source_dir/docs/guide.ru.md" <<'PYTHON'
import re, sys
text = open(sys.argv[1], encoding="utf-8-sig", newline="").read().split("\r\n")
marks = {"**": r"\*\*", "`code`": r"`[^`\s][^`]*`", "# heading": r"^#", "| table": r"^\s*\|",
         "![picture]": r"!\[", "](link)": r"\]\(", "``` block": r"^\s*```"}
bad = 0
for number, line in enumerate(text, 1):
    if len(line) > 78:
        print(f"  line {number} has {len(line)} characters")
        bad += 1
    for mark, pattern in marks.items():
        if re.search(pattern, line):
            print(f"  line {number} has the Markdown mark {mark}: {line}")
            bad += 1
for heading in re.findall(r"^## (.*)$", open(sys.argv[2], encoding="utf-8").read(), re.M):
    if heading not in text:
        print(f"  the section {heading!r} is missing")
        bad += 1
sys.exit(bad > 0)
PYTHON
}

# guide-ru.html: one file with the guide's pictures inside, nothing fetched from elsewhere.
html_guide_ok() {
  local pictures embedded
  pictures=$(grep -c '^!\[' "$source_dir/docs/guide.ru.md")
  embedded=$(grep -o '<img src="data:image/png;base64,' "$1" | wc -l)
  [[ $embedded == "$pictures" && $pictures -gt 0 ]] ||
    { echo "  $embedded of the guide's $pictures pictures embedded"; return 1; }
  ! grep -q '\(src\|href\)="\(https\?:\|file:\|[^"#:]*\.\(png\|css\|js\)"\)' "$1" ||
    { echo "  refers to files beside it"; return 1; }
  grep -q 'Не открыт порт COM1' "$1" || { echo "  the messages are missing"; return 1; }
}

# The static checks of a Windows program, their report shown only when one fails.
exe_ok() {
  local report
  report=$(python3 "$source_dir/tests/check_windows_exe.py" --version "$version" "$1") ||
    { echo "$report" | grep -v ': ok: '; return 1; }
}

wine_checks=()
for zip in "$zip32" "$zip64"; do
  name=$(basename "$zip" .zip)
  echo "--- $name.zip"
  # No folder around the files: Explorer's "Extract all" makes one.
  check "the files of $name.zip" same "$(unzip -Z1 "$zip" | grep -v '/$' | sort)" \
    "$(printf '%s\n' LICENSE.txt README-ru.txt TALLY.EXE examples/goods.txt guide-ru.html | sort)"
  check "ASCII names only in $name.zip" same "$(unzip -Z1 "$zip" | LC_ALL=C grep -c '[^ -~]')" 0
  mkdir -p "$unpacked/$name"
  unzip -q "$zip" -d "$unpacked/$name"
  dir=$unpacked/$name
  check "README-ru.txt of $name: UTF-8 with a byte-order mark and CR LF" readme_ok "$dir/README-ru.txt"
  check "README-ru.txt of $name: plain text of at most 78 columns with every section" \
    plain_guide_ok "$dir/README-ru.txt"
  check "guide-ru.html of $name: one file with its pictures" html_guide_ok "$dir/guide-ru.html"
  check "the example of $name" cmp -s "$dir/examples/goods.txt" "$source_dir/examples/goods.txt"
  check "LICENSE.txt of $name is the licences of the .tar.gz with CR LF" same \
    "$(od -An -c "$dir/LICENSE.txt")" "$(sed 's/$/\r/' "$licences" | od -An -c)"
  check "TALLY.EXE of $name: exports, resources and version $version" exe_ok "$dir/TALLY.EXE"
  wine_checks+=("$dir/TALLY.EXE")
done

echo "--- the MSI packages"
msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F '\t' -v name="$2" '$1 == name { print $2 }'; }
check "the x86 MSI installs per machine (ALLUSERS=1)" same "$(msi_property "$msi32" ALLUSERS)" 1
check "the x64 MSI installs per machine (ALLUSERS=1)" same "$(msi_property "$msi64" ALLUSERS)" 1
check "both MSIs have one upgrade code" same "$(msi_property "$msi32" UpgradeCode)" "$(msi_property "$msi64" UpgradeCode)"
# The next release, for the upgrade: the x64 package under a higher version and product code.
msi_later=$unpacked/tally-later-x64.msi
later_version=$(awk -F. '{ print $1 "." $2 "." $3 + 1 }' <<<"$version")
cp "$msi64" "$msi_later"
msibuild "$msi_later" -q "UPDATE \`Property\` SET \`Value\` = '$later_version' WHERE \`Property\` = 'ProductVersion'" \
  -q "UPDATE \`Property\` SET \`Value\` = '{$(python3 -c 'import uuid; print(str(uuid.uuid4()).upper())')}' WHERE \`Property\` = 'ProductCode'"

# What an installed MSI must leave besides the zip's files: the shortcuts, with their target in
# the install folder (@guide: guide-ru.html where the package has one, else README-ru.txt).
msi_shortcuts=$(cat <<'TABLE'
menu|Очистить базу кассы (COM1).lnk|TALLY.EXE|/e /i
menu|Очистить базу кассы (COM2).lnk|TALLY.EXE|/e /2 /i
menu|Проверить файл товаров.lnk|TALLY.EXE|/t /i
menu|Руководство пользователя TALLY.lnk|@guide|
desktop|Загрузить товары на кассу.lnk|TALLY.EXE|/i
desktop|Проверить файл товаров.lnk|TALLY.EXE|/t /i
TABLE
)
mapfile -t msi_files < <(unzip -Z1 "$zip64" | grep -v '/$' | sed "s|^$(basename "$zip64" .zip)/||")
guide_file=README-ru.txt
[[ " ${msi_files[*]} " == *" guide-ru.html "* ]] && guide_file=guide-ru.html

echo "--- each TALLY.EXE under Wine, and the MSI packages installed and removed"
# The clear run of each unpacked TALLY.EXE against register-sim, in one Wine prefix (the
# shared Wine test helpers), with the robot pressing OK on the message box. Then, in the same
# prefix, the x86 MSI, a later x64 version over it, uninstalled; the x64 MSI, its shortcuts
# clicked, uninstalled.
register_sim=$unpacked/deb/usr/bin/register-sim
# The Wine prefix is made with the x86-64 program, which runs wherever Wine does.
tally_exe=${wine_checks[-1]}
(
  # A throwaway desktop (the prefix's is $HOME's); Wine would remove it once empty.
  export HOME=$unpacked/home
  mkdir -p "$HOME/Desktop" && : >"$HOME/Desktop/notes.txt"
  # shellcheck source=tests/wine/wine_session.sh disable=SC2154  # status: set by run_tally
  source "$source_dir/tests/wine/wine_session.sh"
  wine_session_start
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d" # no Unix menu entries

  # register-sim behind COM1.
  # shellcheck disable=SC2154  # wine and status: set by wine_session.sh
  register_on_com1() {
    start_sim || return
    # Windows Installer has Wine look for serial ports again, which points COM1 back at
    # /dev/ttyS0 unless Wine's own setting names the device. Changing that setting makes Wine
    # look again too, and repoint COM1 at what the setting held: so the setting first, and
    # the link after it.
    timeout 60 "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$sim_device" /f >/dev/null 2>&1
    point_port com1 "$sim_device"
  }
  clear_run() {
    if ! wine_loader "$tally_exe"; then
      echo "  skipped: $wine_missing"
      return
    fi
    register_on_com1 || return
    run_tally -- /e
    expect "the boxes" "$(boxes)" "warning База товаров очищена"
    expect "the exit status" "$status" 0
    expect "what the register received" "$(received)" "frame 1 19200 17 0B 63 00 00 00 00 00 19 00 85"
  }
  for tally_exe in "${wine_checks[@]}"; do
    begin_case "clear run of ${tally_exe#"$unpacked"/}"
    clear_run
  done

  drive=$WINEPREFIX/drive_c
  # What the MSIs have left in the prefix, sorted: the program folder and its files, the
  # Start-menu folder, the shortcuts, the entry in Programs and Features. Windows puts a
  # per-machine package's shortcuts in the common Start menu and desktop, Wine 8.0 in the
  # user's own: both are looked at.
  installed_state() {
    local folder link shortcut key menu="Microsoft/Windows/Start Menu/Programs/TALLY"
    {
      for folder in "Program Files" "Program Files (x86)"; do
        [[ -d $drive/$folder/TALLY ]] || continue
        echo "folder|$folder\\TALLY"
        (cd "$drive/$folder/TALLY" && find . -type f | sed 's#^\./#file|#')
      done
      for folder in "$drive/ProgramData/$menu" "$drive"/users/*/AppData/Roaming/"$menu"; do
        [[ -d $folder ]] && echo "folder|Start menu\\TALLY"
      done
      for link in "$drive/ProgramData/$menu"/*.lnk "$drive"/users/*/AppData/Roaming/"$menu"/*.lnk \
        "$drive"/users/*/Desktop/*.lnk; do
        [[ -f $link ]] || continue
        mapfile -t shortcut < <(python3 "$here/lnk_info.py" "$link")
        [[ $link == */Desktop/* ]] && printf desktop || printf menu
        echo "|$(basename "$link")|${shortcut[0]}|${shortcut[1]}"
      done
      # Wine keeps a 32-bit package's entry in the 32-bit view of the registry.
      for key in 'HKLM\Software' 'HKLM\Software\Wow6432Node'; do
        timeout 60 "$wine" reg query "$key\Microsoft\Windows\CurrentVersion\Uninstall" /s 2>/dev/null
      done | tr -d '\r' | awk -F '    ' '/^HKEY/ { entry() } END { entry() }
          function entry() { if (name ~ /TALLY/) print "entry|" name "|" version "|" publisher
                             name = version = publisher = "" }
          $2 == "DisplayName" { name = $4 } $2 == "DisplayVersion" { version = $4 } $2 == "Publisher" { publisher = $4 }'
    } | LC_ALL=C sort
  }
  # expected_state PROGRAM_FILES VERSION: what that version installed there must leave.
  expected_state() {
    local where name target arguments
    {
      printf '%s\n' "folder|$1\\TALLY" "folder|Start menu\\TALLY" "entry|TALLY|$2|The TALLY authors"
      printf 'file|%s\n' "${msi_files[@]}"
      while IFS='|' read -r where name target arguments; do
        [[ $target == @guide ]] && target=$guide_file
        printf '%s\n' "$where|$name|C:\\$1\\TALLY\\${target//\//\\}|$arguments"
      done <<<"$msi_shortcuts"
    } | LC_ALL=C sort
  }
  # msi_step CASE EXPECTED_STATE ARGUMENTS...: msiexec without a user interface, then the prefix.
  # shellcheck disable=SC2154  # case_name: set by begin_case
  msi_step() {
    begin_case "$1"
    timeout 120 "$wine" msiexec "${@:3}" /qn >/dev/null 2>&1
    expect "msiexec's exit status" "$?" 0
    local state
    state=$(installed_state)
    [[ $state == "$2" ]] || fail "$case_name: (< expected, > found)"$'\n'"$(diff <(echo "$2") <(echo "$state"))"
  }

  msi_step "silent install of $(basename "$msi32")" "$(expected_state "Program Files (x86)" "$version")" \
    /i "$(winpath "$msi32")"
  begin_case "clear run of the installed x86 TALLY.EXE"
  tally_exe="$drive/Program Files (x86)/TALLY/TALLY.EXE"
  clear_run
  msi_step "version $later_version (x64) replaces it" "$(expected_state "Program Files" "$later_version")" \
    /i "$(winpath "$msi_later")"
  msi_step "silent uninstall of version $later_version" "" /x "$(winpath "$msi_later")"
  msi_step "silent install of $(basename "$msi64")" "$(expected_state "Program Files" "$version")" \
    /i "$(winpath "$msi64")"
  begin_case "clear run of the installed x64 TALLY.EXE"
  tally_exe="$drive/Program Files/TALLY/TALLY.EXE"
  clear_run

  # The installed shortcuts clicked with no file: click NAME has the next run start what the
  # Start-menu shortcut NAME holds (lnk_info.py), as Explorer does. Documents is a folder.
  documents=$drive/users/$(id -un)/Documents
  rm -f "$documents" && mkdir -p "$documents"
  click() {
    local shortcut
    mapfile -t shortcut < <(python3 "$here/lnk_info.py" "$(find "$drive" -path "*/Programs/TALLY/$1")")
    printf '@cd /d "%s"\r\n@"%s" %s\r\n' "${shortcut[2]}" "${shortcut[0]}" "${shortcut[1]}" \
      >"$unpacked/click.bat"
    tally_launcher=(cmd /c "$(winpath "$unpacked/click.bat")")
  }
  begin_case "the installed shortcut Проверить файл товаров clicked: the Open dialog, Cancel"
  click "Проверить файл товаров.lnk"
  run_tally --
  expect "the Open dialog" "$(observed open | sed 's/ types=.*//')" "open caption=Открыть folder=Documents"
  expect "the boxes" "$(boxes)" ""
  expect "the exit status" "$status" 2
  begin_case "the installed shortcut Очистить базу кассы (COM1) clicked: the question, Нет"
  if register_on_com1; then
    tally_launcher=()
    run_tally -- "$(winpath "$drive/Program Files/TALLY/examples/goods.txt")"
    base=$(cat "$sim_files.tsv")
    expect "the goods in the register" "$(($(wc -l <<<"$base") - 1))" "$example_items"
    click "Очистить базу кассы (COM1).lnk"
    run_tally --
    expect "the boxes" "$(boxes)" \
      "warning Очистить базу товаров кассы на COM1? Все товары в кассе будут удалены."
    expect "the exit status" "$status" 2
    expect "the register's goods base" "$(cat "$sim_files.tsv")" "$base"
  fi
  tally_launcher=()
  msi_step "silent uninstall of $(basename "$msi64")" "" /x "$(winpath "$msi64")"
  # Nothing anywhere else either (the Wine server writes the registry out as it ends).
  timeout 20 wineserver -k
  timeout 20 wineserver -w
  expect "files of ours in the prefix" "$(find "$drive" -iname '*tally*' -o -path '*/windows/Installer/*')" ""
  expect "registry entries of ours" "$(grep -il 'tally' "$WINEPREFIX"/*.reg)" ""
  wine_session_report
)
wine_status=$?
# shellcheck disable=SC2031  # the subshell above kept counts of its own
checks=$((checks + 1))
if [[ $wine_status != 0 ]]; then
  echo "FAILED: the clear runs under Wine (status $wine_status)"
  # shellcheck disable=SC2031
  failures=$((failures + 1))
fi

if ((failures > 0)); then
  echo "$failures of $checks package checks failed"
  exit 1
fi
echo "all $checks package checks passed"
