#!/usr/bin/env bash
# End-to-end tests of the Windows installer of one Windows build (installer/build.sh writes it
# to WINDOWS_BUILD_DIR/dist) under Wine of its architecture, in a fresh Wine prefix of their own:
#
#   tests/wine/installer.sh WINDOWS_BUILD_DIR
#
#  1. a silent install (/S) into the default per-user folder: every file of the installation in
#     place, the set-up tool's work done (HKCU\Software\quillax names cfg\, quillax.qlx
#     registered, the indexes and the shortcuts made), the entry in the list of installed
#     programs; then installed_control.js, run by cscript, creates the control and opens a
#     chapter from the installed modules;
#  2. a silent upgrade over that installation after the user changed a setting in bible.ini,
#     added a module to usr\ and lost a shipped file: the setting and the module stay, the file
#     is back;
#  3. the list entry's uninstall command (every question answered Yes): what was installed goes,
#     a file the user put into the installation folder stays, and so does the folder; the list
#     entry, the registry key and the registration are gone;
#  4. a silent install with /D= into a folder whose name has a blank;
#  5. the installer started with its window: a screenshot of its first page goes to
#     build/wine-artifacts/<win32 or win64>/installer_first_page.png.
#
# Every program runs on a virtual X display of the suite's own (Xvfb).
#
# Ends with a line "N passed, N failed"; the exit code is 1 when a check failed (QUILLAX_KEEP_WORK
# keeps the work folder with its Wine prefix for a look afterwards). HOME points
# into the work folder and Wine's menu builder is off, so the host's desktop and menus stay
# untouched.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(realpath -m -- "${1:-$repo_root/build/win64}")
# shellcheck source=tests/wine/suite_common.sh
source "$repo_root/tests/wine/suite_common.sh"
artifacts=$repo_root/build/wine-artifacts/$wine_arch

installer=$(find "$build/dist" -maxdepth 1 -name 'quillax-setup-*.exe' 2>/dev/null | head -n 1)
if [[ -z $installer ]]; then
  echo "installer: no $build/dist/quillax-setup-*.exe (installer/build.sh $build makes it)" >&2
  exit 2
fi
for tool in wineserver Xvfb xwd xwdtopnm pnmtopng ppmhist; do
  if ! command -v "$tool" >/dev/null; then
    echo "installer: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 2
  fi
done
version=$(basename "$installer" .exe)
version=${version#quillax-setup-}

work=$(mktemp -d)
prefix=$work/prefix
xvfb_pid=
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  [[ -d $work/prefix64 ]] && WINEPREFIX=$work/prefix64 wineserver -k >/dev/null 2>&1 || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  if [[ -n ${QUILLAX_KEEP_WORK:-} ]]; then echo "installer: work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

export HOME=$work/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DESKTOP_DIR XDG_CACHE_HOME
export WINEDLLOVERRIDES="mscoree,mshtml="

run_wine() { wine_in "$prefix" "$@"; }
# Waits until every program of the prefix has ended (the uninstaller runs on from a copy of
# itself); a program that hangs is ended after two minutes.
wait_wine() {
  if ! timeout 120 env WINEPREFIX="$prefix" wineserver -w; then
    echo "installer: programs still running after 120 s, ending them" >&2
    WINEPREFIX=$prefix wineserver -k || true
  fi
}
reg_value() { wine_reg_value "$prefix" "$@"; }  # reg_value KEY [VALUE]
reg_absent() { ! run_wine reg query "$1" >/dev/null 2>&1; }
equals() { [[ $1 == "$2" ]]; }
# Runs the installer with its arguments in one command line, as a person types it (cmd passes
# the text on unchanged, so /D= may hold blanks) and checks that it ends with status 0.
run_installer() {  # run_installer DESCRIPTION ARGS...
  local what=$1 status=0
  shift
  run_wine cmd /c "$(windows_path "$installer") $*" >/dev/null 2>&1 || status=$?
  wait_wine
  check "$what ends with status 0 (status $status)" test "$status" -eq 0
}
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\quillax'

# A display of our own for every program of the prefix, so that the installer and the
# uninstaller can show their windows.
start_display "$work" 1024x768x24

run_wine cmd /c exit >/dev/null 2>&1 || true
wait_wine
prepare_display_prefix "$prefix"
wait_wine
drive_c=$prefix/drive_c
user_dir=$(find "$drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
user=$(basename "$user_dir")
root=$user_dir/AppData/Local/Programs/Tessaly
root_windows="C:\\users\\$user\\AppData\\Local\\Programs\\Tessaly"
cfg=$root/cfg
programs="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
menu=$programs/Tessaly
desktop_link=$user_dir/Desktop/Tessaly.lnk

# ---- a silent install -------------------------------------------------------------------------

run_installer "the silent install" /S
check "the installation goes into the user's programs folder" test -d "$cfg"
shipped=()
while IFS= read -r file; do shipped+=("${file#"$repo_root/sample/cfg/"}"); done \
  < <(find "$repo_root/sample/cfg" -type f ! -name '*.inx' | sort)
missing=()
for file in "${shipped[@]}" envoke.exe quillax.dll; do
  [[ -f $cfg/$file ]] || missing+=("$file")
done
check "every file of the configuration directory is in place (missing: ${missing[*]:-none})" test ${#missing[@]} -eq 0
check "bible.ini is the shipped one" cmp -s "$cfg/bible.ini" "$repo_root/sample/cfg/bible.ini"
check "the engine library is the build's" cmp -s "$cfg/quillax.dll" "$build/bin/quillax.dll"
check "the updater is in its place" cmp -s "$root/update/cvupdate.exe" "$build/bin/cvupdate.exe"
check "the set-up tool built the indexes" test -s "$cfg/sys/tessaly.inx" -a -s "$cfg/sys/corpa.inx"
check "HKEY_CURRENT_USER\\Software\\quillax names the configuration directory" \
  equals "$(reg_value 'HKCU\Software\quillax' || true)" "$root_windows\\cfg\\"
clsid=$(reg_value 'HKCR\quillax.qlx\CLSID' || true)
check "quillax.qlx is registered" test -n "$clsid"
check "its library is the installed one" \
  equals "$(reg_value "HKCR\\CLSID\\$clsid\\InprocServer32" || true)" "$root_windows\\cfg\\quillax.dll"
check "the main shortcut is in the start menu" test -f "$menu/Tessaly.lnk"
check "the updater shortcut is in the start menu" test -f "$menu/$(printf '\xe5\x9c\xa8\xe7\xba\xbf\xe5\x8d\x87\xe7\xba\xa7').lnk"
check "the uninstall shortcut is in the start menu" test -f "$menu/$(printf '\xe5\x8d\xb8\xe8\xbd\xbd').lnk"
check "the desktop has the main shortcut" test -f "$desktop_link"
check "the list entry names the product" equals "$(reg_value "$uninstall_key" DisplayName || true)" Tessaly
check "the list entry has the version of the installer" \
  equals "$(reg_value "$uninstall_key" DisplayVersion || true)" "$version"
check "the list entry names a publisher" test -n "$(reg_value "$uninstall_key" Publisher || true)"
check "the list entry shows the set-up tool's icon" \
  equals "$(reg_value "$uninstall_key" DisplayIcon || true)" "$root_windows\\cfg\\envoke.exe,0"
size=$(reg_value "$uninstall_key" EstimatedSize || true)
check "the list entry gives the size in KB ($size)" test "$((size))" -gt 100
uninstall_command=$(reg_value "$uninstall_key" UninstallString || true)
check "the list entry's uninstall command is the installation's" \
  equals "$uninstall_command" "\"$root_windows\\uninstall.exe\""

# A host page's first steps on the prepared machine.
run_wine cscript //nologo "$(windows_path "$repo_root/tests/wine/installed_control.js")" \
  >"$work/control.txt" 2>&1 || true
wait_wine
tr -d '\r' <"$work/control.txt" | sed 's/^/  cscript: /'
check "cscript creates the installed control and opens a chapter" \
  bash -c '[[ $(grep -c "^PASS" "$1") -eq 5 ]] && ! grep -q "^FAIL" "$1"' _ "$work/control.txt"

# ---- a silent upgrade -------------------------------------------------------------------------

sed -i 's/^SCROLLSPEED=50\r$/SCROLLSPEED=75\r/' "$cfg/bible.ini"
check "the user's setting is changed before the upgrade" grep -q $'^SCROLLSPEED=75\r$' "$cfg/bible.ini"
# The updater's address is gone too: the merge takes it from the shipped file.
sed -i '/^UPDATEURL=/d' "$cfg/bible.ini"
printf '01001:=\r\nmy notes\r\n' >"$cfg/usr/mine.txt"
rm "$cfg/bible.css"
run_installer "the silent upgrade" /S
check "the upgrade keeps the user's setting" grep -q $'^SCROLLSPEED=75\r$' "$cfg/bible.ini"
url=$(grep -a '^UPDATEURL=' "$repo_root/sample/cfg/bible.ini")
check "the upgrade merges the shipped bible.ini: the missing address is back" \
  equals "$(grep -acxF "$url" "$cfg/bible.ini")" 1
check "the upgrade keeps the rest of bible.ini" \
  cmp -s <(grep -av '^SCROLLSPEED=\|^UPDATEURL=' "$cfg/bible.ini") \
  <(grep -av '^SCROLLSPEED=\|^UPDATEURL=' "$repo_root/sample/cfg/bible.ini")
check "the upgrade leaves no second bible.ini behind" test ! -e "$cfg/bible.ini.new"
check "the upgrade keeps the user's module" equals "$(cat "$cfg/usr/mine.txt" 2>/dev/null)" $'01001:=\r\nmy notes\r'
check "the upgrade puts the lost file back" cmp -s "$cfg/bible.css" "$repo_root/sample/cfg/bible.css"
check "the upgrade still names the configuration directory" \
  equals "$(reg_value 'HKCU\Software\quillax' || true)" "$root_windows\\cfg\\"

# ---- the list entry's uninstall ---------------------------------------------------------------

printf 'my own notes\r\n' >"$root/notes.txt"
status=0
# The command is the quoted path of the uninstaller.
QUILLAX_MESSAGE_ANSWER=yes run_wine "${uninstall_command//\"/}" >/dev/null 2>&1 || status=$?
wait_wine
check "the uninstall command ends with status 0 (status $status)" test "$status" -eq 0
check "the uninstall deletes the configuration directory" test ! -e "$cfg"
check "the uninstall deletes the updater" test ! -e "$root/update"
check "the uninstall deletes the uninstaller" test ! -e "$root/uninstall.exe"
check "the uninstall leaves no copy of the set-up tool" test ! -e "$root/Envoke.exe"
check "the uninstall keeps the user's file and its folder" \
  equals "$(cat "$root/notes.txt" 2>/dev/null)" $'my own notes\r'
check "the list entry is gone" reg_absent "$uninstall_key"
check "HKEY_CURRENT_USER\\Software\\quillax is gone" reg_absent 'HKCU\Software\quillax'
check "quillax.qlx is unregistered" reg_absent 'HKCR\quillax.qlx'
check "the start-menu folder is gone" test ! -e "$menu"
check "the desktop shortcut is gone" test ! -e "$desktop_link"

# ---- /D= -------------------------------------------------------------------------------------------

run_installer "the silent install with /D=" '/S /D=C:\My Programs\Tessaly'
other=$drive_c/My\ Programs/Tessaly
check "/D= installs into the folder given" test -f "$other/cfg/quillax.dll" -a -f "$other/update/cvupdate.exe"
check "/D=: HKEY_CURRENT_USER\\Software\\quillax names its configuration directory" \
  equals "$(reg_value 'HKCU\Software\quillax' || true)" 'C:\My Programs\Tessaly\cfg\'
check "/D=: the list entry points there" \
  equals "$(reg_value "$uninstall_key" InstallLocation || true)" 'C:\My Programs\Tessaly'

# ---- a 32-bit installation on a 64-bit system -------------------------------------------------

# The 32-bit installer on a 64-bit system adds the 64-bit engine for 64-bit hosts; the set-up tool
# registers it in the 64-bit view beside its own library in the 32-bit view, and the uninstall
# takes both registrations away. Checked in a 64-bit prefix of its own.
if [[ $wine_arch == win32 ]]; then
  prefix64=$work/prefix64
  run64() { env -u QUILLAX_WINE_TEMPLATE "$suite_repo/cmake/wine-run.sh" --arch win64 "$prefix64" "$@"; }
  reg64() {  # reg64 KEY [/reg:32]: the key's default value in the 64-bit view (or the one given)
    run64 reg query "$@" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*[[:space:]]*//p' | head -n 1
  }
  status=0
  run64 cmd /c "$(windows_path "$installer") /S" >/dev/null 2>&1 || status=$?
  timeout 120 env WINEPREFIX="$prefix64" wineserver -w || true
  check "64-bit system: the silent install ends with status 0 (status $status)" test "$status" -eq 0
  user64_dir=$(find "$prefix64/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
  root64="C:\\users\\$(basename "$user64_dir")\\AppData\\Local\\Programs\\Tessaly"
  cfg64=$user64_dir/AppData/Local/Programs/Tessaly/cfg
  check "64-bit system: the 64-bit engine is installed as cfg\\x64\\quillax.dll" test -f "$cfg64/x64/quillax.dll"
  clsid64=$(reg64 'HKCR\quillax.qlx\CLSID')
  check "64-bit system: quillax.qlx is registered" test -n "$clsid64"
  check "64-bit system: 64-bit hosts get the 64-bit engine" \
    equals "$(reg64 "HKCR\\CLSID\\$clsid64\\InprocServer32")" "$root64\\cfg\\x64\\quillax.dll"
  check "64-bit system: 32-bit hosts get the 32-bit engine" \
    equals "$(reg64 "HKCR\\CLSID\\$clsid64\\InprocServer32" /reg:32)" "$root64\\cfg\\quillax.dll"
  status=0
  QUILLAX_MESSAGE_ANSWER=yes run64 "$root64\\uninstall.exe" >/dev/null 2>&1 || status=$?
  timeout 120 env WINEPREFIX="$prefix64" wineserver -w || true
  check "64-bit system: the uninstall ends with status 0 (status $status)" test "$status" -eq 0
  check "64-bit system: the uninstall deletes the configuration directory" test ! -e "$cfg64"
  check "64-bit system: no view keeps the registration" \
    test -z "$(reg64 "HKCR\\CLSID\\$clsid64\\InprocServer32")$(reg64 "HKCR\\CLSID\\$clsid64\\InprocServer32" /reg:32)"
  WINEPREFIX=$prefix64 wineserver -k >/dev/null 2>&1 || true
fi

# ---- the first page ----------------------------------------------------------------------------

DISPLAY=":$display" xwd -root -silent | xwdtopnm 2>/dev/null >"$work/screen.ppm" || true
colours=$(ppmhist -noheader "$work/screen.ppm" 2>/dev/null | wc -l)
check "no window is on the screen before the installer starts ($colours colours)" test "$colours" -le 50
run_wine "$installer" >/dev/null 2>&1 &
colours=0
# The page is up once the screen holds more than a handful of colours (the wizard's picture).
for _ in $(seq 120); do
  sleep 0.5
  DISPLAY=":$display" xwd -root -silent | xwdtopnm 2>/dev/null >"$work/screen.ppm" || continue
  colours=$(ppmhist -noheader "$work/screen.ppm" 2>/dev/null | wc -l)
  [[ $colours -gt 50 ]] && break
done
sleep 1
mkdir -p "$artifacts"
DISPLAY=":$display" xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$artifacts/installer_first_page.png" 2>/dev/null || true
check "the installer shows its first page ($colours colours on the screen)" test "$colours" -gt 50
check "screenshot saved" test -s "$artifacts/installer_first_page.png"
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true

finish
