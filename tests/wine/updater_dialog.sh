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
# preset) presses the dialog's default button through next -> update -> finish and reports
# what the dialog shows at each stage: the layout of dialog resource 102, the status texts, the
# button captions and the list lines. Then the installed files, the merged bible.ini and the
# help shortcut are checked. A screenshot of the finished dialog goes to
# build/wine-artifacts/<win32 or win64>/updater_dialog.png (the report beside it).
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
head -c 400000 /dev/urandom >"$work/pack/slow.txt"
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
        for at in range(0, len(body), 8192):
            self.wfile.write(body[at:at + 8192])
            self.wfile.flush()
            time.sleep(0.05)
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
report=$work/report.txt
(cd "$prod/update" && timeout 300 "$repo_root/cmake/wine-run.sh" "$prefix" \
  'C:\prod\update\cvupdate.exe' >"$work/updater.out" 2>&1) &
updater_job=$!
timeout 300 "$repo_root/cmake/wine-run.sh" "$prefix" \
  "$driver" "$(windows_path "$report")" 'C:\prod\update\cvupdate.exe' >"$work/driver.out" 2>&1 &
driver_job=$!
mkdir -p "$artifacts"
for _ in $(seq 1800); do
  [[ -f $report.ready ]] && break
  kill -0 "$driver_job" 2>/dev/null || break
  sleep 0.1
done
if [[ -f $report.ready ]]; then
  sleep 0.5
  if DISPLAY=":$display" xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$artifacts/updater_dialog.png" 2>/dev/null; then
    :
  fi
  touch "$report.go"
fi
driver_status=0
wait "$driver_job" || driver_status=$?
wait "$updater_job" || true
wait_wine
gbk <"$report" >"$artifacts/updater_dialog_report.txt" || true
cp "$work/requests.log" "$artifacts/updater_dialog_requests.log" 2>/dev/null || true

# ---- the checks ---------------------------------------------------------------------------------
r=$artifacts/updater_dialog_report.txt
# The lines of one stage of the report.
stage() { awk -v s="== $1" '$0 == s {on = 1; next} /^== / {on = 0} on' "$r"; }
has() {  # has STAGE LINE: the stage holds exactly this line
  stage "$1" | grep -qxF -- "$2"
}

check "the driver went through next, update and finish (exit $driver_status)" test "$driver_status" -eq 0
if grep -q '^error' "$r"; then
  echo "updater_dialog: driver: $(grep '^error' "$r")"
fi
if [[ $driver_status -ne 0 ]]; then
  echo "updater_dialog: driver output:"
  cat "$work/driver.out"
fi

check "caption" has initial "caption Tessaly在线更新 1.0"
check "font 宋体 9 points" bash -c "grep -qx 'template-font 宋体 9' '$r'"
check "shown in the task bar" has initial "appwindow 1"
check "default button: id, position, caption" has initial "control 1 Button 182 166 50 14 下一步(&N)"
check "cancel button" has initial "control 2 Button 239 166 50 14 取消(&C)"
# The picture control takes the size of its bitmap and the etched line a height of its own, so
# only their place is compared.
check "picture" bash -c "awk '/^== initial/{on=1;next}/^== /{on=0}on' '$r' | grep -q '^control 1000 Static 0 0 '"
check "status text" has initial "control 1012 Static 119 145 198 8 点击下一步查看可用的更新"
check "progress bar" has initial "control 1002 msctls_progress32 119 127 201 12 "
check "separator" bash -c "awk '/^== initial/{on=1;next}/^== /{on=0}on' '$r' | grep -q '^control -1 Static 119 157 '"
check "heading" has initial "control -1 Static 119 7 137 8 以下产品或组件已安装在您的系统上："
check "list box" has initial "control 1011 ListBox 112 19 207 104 "
check "initial status" has initial "status 点击下一步查看可用的更新"
check "initial button enabled" has initial "button 下一步(&N) 1"
# Without a registered engine the product line is a blank and an empty label.
check "product line" has initial "line  "

check "check pass: update offered" has checked "button 更新(&U) 1"
check "check pass: status" has checked 'status 完成更新!有新资料文件需要更新!'
check "check pass: list heading" has checked 'line 获取更新列表:\n'
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
check "dialog closed by the finish button" bash -c "grep -qx '== closed' '$r'"

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
check "archives fetched once each" test "$(grep -c 'GET /files/.*\.zip' "$work/requests.log")" -eq 2
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
check "screenshot saved" test -s "$artifacts/updater_dialog.png"

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

finish
