#!/usr/bin/env bash
# End-to-end tests of the set-up tool's actions with the Windows build under Wine, in a fresh
# Wine prefix of their own:
#
#   tests/wine/setup_actions.sh [WIN32_BUILD_DIR]      (default: build/win32)
#
#  1. installation run ("envoke.exe -q" in C:\prod\cfg): the registry key of the installation,
#     the registration of the engine component (skipped while the build has no quillax.dll),
#     the start-menu shortcuts (.lnk files with the hot key Ctrl+Alt+B and their icons), the
#     desktop shortcut, and the fonts (one copied, three moved into C:\windows\Fonts);
#  2. "-q -u": the registration and the registry key are gone;
#  3. "-uninstall" from the configuration directory, as the uninstall shortcut starts it: the
#     tool hands the work to a copy in C:\prod; answered No, nothing changes; answered Yes, what
#     the product owns goes and everything else in C:\prod stays;
#  4. "-import" of a USFM book, a USFM folder and an OSIS file in an installation of its own,
#     each also imported by the Linux build's envoke: the same module, index and bible.ini bytes.
#
# The questions are answered through QUILLAX_MESSAGE_ANSWER (see platform/message_box.h). Wine
# runs with a Chinese locale (code page 936), compiled into the work folder with localedef and
# found through LOCPATH, so nothing is installed on the machine. HOME points into the work folder
# and Wine's menu builder is off, so the host's desktop and menus stay untouched.
#
# Ends with a line "N passed, N failed, N skipped"; the exit code is 1 when a check failed.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(realpath -m -- "${1:-$repo_root/build/win32}")
envoke=$build/bin/envoke.exe
engine=$build/bin/quillax.dll

passed=0
failed=0
skipped=0
pass() { passed=$((passed + 1)); echo "ok: $*"; }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
skip() { skipped=$((skipped + 1)); echo "skipped: $*"; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  echo "$passed passed, $failed failed, $skipped skipped"
  [[ $failed -eq 0 ]]
}

if [[ ! -f $envoke ]]; then
  echo "setup_actions: $envoke is missing (build the win32 preset first)" >&2
  exit 2
fi

work=$(mktemp -d)
prefix=$work/prefix
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DESKTOP_DIR XDG_CACHE_HOME
export LC_ALL=C
export WINEDLLOVERRIDES="winemenubuilder.exe=d"

# A Chinese locale for Wine: code page 936 for the program's GBK texts and file names.
mkdir -p "$work/locale"
if ! localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" >/dev/null 2>&1 &&
   [[ ! -d $work/locale/zh_CN.UTF-8 ]]; then
  echo "setup_actions: cannot compile the zh_CN.UTF-8 locale (localedef and the glibc locale sources are needed)" >&2
  exit 2
fi
# Only Wine runs in it; this script's own text tools keep the C locale.
run_wine() { LOCPATH=$work/locale LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 "$repo_root/cmake/wine-run.sh" "$prefix" "$@"; }
# Waits until every program of the prefix has ended (the uninstall copy outlives the first
# instance); a program that hangs is ended after a minute.
wait_wine() {
  if ! timeout 60 env WINEPREFIX="$prefix" wineserver -w; then
    echo "setup_actions: programs still running after 60 s, ending them" >&2
    WINEPREFIX=$prefix wineserver -k || true
  fi
}
# Ends every program of the prefix (the registry is saved).
end_wine() { WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; }
# The data of a registry value, or nothing (exit code 1) when it is missing: reg.exe prints the
# value as "    NAME    REG_SZ    DATA".
reg_value() {  # reg_value KEY [VALUE]   (default value without VALUE)
  local out
  if [[ $# -ge 2 ]]; then
    out=$(run_wine reg query "$1" /v "$2" 2>/dev/null) || return 1
  else
    out=$(run_wine reg query "$1" /ve 2>/dev/null) || return 1
  fi
  printf '%s\n' "$out" | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*[[:space:]]*//p' | head -n 1
}
reg_absent() { ! run_wine reg query "$1" >/dev/null 2>&1; }
equals() { [[ $1 == "$2" ]]; }
# Two bytes at an offset of a file, as hex ("42 06").
bytes_at() { od -An -tx1 -j "$2" -N "$3" "$1" | tr -s ' ' | sed 's/^ //; s/ $//'; }

# ---- the installation -------------------------------------------------------------------------

# The first program creates the prefix (cmake/wine-run.sh).
run_wine cmd /c exit >/dev/null 2>&1 || true
wait_wine
drive_c=$prefix/drive_c
prod=$drive_c/prod
cfg=$prod/cfg
mkdir -p "$cfg/sys" "$cfg/usr" "$prod/midi" "$prod/update" "$prod/mydata"
printf '[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE=\r\n' >"$cfg/bible.ini"
printf '01001:=In the beginning\r\n' >"$cfg/sys/Tessaly.txt"
cp "$envoke" "$cfg/envoke.exe"
have_engine=false
if [[ -f $engine ]]; then
  cp "$engine" "$cfg/quillax.dll"
  have_engine=true
fi
for font in SimYou.ttf WINGDNG3.TTF cvfont.ttf jianpu2.5.1.ttf; do
  printf 'font %s\n' "$font" >"$cfg/$font"
done
for file in corvex.chm Tessaly.chm nmad.txt txconv.exe keep.txt midi/0102.mid update/cvupdate.exe mydata/notes.txt; do
  printf 'x\n' >"$prod/$file"
done
printf 'x\n' >"$prod/$(printf '\xe9\x9a\x8f\xe7\xac\x94').htm"  # 随笔.htm

(cd "$cfg" && run_wine envoke.exe -q) || true
# The fonts command opens the fonts folder in an explorer window, which stays without a display.
sleep 2
check "the fonts folder is opened for the new font" \
  grep -qF 'explorer.exe C:\windows\Fonts' <(ps -eo args)
end_wine

check "the installation records its configuration directory" \
  equals "$(reg_value 'HKCU\Software\quillax' || true)" 'C:\prod\cfg\'
check "the index of the chain-reference module is built" test -f "$cfg/sys/tessaly.inx"

if $have_engine; then
  clsid=$(reg_value 'HKCR\quillax.qlx\CLSID' || true)
  check "the engine class is registered" test -n "$clsid"
  check "its library is the one of the configuration directory" \
    equals "$(reg_value "HKCR\\CLSID\\$clsid\\InprocServer32" || true)" 'C:\prod\cfg\quillax.dll'
else
  skip "registration of the engine component (the build has no quillax.dll yet)"
fi

user_dir=$(find "$drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n 1)
programs="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
desktop="$user_dir/Desktop"
menu="$programs/Tessaly"
main_link="$menu/Tessaly.lnk"
update_link="$menu/$(printf '\xe5\x9c\xa8\xe7\xba\xbf\xe5\x8d\x87\xe7\xba\xa7').lnk"     # 在线升级.lnk
uninstall_link="$menu/$(printf '\xe5\x8d\xb8\xe8\xbd\xbd').lnk"                         # 卸载.lnk
check "the main shortcut is in the start menu" test -f "$main_link"
if [[ -f $main_link ]]; then
  check "the main shortcut has the hot key Ctrl+Alt+B" equals "$(bytes_at "$main_link" 64 2)" "42 06"
  check "the main shortcut shows icon 0" equals "$(bytes_at "$main_link" 56 4)" "00 00 00 00"
  check "the main shortcut opens the help file" grep -aq 'corvex.chm' <(tr -d '\000' <"$main_link")
fi
check "the updater shortcut is in the start menu" test -f "$update_link"
if [[ -f $update_link ]]; then
  check "the updater shortcut has no hot key" equals "$(bytes_at "$update_link" 64 2)" "00 00"
  check "the updater shortcut starts cvupdate.exe" grep -aq 'cvupdate.exe' <(tr -d '\000' <"$update_link")
fi
check "the uninstall shortcut is in the start menu" test -f "$uninstall_link"
if [[ -f $uninstall_link ]]; then
  check "the uninstall shortcut shows icon 1" equals "$(bytes_at "$uninstall_link" 56 4)" "01 00 00 00"
  check "the uninstall shortcut passes -uninstall" grep -aq -- '-uninstall' <(tr -d '\000' <"$uninstall_link")
fi
check "the desktop has a copy of the main shortcut" test -f "$desktop/Tessaly.lnk"

fonts=$drive_c/windows/Fonts
check "SimYou.ttf is copied" test -f "$fonts/SimYou.ttf" -a -f "$cfg/SimYou.ttf"
for font in WINGDNG3.TTF cvfont.ttf jianpu2.5.1.ttf; do
  check "$font is moved" test -f "$fonts/$font" -a ! -e "$cfg/$font"
done

# ---- -u -------------------------------------------------------------------------------------------

(cd "$cfg" && run_wine envoke.exe -q -u) || true
wait_wine
check "-u deletes HKEY_CURRENT_USER\\Software\\quillax" reg_absent 'HKCU\Software\quillax'
if $have_engine; then
  check "-u unregisters the engine class" reg_absent 'HKCR\quillax.qlx'
else
  skip "unregistration of the engine component (the build has no quillax.dll yet)"
fi

# ---- -uninstall --------------------------------------------------------------------------------

(cd "$cfg" && QUILLAX_MESSAGE_ANSWER=no run_wine envoke.exe -uninstall) || true
wait_wine
check "an uninstall answered No keeps the configuration directory" test -f "$cfg/bible.ini"
check "an uninstall answered No keeps the start menu" test -f "$main_link"
check "the uninstall copy is gone once it has ended" test ! -e "$prod/Envoke.exe"

(cd "$cfg" && QUILLAX_MESSAGE_ANSWER=yes run_wine envoke.exe -uninstall) || true
wait_wine
check "the uninstall deletes the configuration directory" test ! -e "$cfg"
for gone in midi update corvex.chm Tessaly.chm nmad.txt txconv.exe "$(printf '\xe9\x9a\x8f\xe7\xac\x94').htm" Envoke.exe; do
  check "the uninstall deletes $gone" test ! -e "$prod/$gone"
done
check "the uninstall keeps the installation root" test -d "$prod"
check "the uninstall keeps other files of the root" test -f "$prod/keep.txt" -a -f "$prod/mydata/notes.txt"
check "the uninstall deletes the start-menu folder" test ! -e "$menu"
check "the uninstall deletes the desktop shortcut" test ! -e "$desktop/Tessaly.lnk"
check "the uninstall deletes HKEY_CURRENT_USER\\Software\\quillax" reg_absent 'HKCU\Software\quillax'

# ---- -import: the same Bibles give the same bytes on Windows as on Linux -----------------------
# Self-contained: an installation of its own (C:\imp\cfg on Windows, one in the work folder for
# the Linux build's envoke, which build/native must hold). Imported on both: a small USFM book
# with Chinese text and characters GBK lacks, the World English Bible folder of bibledit-data
# and the King James Version exported as OSIS by mod2osis (each when installed); the module, its
# index and bible.ini must be the same bytes.
native_envoke=$repo_root/build/native/bin/envoke
if [[ ! -x $native_envoke ]]; then
  skip "-import on both builds (build/native/bin/envoke is missing: build the native preset)"
else
  bibles=$drive_c/bibles
  import_win=$drive_c/imp/cfg
  import_linux=$work/import-linux/cfg
  mkdir -p "$bibles" "$import_win" "$import_linux"
  cp "$envoke" "$import_win/envoke.exe"
  for dir in "$import_win" "$import_linux"; do
    printf '[bible]\r\nSYSKEY=corpa\r\nEQUATEFILE=usr\\niv\r\n' >"$dir/bible.ini"
  done
  # 创世记 1:1 起初神创造天地。 with an em dash, a euro sign, an emoji and a note.
  printf '\\id GEN\n\\c 1\n\\p\n\\v 1 \xe8\xb5\xb7\xe5\x88\x9d\xe7\xa5\x9e\\f + \\ft x\\f*\xe5\x88\x9b\xe9\x80\xa0\xe5\xa4\xa9\xe5\x9c\xb0\xe3\x80\x82\n\\v 2 \xe2\x80\x94\xe2\x82\xac\xf0\x9f\x98\x80 caf\xc3\xa9\n' \
    >"$bibles/cuv.usfm"
  import_names=(cuv.usfm)
  if [[ -d /usr/share/bibledit/demo ]]; then
    cp -r /usr/share/bibledit/demo "$bibles/web"
    import_names+=(web)
  else
    skip "-import of bibledit's World English Bible (package bibledit-data is not installed)"
  fi
  if command -v mod2osis >/dev/null 2>&1 && mod2osis engKJV2006eb >"$bibles/kjv.osis" 2>/dev/null; then
    import_names+=(kjv.osis)
  else
    skip "-import of the King James Version as OSIS (mod2osis or sword-text-kjv is missing)"
  fi
  for name in "${import_names[@]}"; do
    (cd "$import_win" && run_wine envoke.exe -q -import "C:\\bibles\\$name") || true
    wait_wine
    (cd "$import_linux" && QUILLAX_REGISTRY=$work/import-linux/registry "$native_envoke" -q -import "$bibles/$name") || true
    module=${name%%.*}
    check "-import $name writes its module on Windows" test -s "$import_win/usr/$module.txt"
    check "-import $name: the same module bytes on both builds" \
      cmp -s "$import_win/usr/$module.txt" "$import_linux/usr/$module.txt"
    check "-import $name: the same index bytes on both builds" \
      cmp -s "$import_win/usr/$module.inx" "$import_linux/usr/$module.inx"
  done
  check "-import: the same bible.ini on both builds" cmp -s "$import_win/bible.ini" "$import_linux/bible.ini"
  check "-import lists every imported module" \
    grep -q "EQUATEFILE=usr\\\\niv,usr\\\\cuv" "$import_win/bible.ini"
fi

finish
