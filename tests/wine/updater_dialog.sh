#!/usr/bin/env bash
# End-to-end test of the updater's dialog (cvupdate.exe) of a Windows build (win32 or win64)
# under Wine of its architecture on a virtual X display (Xvfb), in a fresh Wine prefix of its own:
#
#   tests/wine/updater_dialog.sh [WINDOWS_BUILD_DIR]      (default: build/win32)
#
# An installation C:\prod whose registry key and cfg\bible.ini point the updater at a loopback
# HTTP server started here, which serves the manifest, two ZIP archives and a bible.ini. The
# updater is started from C:\prod\update, as its shortcut starts it, so it hands over to a copy
# in C:\prod that must be gone at the end. cvupdate_dialog_driver.exe (built with the same
# preset) goes through next -> update -> finish with the keyboard alone (Enter at each step) and
# reports what the dialog shows at each stage: the layout of dialog resource 102, its place on
# the screen, the status texts and whether they show whole, the button captions, the control
# with the focus and the default button, the list lines and whether the newest is in view. Then
# the installed files, the merged bible.ini and the help shortcut are checked. A second run,
# again by keyboard, presses Esc during a download; a third clicks Cancel during one. A
# screenshot of each stage goes to build/wine-artifacts/<win32 or win64>/updater_dialog_<stage>.png
# (the reports beside them).
#
# Needs: wine, Xvfb (xvfb), xwd (x11-apps), xwdtopnm and pnmtopng (netpbm), zip, python3,
# fonts-wqy-microhei for a readable screenshot, and localedef with the glibc locale sources for
# zh_CN (Wine runs in the Chinese locale, code page 936; see cmake/wine-run.sh).
#
# Ends with a line "N passed, N failed"; the exit code is 1 when a check failed.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(realpath -m -- "${1:-$repo_root/build/win32}")
# shellcheck source=tests/wine/suite_common.sh
source "$repo_root/tests/wine/suite_common.sh"
updater=$build/bin/cvupdate.exe
driver=$build/bin/cvupdate_dialog_driver.exe
artifacts=$repo_root/build/wine-artifacts/$wine_arch

for f in "$updater" "$driver"; do
  if [[ ! -f $f ]]; then
    echo "updater_dialog: $f is missing (build the $wine_arch preset first)" >&2
    exit 2
  fi
done
for tool in wineserver Xvfb xwd xwdtopnm pnmtopng zip python3 localedef iconv; do
  if ! command -v "$tool" >/dev/null; then
    echo "updater_dialog: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 2
  fi
done

work=$(mktemp -d)
prefix=$work/prefix
xvfb_pid=
server_pid=
cleanup() {
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  if [[ -n ${QUILLAX_KEEP_WORK:-} ]]; then echo "updater_dialog: work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

export HOME=$work/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DESKTOP_DIR XDG_CACHE_HOME
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$prefix

# A display of our own for the programs of the prefix.
start_display "$work" 1280x800x24
run_wine() { wine_in "$prefix" "$@"; }
# Waits until every program of the prefix has ended; a program that hangs is ended after a
# minute.
wait_wine() {
  if ! timeout 60 wineserver -w; then
    echo "updater_dialog: programs still running after 60 s, ending them" >&2
    wineserver -k || true
  fi
}
gbk() { iconv -f GBK -t UTF-8 | tr -d '\r'; }

echo "updater_dialog: preparing the Wine prefix"
run_wine cmd /c exit >/dev/null 2>&1 || true
wineserver -w
prepare_display_prefix "$prefix"
wineserver -w

# ---- the server ---------------------------------------------------------------------------------
site=$work/site
mkdir -p "$site/files" "$work/pack/docs"
printf 'hello notes\r\n' >"$work/pack/notes.txt"
printf 'read me\r\n' >"$work/pack/docs/readme.txt"
printf 'help file\r\n' >"$work/pack/corvex.chm"
head -c 1000000 /dev/urandom >"$work/pack/slow.txt"
(cd "$work/pack" && zip -q -r "$site/files/notes.zip" notes.txt docs && zip -q "$site/files/corvex.zip" corvex.chm &&
  zip -q "$site/files/slow.zip" slow.txt)
cat >"$site/files/bible.ini" <<'EOF'
[config]
UPDATEURL=http://example.invalid/other.ini
[FIXGB2312TOGBK]
WORD_GBK=b,c
EOF
cat >"$work/server.py" <<'EOF'
import functools, http.server, os, sys, time
site, port_file, log_file = sys.argv[1:4]
class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        with open(log_file, "a") as log:
            log.write(self.requestline + "\n")
    def do_GET(self):
        # /files/slow.zip trickles in 8 KB pieces, 20 a second: a download that takes a while.
        if self.path != "/files/slow.zip":
            return super().do_GET()
        with open(os.path.join(site, "files", "slow.zip"), "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            for at in range(0, len(body), 8192):
                self.wfile.write(body[at:at + 8192])
                self.wfile.flush()
                time.sleep(0.05)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the user cancelled the download
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=site))
with open(port_file + ".part", "w") as out:
    out.write(str(server.server_address[1]))
os.rename(port_file + ".part", port_file)
server.serve_forever()
EOF
python3 "$work/server.py" "$site" "$work/port" "$work/requests.log" &
server_pid=$!
for _ in $(seq 100); do
  [[ -f $work/port ]] && break
  sleep 0.1
done
port=$(cat "$work/port")
cat >"$site/update.ini" <<'EOF'
[bible.ini]
UpdateFile=/files/bible.ini
TargetPath=cfg
[notes.txt]
UpdateFile=/files/notes.zip
Size=300
[corvex.chm]
UpdateFile=/files/corvex.zip
TargetPath=help
FileDateTime=2030-01-01 00:00
EOF

# Seven more files, so that the list holds more lines than it shows.
for n in 1 2 3 4 5 6 7; do
  printf 'extra %s\r\n' "$n" >"$work/pack/extra$n.txt"
  (cd "$work/pack" && zip -q "$site/files/extra$n.zip" "extra$n.txt")
  printf '[extra%s.txt]\nUpdateFile=/files/extra%s.zip\n' "$n" "$n" >>"$site/update.ini"
done

cat >"$site/update2.ini" <<'EOF'
[slow.txt]
UpdateFile=/files/slow.zip
EOF

# ---- the installation ---------------------------------------------------------------------------
prod=$prefix/drive_c/prod
mkdir -p "$prod/cfg" "$prod/update"
cp "$updater" "$prod/update/cvupdate.exe"
printf '[config]\r\nUPDATEURL=http://127.0.0.1:%s/update.ini\r\n[FIXGB2312TOGBK]\r\nWORD_GBK=a,b\r\n' "$port" >"$prod/cfg/bible.ini"
run_wine reg add 'HKCU\Software\quillax' /ve /d 'C:\prod\cfg\' /f >/dev/null 2>&1
programs=$(find "$prefix/drive_c/users" -maxdepth 7 -type d -ipath '*/start menu/programs' | head -n 1)
if [[ -n $programs ]]; then
  mkdir -p "$programs/Tessaly"
fi

# ---- the run ------------------------------------------------------------------------------------
# Takes a screenshot each time the driver of REPORT waits at a stage (REPORT.<stage>.ready) into
# $artifacts/NAME_<stage>.png and lets it go on (REPORT.<stage>.go), until JOB ends.
photograph() {  # photograph REPORT NAME JOB
  local report=$1 name=$2 job=$3 ready stage
  while kill -0 "$job" 2>/dev/null; do
    for ready in "$report".*.ready; do
      [[ -f $ready ]] || continue
      stage=${ready#"$report".}
      stage=${stage%.ready}
      sleep 0.5
      DISPLAY=":$display" xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$artifacts/${name}_$stage.png" 2>/dev/null || true
      rm -f "$ready"
      touch "$report.$stage.go"
    done
    sleep 0.1
  done
}

# Starts the updater in DIR (Linux path) as PROGRAM ARGS..., and beside it the driver with the
# arguments after "--" (among them REPORT as Windows sees it), taking its screenshots as
# NAME_<stage>.png; when both have ended, driven_status holds the driver's exit code. Their
# output goes to $work/NAME.updater.out and $work/NAME.driver.out.
drive() {  # drive NAME REPORT DIR PROGRAM [ARGS...] -- DRIVER_ARGS...
  local name=$1 report=$2 dir=$3 updater_job driver_job program=()
  shift 3
  while [[ $1 != -- ]]; do
    program+=("$1")
    shift
  done
  shift
  (cd "$dir" && timeout 300 "$repo_root/cmake/wine-run.sh" "$prefix" "${program[@]}" \
    >"$work/$name.updater.out" 2>&1) &
  updater_job=$!
  timeout 300 "$repo_root/cmake/wine-run.sh" "$prefix" "$driver" "$@" >"$work/$name.driver.out" 2>&1 &
  driver_job=$!
  photograph "$report" "$name" "$driver_job"
  driven_status=0
  wait "$driver_job" || driven_status=$?
  wait "$updater_job" || true
  wait_wine
}

report=$work/report.txt
mkdir -p "$artifacts"
rm -f "$artifacts"/updater_dialog*.png
drive updater_dialog "$report" "$prod/update" 'C:\prod\update\cvupdate.exe' -- \
  "$(windows_path "$report")" 'C:\prod\update\cvupdate.exe'
driver_status=$driven_status
gbk <"$report" >"$artifacts/updater_dialog_report.txt" || true
cp "$work/requests.log" "$artifacts/updater_dialog_requests.log" 2>/dev/null || true

# ---- the checks ---------------------------------------------------------------------------------
r=$artifacts/updater_dialog_report.txt
# The lines of one stage of the report.
stage() { awk -v s="== $1" '$0 == s {on = 1; next} /^== / {on = 0} on' "$r"; }
has() {  # has STAGE LINE: the stage holds exactly this line
  stage "$1" | grep -qxF -- "$2"
}
begins() {  # begins STAGE TEXT: a line of the stage starts with this text
  stage "$1" | awk -v t="$2" 'index($0, t) == 1 {found = 1} END {exit !found}'
}

check "the driver went through next, update and finish with Enter (exit $driver_status)" test "$driver_status" -eq 0
if grep -q '^error' "$r"; then
  echo "updater_dialog: driver: $(grep '^error' "$r")"
fi
if [[ $driver_status -ne 0 ]]; then
  echo "updater_dialog: driver output:"
  cat "$work/updater_dialog.driver.out"
fi

check "caption" has initial "caption Tessaly在线更新 1.0"
check "font 宋体 9 points" bash -c "grep -qx 'template-font 宋体 9' '$r'"
check "shown in the task bar" has initial "appwindow 1"
check "default button: id, position, caption" has initial "control 1 Button 182 166 50 14 下一步(&N)"
check "cancel button" has initial "control 2 Button 239 166 50 14 取消(&C)"
# The picture control takes the size of its bitmap and the etched line a height of its own, so
# only their place is compared.
check "picture" bash -c "awk '/^== initial/{on=1;next}/^== /{on=0}on' '$r' | grep -q '^control 1000 Static 0 0 '"
check "status text: two lines high" has initial "control 1012 Static 119 139 198 16 点击下一步查看可用的更新"
check "progress bar" has initial "control 1002 msctls_progress32 119 123 201 12 "
check "separator" bash -c "awk '/^== initial/{on=1;next}/^== /{on=0}on' '$r' | grep -q '^control -1 Static 119 157 '"
check "heading" has initial "control -1 Static 119 7 137 8 以下产品或组件已安装在您的系统上："
check "list box" has initial "control 1011 ListBox 112 19 207 100 "
check "dialog centred on the screen" begins initial "centred 1 "
check "the report's font is the dialog's" has initial "font-matches 1"
check "initial status" has initial "status 点击下一步查看可用的更新"
check "initial button enabled" has initial "button 下一步(&N) 1"
# Without a registered engine the product line is a blank and an empty label.
check "product line" has initial "line  "

check "check pass: update offered" has checked "button 更新(&U) 1"
check "check pass: status" has checked 'status 完成更新!有新资料文件需要更新!'
check "check pass: list heading without its line break" has checked 'line 获取更新列表:'
check "check pass: bible.ini merged at once" has checked "line 已经更新了bible.ini中的繁简字对照修正表!"
check "check pass: notes.txt listed" has checked "line notes.txt"
check "check pass: corvex.chm listed" has checked "line corvex.chm"
check "check pass: product line removed" bash -c "! awk '/^== checked/{on=1;next}/^== /{on=0}on' '$r' | grep -qx 'line  '"

check "apply pass: finish offered" has applied "button 完成(&O) 1"
check "apply pass: status" has applied "status 完成更新！"
check "apply pass: progress bar full" has applied "progress 100"
check "apply pass: notes.txt updating" has applied "line 正在更新:notes.txt..."
check "apply pass: notes.txt done" has applied 'line C:\prod\notes.txt更新完毕'
check "apply pass: corvex.chm done" has applied 'line C:\prod\help\corvex.chm更新完毕'
check "dialog closed by Enter on the finish button" bash -c "grep -qx '== closed' '$r'"
# The keyboard at every stage: the focus on an enabled control, the button of the next step the
# default (Enter takes it); the whole status shown; no line with a control character; the newest
# line in view.
for st in initial checked applied; do
  check "$st: focus on the enabled default button" has "$st" "focus 1 1"
  check "$st: default button" has "$st" "default 1"
  check "$st: whole status shown" begins "$st" "status-whole 1 "
  check "$st: no control character in the list" has "$st" "list-control-lines 0"
  check "$st: newest list line in view" begins "$st" "list-last-shown 1 "
  check "$st: screenshot saved" test -s "$artifacts/updater_dialog_$st.png"
done
# "list-last-shown 1 <top index> ...": the list holds more lines than it shows, so its top line
# is no longer the first.
scrolled() { stage applied | awk '$1 == "list-last-shown" {found = 1; top = $3} END {exit !(found && top > 0)}'; }
check "apply pass: the list scrolled to its newest line" scrolled
for n in 1 2 3 4 5 6 7; do
  check "apply pass: extra$n.txt done" has applied "line C:\\prod\\extra$n.txt更新完毕"
done

check "notes.txt installed" grep -q 'hello notes' "$prod/notes.txt"
check "archive sub-directory file unpacked into the target directory" grep -q 'read me' "$prod/readme.txt"
check "archive directory entry created under the working directory" test -d "$prod/docs"
check "corvex.chm installed into TargetPath" grep -q 'help file' "$prod/help/corvex.chm"
check "bible.ini correction list merged" grep -q '^WORD_GBK=a,b,c' "$prod/cfg/bible.ini"
check "bible.ini keeps its own UPDATEURL" grep -q "^UPDATEURL=http://127.0.0.1:$port/update.ini" "$prod/cfg/bible.ini"
check "no download left in update" bash -c "! ls '$prod/update' | grep -qiE '\\.upg\$|\\.zip\$|bible\\.ini'"
check "manifest copy deleted after the apply pass" bash -c "! find '$prefix/drive_c/users' -iname cvupdate.ini | grep -q ."
check "relaunched copy gone after it ended" test ! -e "$prod/cvupdate.exe"
check "manifest fetched with HTTP/1.0" grep -qx 'GET /update.ini HTTP/1.0' "$work/requests.log"
check "archives fetched once each" test "$(grep -c 'GET /files/.*\.zip' "$work/requests.log")" -eq 9
if [[ -n $programs ]]; then
  link=$(find "$programs" -iname '*.lnk' | head -n 1)
  check "help shortcut written" test -n "$link"
  if [[ -n $link ]]; then
    check "help shortcut has the hot key Ctrl+Alt+B" test "$(od -An -tx1 -j 64 -N 2 "$link" | tr -d ' ')" = 4206
    check "help shortcut opens the help file" grep -aqi 'help\\corvex.chm' <(tr -d '\000' <"$link")
    check "help shortcut takes its icon from cfg\envoke.exe" grep -aqi 'cfg\\envoke.exe' <(tr -d '\000' <"$link")
  fi
else
  fail "help shortcut: the prefix has no start-menu folder"
fi
check "extra files installed" test "$(cat "$prod"/extra[1-7].txt | grep -c '^extra')" -eq 7

# ---- Esc during a download, by keyboard -------------------------------------------------------
# Three words, no registry, in C:\prod3: Enter checks (the status holds two lines: the listing
# and its result), Tab and Shift+Tab move the focus, Enter updates, and Esc is pressed while the
# slow archive arrives: the download stops, nothing of it is installed and the dialog closes.
prod3=$prefix/drive_c/prod3
mkdir -p "$prod3"
cp "$updater" "$prod3/cvupdate.exe"
report3=$work/report3.txt
drive updater_dialog_escape "$report3" "$prod3" 'C:\prod3\cvupdate.exe' Corvex 2.0 "http://127.0.0.1:$port/update2.ini" -- \
  --escape "$(windows_path "$report3")" 'C:\prod3\cvupdate.exe'
driver3_status=$driven_status
gbk <"$report3" >"$artifacts/updater_dialog_escape_report.txt" || true
r=$artifacts/updater_dialog_escape_report.txt
check "escape run: the driver went through (exit $driver3_status)" test "$driver3_status" -eq 0
if [[ $driver3_status -ne 0 ]]; then
  grep -E '^(error|not-in-front)' "$r" || cat "$work/updater_dialog_escape.driver.out"
fi
check "escape run: dialog centred" begins initial "centred 1 "
check "escape run: status of two lines" has checked 'status 获取更新列表:\n有新资料文件需要更新!'
check "escape run: both status lines shown" begins checked "status-whole 1 "
check "escape run: update offered" has checked "button 更新(&U) 1"
check "escape run: focus on the update button" has checked "focus 1 1"
check "escape run: the update button is the default" has checked "default 1"
check "escape run: list lines without control characters" has checked "list-control-lines 0"
check "escape run: Tab moves the focus to Cancel" grep -qx 'tab 2' "$r"
check "escape run: Shift+Tab moves it back" grep -qx 'shift-tab 1' "$r"
check "escape run: during the download the button is disabled" has downloading "button 更新(&U) 0"
check "escape run: during the download the focus is on Cancel" has downloading "focus 2 1"
check "escape run: during the download Cancel is the default" has downloading "default 2"
check "escape run: the download is shown" has downloading "status 正在下载文件：/files/slow.zip"
check "escape run: the dialog closed soon after Esc" grep -qx '== closed' "$r"
check "escape run: the stopped archive installed nothing" test ! -e "$prod3/slow.txt"
check "escape run: no part of the download is left behind" \
  test -z "$(find "$prod3" -type f ! -iname cvupdate.exe ! -iname '*.ini' -print -quit)"
for st in checked downloading; do
  check "escape run: $st screenshot saved" test -s "$artifacts/updater_dialog_escape_$st.png"
done

# ---- second run: the running product, and Cancel during a download ----------------------------
# Three words: no registry, paths relative to the working directory C:\prod2. A program named
# Corvex.exe runs; the apply pass asks about it and ends it on OK. Cancel is pressed while the
# slow archive arrives: the download stops, nothing of it is installed and the dialog closes.
prod2=$prefix/drive_c/prod2
mkdir -p "$prod2"
cp "$updater" "$prod2/cvupdate.exe"
cp "$driver" "$prod2/Corvex.exe"
report2=$work/report2.txt
(cd "$prod2" && timeout 300 "$repo_root/cmake/wine-run.sh" "$prefix" \
  'C:\prod2\Corvex.exe' --idle >/dev/null 2>&1) &
product_job=$!
sleep 2
(cd "$prod2" && timeout 300 "$repo_root/cmake/wine-run.sh" "$prefix" \
  'C:\prod2\cvupdate.exe' Corvex 2.0 "http://127.0.0.1:$port/update2.ini" \
  >"$work/updater2.out" 2>&1) &
updater2_job=$!
driver2_status=0
timeout 300 "$repo_root/cmake/wine-run.sh" "$prefix" \
  "$driver" --cancel "$(windows_path "$report2")" >"$work/driver2.out" 2>&1 || driver2_status=$?
wait "$updater2_job" || true
product_running=0
kill -0 "$product_job" 2>/dev/null && product_running=1
wait_wine
gbk <"$report2" >"$artifacts/updater_dialog_cancel_report.txt" || true
r2=$artifacts/updater_dialog_cancel_report.txt
check "cancel run: the driver went through (exit $driver2_status)" test "$driver2_status" -eq 0
if [[ $driver2_status -ne 0 ]]; then
  grep '^error' "$r2" || cat "$work/driver2.out"
fi
check "cancel run: question about the running product" grep -qxF 'question Corvex已在运行！\n请先关闭程序才能进行更新！\n如果选择确定将强行关闭程序！' "$r2"
check "cancel run: the product was ended after OK" test "$product_running" -eq 0
check "cancel run: Cancel pressed during the download" grep -qxF 'downloading 正在下载文件：/files/slow.zip' "$r2"
check "cancel run: the dialog closed soon after Cancel" grep -qx '== closed' "$r2"
check "cancel run: the cancelled archive installed nothing" test ! -e "$prod2/slow.txt"
check "cancel run: no part of the download is left behind" \
  test -z "$(find "$prod2" -type f ! -iname cvupdate.exe ! -iname corvex.exe ! -iname '*.ini' -print -quit)"

# ---- the set-up tool updated once: its version is seen ---------------------------------------
# Three words again, in C:\prod4. The manifest offers the built envoke.exe as cfg\Envoke.exe with
# the version the build gives it. The first run installs it (and starts it with -q); the second
# sees the installed version and offers only marker.txt, a file that is never there.
envoke_exe=$build/bin/envoke.exe
fileversion=$(sed -n 's/^QUILLAX_FILEVERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
if [[ ! -f $envoke_exe || ! $fileversion =~ ^([0-9]+),([0-9]+),([0-9]+),([0-9]+)([0-9][0-9])$ ]]; then
  fail "set-up tool update: no envoke.exe or no QUILLAX_FILEVERSION in $build"
else
  label="Build ${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.${BASH_REMATCH[3]} ${BASH_REMATCH[4]}:${BASH_REMATCH[5]}"
  mkdir -p "$work/envoke-pack"
  cp "$envoke_exe" "$work/envoke-pack/Envoke.exe"
  printf 'marker\r\n' >"$work/envoke-pack/marker.txt"
  (cd "$work/envoke-pack" && zip -q "$site/files/envoke.zip" Envoke.exe && zip -q "$site/files/marker.zip" marker.txt)
  printf '[Envoke.exe]\r\nUpdateFile=/files/envoke.zip\r\nTargetPath=cfg\r\nVersion=%s\r\n' "$label" >"$site/update3.ini"
  cat "$site/update3.ini" >"$site/update4.ini"
  printf '[marker.txt]\r\nUpdateFile=/files/marker.zip\r\n' >>"$site/update4.ini"
  prod4=$prefix/drive_c/prod4
  mkdir -p "$prod4/cfg"
  cp "$updater" "$prod4/cvupdate.exe"
  # The installation the started set-up tool finds.
  printf '[bible]\r\nSYSKEY=corpa\r\n' >"$prod4/cfg/bible.ini"
  run_update() {  # run_update MANIFEST REPORT NAME: one dialog run driven through to its end
    drive "$3" "$2" "$prod4" 'C:\prod4\cvupdate.exe' Tessaly 1.0 "http://127.0.0.1:$port/$1" -- \
      "$(windows_path "$2")" 'C:\prod4\cvupdate.exe'
  }
  run_update update3.ini "$work/report-setup-tool.txt" updater_dialog_setup_tool
  gbk <"$work/report-setup-tool.txt" >"$artifacts/updater_dialog_setup_tool_report.txt" || true
  r3=$artifacts/updater_dialog_setup_tool_report.txt
  check "set-up tool update: the first run offers Envoke.exe" \
    bash -c "awk '/^== checked/{on=1;next}/^== /{on=0}on' '$r3' | grep -qx 'line Envoke.exe'"
  check "set-up tool update: the first run installs it" cmp -s "$envoke_exe" "$prod4/cfg/Envoke.exe"
  run_update update4.ini "$work/report-setup-tool-again.txt" updater_dialog_setup_tool_again
  gbk <"$work/report-setup-tool-again.txt" >"$artifacts/updater_dialog_setup_tool_again_report.txt" || true
  r4=$artifacts/updater_dialog_setup_tool_again_report.txt
  check "set-up tool update: the second run offers what is missing" \
    bash -c "awk '/^== checked/{on=1;next}/^== /{on=0}on' '$r4' | grep -qx 'line marker.txt'"
  check "set-up tool update: the second run offers no Envoke.exe ($label installed)" \
    bash -c "! grep -qx 'line Envoke.exe' '$r4'"
fi

finish
