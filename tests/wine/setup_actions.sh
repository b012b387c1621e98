#!/usr/bin/env bash
# End-to-end tests of the set-up tool's actions with a Windows build (win32 or win64) under
# Wine of its architecture, in a fresh Wine prefix of their own:
#
#   tests/wine/setup_actions.sh [WINDOWS_BUILD_DIR]      (default: build/win32)
#
#  1. installation run ("envoke.exe -q" in C:\prod\cfg): the registry key of the installation,
#     the registration of the engine component, the start-menu shortcuts (.lnk files with the
#     hot key Ctrl+Alt+B and their icons), the desktop shortcut, and the fonts (one copied,
#     three moved into C:\windows\Fonts);
#  2. "-q -u": the registration and the registry key are gone;
#  3. "-uninstall": its question read from the box (an icon, No the default button and
#     focused) and answered with Enter, which keeps everything; from the configuration directory,
#     as the uninstall shortcut starts it, the tool hands the work to a copy in C:\prod; answered
#     No, nothing changes; answered Yes, what the product owns goes and everything else in
#     C:\prod stays;
#  4. what the tool says (its message boxes, written to a log through QUILLAX_MESSAGE_LOG): an
#     uninstall whose installation root is the root of drive C:, the profile folder or the
#     Documents folder is refused and deletes nothing; errata on a read-only module name the
#     module and leave no .tex file, errata whose old text is nowhere say that nothing needed
#     correcting; "-u" says what it did.
#  5. "-import" of a USFM book, a USFM folder and an OSIS file in an installation of its own,
#     each also imported by the Linux build's envoke: the same module, index and bible.ini bytes.
#  6. a fresh installation run on a copy of the sample installation: the parallel versions that
#     its EQUATEFILE lists get their indexes (the bytes the Linux build writes), and the Linux
#     build's command-line host shows their text in the parallel reading layout.
#
# Every run of envoke.exe must end with exit status 0. The questions are answered through
# QUILLAX_MESSAGE_ANSWER (see platform/message_box.h). Wine runs in the Chinese locale (code
# page 936; see cmake/wine-run.sh). HOME points into the work folder and Wine's menu builder is
# off, so the host's desktop and menus stay untouched.
#
# Ends with a line "N passed, N failed"; the exit code is 1 when a check failed.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(realpath -m -- "${1:-$repo_root/build/win32}")
# shellcheck source=tests/wine/suite_common.sh
source "$repo_root/tests/wine/suite_common.sh"
envoke=$build/bin/envoke.exe
engine=$build/bin/quillax.dll

for f in "$envoke" "$engine"; do
  if [[ ! -f $f ]]; then
    echo "setup_actions: $f is missing (build the $wine_arch preset first)" >&2
    exit 2
  fi
done

work=$(mktemp -d)
prefix=$work/prefix
watcher=
cleanup() {
  [[ -n $watcher ]] && kill "$watcher" 2>/dev/null || true
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DESKTOP_DIR XDG_CACHE_HOME

run_wine() { wine_in "$prefix" "$@"; }
# Runs envoke.exe with its arguments in C:\prod\cfg and checks that it ends with status 0.
run_envoke() {  # run_envoke DESCRIPTION [VAR=VALUE...] -- ARGS...
  local what=$1 status=0
  shift
  local settings=()
  while [[ $1 != -- ]]; do settings+=("$1"); shift; done
  shift
  (cd "$cfg" && env "${settings[@]}" "$repo_root/cmake/wine-run.sh" --arch "$wine_arch" "$prefix" \
    envoke.exe "$@") || status=$?
  check "$what ends with status 0 (status $status)" test "$status" -eq 0
}
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
reg_value() { wine_reg_value "$prefix" "$@"; }  # reg_value KEY [VALUE]
reg_absent() { ! run_wine reg query "$1" >/dev/null 2>&1; }
equals() { [[ $1 == "$2" ]]; }
contains() { [[ $1 == *"$2"* ]]; }
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
cp "$engine" "$cfg/quillax.dll"
for font in SimYou.ttf WINGDNG3.TTF cvfont.ttf jianpu2.5.1.ttf; do
  printf 'font %s\n' "$font" >"$cfg/$font"
done
for file in corvex.chm Tessaly.chm nmad.txt txconv.exe keep.txt midi/0102.mid update/cvupdate.exe mydata/notes.txt; do
  printf 'x\n' >"$prod/$file"
done
printf 'x\n' >"$prod/$(printf '\xe9\x9a\x8f\xe7\xac\x94').htm"  # 随笔.htm

run_envoke "the installation run" -- -q
# The fonts command opens the fonts folder in an explorer window, which stays without a display.
sleep 2
check "the fonts folder is opened for the new font" \
  grep -qF 'explorer.exe C:\windows\Fonts' <(ps -eo args)
end_wine

check "the installation records its configuration directory" \
  equals "$(reg_value 'HKCU\Software\quillax' || true)" 'C:\prod\cfg\'
check "the index of the chain-reference module is built" test -f "$cfg/sys/tessaly.inx"

clsid=$(reg_value 'HKCR\quillax.qlx\CLSID' || true)
check "the engine class is registered" test -n "$clsid"
check "its library is the one of the configuration directory" \
  equals "$(reg_value "HKCR\\CLSID\\$clsid\\InprocServer32" || true)" 'C:\prod\cfg\quillax.dll'

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

run_envoke "-q -u" -- -q -u
wait_wine
check "-u deletes HKEY_CURRENT_USER\\Software\\quillax" reg_absent 'HKCU\Software\quillax'
check "-u unregisters the engine class" reg_absent 'HKCR\quillax.qlx'

# ---- -uninstall --------------------------------------------------------------------------------

# The copy the tool hands the uninstall to lives from the hand-off until both runs have ended
# (a Wine program takes far longer to start than the 50 ms between two looks).
watch_for_copy() {  # watch_for_copy MARK: MARK is made once C:\prod\Envoke.exe has been seen
  rm -f "$1" "$work/watch.stop"
  (
    for _ in $(seq 1200); do
      if [[ -e $prod/Envoke.exe ]]; then touch "$1"; exit 0; fi
      [[ -e $work/watch.stop ]] && exit 0
      sleep 0.05
    done
  ) &
  watcher=$!
}
stop_watching() { touch "$work/watch.stop"; wait "$watcher" || true; }

# The question as a person meets it: no scripted answer, the box read by
# envoke_question_driver.exe and answered with Enter. Started from the installation root, the
# tool asks itself (no copy), and "-q" leaves no closing box. Without a display the box needs
# Wine's headless graphics driver, chosen when the prefix's desktop starts, so the prefix's
# server is restarted around it.
question_driver=$build/bin/envoke_question_driver.exe
if [[ ! -f $question_driver ]]; then
  check "the uninstall question needs $question_driver (build the $wine_arch preset)" false
else
  run_wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
  end_wine
  question=$work/question.txt
  (cd "$prod" && "$repo_root/cmake/wine-run.sh" --arch "$wine_arch" "$prefix" 'C:\prod\cfg\envoke.exe' -q -uninstall) &
  question_job=$!
  status=0
  run_wine "$question_driver" "$(windows_path "$question")" >/dev/null 2>&1 || status=$?
  wait "$question_job" || true
  wait_wine
  answered=$(iconv -f GBK -t UTF-8 "$question" 2>/dev/null || true)
  check "the uninstall question is read and answered with Enter (status $status)" test "$status" -eq 0
  printf 'setup_actions: the uninstall question as read:\n%s\n' "$answered"
  check "the uninstall question shows an icon" contains "$answered" $'\nicon 1\n'
  check "the uninstall question's default button is No" contains "$answered" $'\ndefault 7\n'
  check "the uninstall question gives No the focus" contains "$answered" $'\nfocus 7\n'
  check "Enter at the uninstall question keeps the configuration directory" test -f "$cfg/bible.ini"
  check "Enter at the uninstall question keeps the start menu" test -f "$main_link"
  run_wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1 || true
  end_wine
fi

watch_for_copy "$work/copy-no"
run_envoke "an uninstall answered No" QUILLAX_MESSAGE_ANSWER=no -- -uninstall
wait_wine
stop_watching
check "an uninstall answered No keeps the configuration directory" test -f "$cfg/bible.ini"
check "an uninstall answered No keeps the start menu" test -f "$main_link"
check "the uninstall is handed to a copy in the installation root" test -f "$work/copy-no"
check "the uninstall copy is gone once it has ended" test ! -e "$prod/Envoke.exe"

watch_for_copy "$work/copy-yes"
run_envoke "an uninstall answered Yes" QUILLAX_MESSAGE_ANSWER=yes -- -uninstall
wait_wine
stop_watching
check "the uninstall answered Yes is handed to a copy as well" test -f "$work/copy-yes"
check "the uninstall deletes the configuration directory" test ! -e "$cfg"
for gone in midi update corvex.chm Tessaly.chm nmad.txt txconv.exe "$(printf '\xe9\x9a\x8f\xe7\xac\x94').htm" Envoke.exe; do
  check "the uninstall deletes $gone" test ! -e "$prod/$gone"
done
check "the uninstall keeps the installation root" test -d "$prod"
check "the uninstall keeps other files of the root" test -f "$prod/keep.txt" -a -f "$prod/mydata/notes.txt"
check "the uninstall deletes the start-menu folder" test ! -e "$menu"
check "the uninstall deletes the desktop shortcut" test ! -e "$desktop/Tessaly.lnk"
check "the uninstall deletes HKEY_CURRENT_USER\\Software\\quillax" reg_absent 'HKCU\Software\quillax'

# ---- what the tool says: refusals, errata, -u --------------------------------------------------

messages=$work/messages.txt
# Runs the installation's envoke.exe in its configuration directory (as the uninstall shortcut
# does) with every question answered Yes and its message boxes logged; prints the log as UTF-8
# (the boxes hold the program's GBK text).
envoke_says() {  # envoke_says UNIX_CONFIG_DIR ARGUMENTS...
  local dir=$1
  shift
  cp "$envoke" "$dir/envoke.exe"
  rm -f "$messages"
  (cd "$dir" && QUILLAX_MESSAGE_ANSWER=yes QUILLAX_MESSAGE_LOG=$messages run_wine envoke.exe "$@") || true
  wait_wine
  iconv -f GBK -t UTF-8 "$messages" 2>/dev/null || true
}
refused='卸载已停止，未作任何修改。'

# An installation whose root is the root of drive C: the files beside it are the disk's own.
mkdir -p "$drive_c/cfg" "$drive_c/midi"
printf '[bible]\r\nSYSKEY=corpa\r\n' >"$drive_c/cfg/bible.ini"
printf 'the disk song\n' >"$drive_c/midi/0102.mid"
printf 'the disk notes\n' >"$drive_c/nmad.txt"
said=$(envoke_says "$drive_c/cfg" -uninstall)
check "an installation at the root of drive C: is refused" contains "$said" "$refused"
check "the refusal names the root" contains "$said" '安装目录 C:\'
check "the disk's own midi folder stays" equals "$(cat "$drive_c/midi/0102.mid" 2>/dev/null)" 'the disk song'
check "the disk's own nmad.txt stays" equals "$(cat "$drive_c/nmad.txt" 2>/dev/null)" 'the disk notes'
check "the refused uninstall keeps its configuration directory" test -f "$drive_c/cfg/bible.ini"
check "the refused uninstall writes no copy of the tool into the root" test ! -e "$drive_c/Envoke.exe"
rm -rf "${drive_c:?}/cfg" "${drive_c:?}/midi" "${drive_c:?}/nmad.txt"

# Installations whose root is the profile folder or the Documents folder.
documents=$(find "$user_dir" -maxdepth 1 \( -iname Documents -o -iname 'My Documents' \) | head -n 1)
for root in "$user_dir" "${documents:-$user_dir/Documents}"; do
  mkdir -p "$root/cfg" "$root/update"
  printf '[bible]\r\nSYSKEY=corpa\r\n' >"$root/cfg/bible.ini"
  printf 'the user'"'"'s plan\n' >"$root/update/plan.txt"
  said=$(envoke_says "$root/cfg" -uninstall)
  check "an installation rooted in $(basename "$root") is refused" contains "$said" "$refused"
  check "the user's own update folder in $(basename "$root") stays" test -f "$root/update/plan.txt"
  rm -rf "${root:?}/cfg" "${root:?}/update"
done

# Errata.
prod2=$drive_c/prod2
mkdir -p "$prod2/cfg/sys"
printf '[bible]\r\nSYSKEY=corpa\r\n' >"$prod2/cfg/bible.ini"
printf 'first\r\nthe beginnning\r\n' >"$prod2/cfg/sys/corpa.txt"
printf '[corpa]\r\n2,misspelt,x\r\n' >"$prod2/cfg/correct.txt"
said=$(envoke_says "$prod2/cfg" -correct)
check "errata whose old text is nowhere say that nothing needed correcting" \
  contains "$said" '堪误表中的原文在相关文件中都没有找到'
printf '[corpa]\r\n2,beginnning,beginning\r\n' >"$prod2/cfg/correct.txt"
chmod a-w "$prod2/cfg/sys/corpa.txt"
said=$(envoke_says "$prod2/cfg" -correct)
chmod u+w "$prod2/cfg/sys/corpa.txt"
check "errata on a read-only module name it" contains "$said" 'C:\prod2\cfg\sys\corpa.txt'
check "errata on a read-only module do not claim success" bash -c '! [[ $1 == *已成功的按堪误表修正了相关文件* ]]' _ "$said"
check "errata on a read-only module leave no corpa.tex" test ! -e "$prod2/cfg/sys/corpa.tex"
check "the read-only module stays as it was" grep -q 'beginnning' "$prod2/cfg/sys/corpa.txt"
said=$(envoke_says "$prod2/cfg" -correct)
check "errata that are applied say so" contains "$said" '已成功的按堪误表修正了相关文件！'

# -u, not quiet: the box says what was done.
said=$(envoke_says "$prod2/cfg" -u)
check "-u says what it did" contains "$said" 'Tessaly辅助工具'
# ---- -import: the same Bibles give the same bytes on Windows as on Linux -----------------------
# Self-contained: an installation of its own (C:\imp\cfg on Windows, one in the work folder for
# the Linux build's envoke, which build/native must hold). Imported on both: a small USFM book
# with Chinese text and characters GBK lacks, the World English Bible folder of bibledit-data
# and the King James Version exported as OSIS by mod2osis (each when installed); the module, its
# index and bible.ini must be the same bytes.
native_envoke=$repo_root/build/native/bin/envoke
if [[ ! -x $native_envoke ]]; then
  check "-import on both builds needs build/native/bin/envoke (build the native preset)" false
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
    check "-import of bibledit's World English Bible needs the package bibledit-data" false
  fi
  if command -v mod2osis >/dev/null 2>&1 && mod2osis engKJV2006eb >"$bibles/kjv.osis" 2>/dev/null; then
    import_names+=(kjv.osis)
  else
    check "-import of the King James Version as OSIS needs mod2osis and sword-text-kjv" false
  fi
  for name in "${import_names[@]}"; do
    status=0
    (cd "$import_win" && run_wine envoke.exe -q -import "C:\\bibles\\$name") || status=$?
    wait_wine
    check "-import $name ends with status 0 on Windows (status $status)" test "$status" -eq 0
    status=0
    (cd "$import_linux" && QUILLAX_REGISTRY=$work/import-linux/registry "$native_envoke" -q -import "$bibles/$name") || status=$?
    check "-import $name ends with status 0 on Linux (status $status)" test "$status" -eq 0
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

# ---- a fresh installation of the sample: its parallel versions ---------------------------------
# C:\sample\cfg, a copy of the sample's configuration directory, set up with "envoke.exe -q".
# The host reads the installation the Windows build prepared; it would build missing indexes of
# its own, so the indexes are checked first.
sample_win=$drive_c/sample
mkdir -p "$sample_win"
cp -r "$repo_root/sample/cfg" "$sample_win/cfg"
cp "$envoke" "$sample_win/cfg/envoke.exe"
status=0
(cd "$sample_win/cfg" && run_wine envoke.exe -q) || status=$?
wait_wine
check "the installation run of the sample ends with status 0 (status $status)" test "$status" -eq 0
for module in kjv web; do
  check "the installation run indexes the parallel version usr\\$module" test -s "$sample_win/cfg/usr/$module.inx"
done
native_cli=$repo_root/build/native/bin/quillax-cli
if [[ ! -x $native_envoke || ! -x $native_cli ]]; then
  check "the sample's parallel versions on both builds need build/native (build the native preset)" false
else
  sample_linux=$work/sample-linux
  mkdir -p "$sample_linux"
  cp -r "$repo_root/sample/cfg" "$sample_linux/cfg"
  (cd "$sample_linux/cfg" && QUILLAX_REGISTRY=$sample_linux/registry "$native_envoke" -q) || true
  for module in kjv web; do
    check "the sample's usr\\$module: the same index bytes on both builds" \
      cmp -s "$sample_win/cfg/usr/$module.inx" "$sample_linux/cfg/usr/$module.inx"
  done
  page=$("$native_cli" page "$sample_win" 01001 --layout 2 2>&1 || true)
  check "the parallel layout shows the King James Version's Genesis 1:1" \
    contains "$page" 'In the beginning God created the heaven and the earth.'
  check "the parallel layout shows the World English Bible's Genesis 1:1" \
    contains "$page" 'In the beginning, God created the heavens and the earth.'
fi

finish
