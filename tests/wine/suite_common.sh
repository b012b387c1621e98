# Shared by the Wine suites of tests/wine (run.sh, setup_actions.sh, updater_dialog.sh); sourced
# once `build` names the Windows build folder (win32 or win64 preset):
#
#   wine_arch              the build's Wine architecture (win32 or win64, from its CMakeCache.txt),
#                          also exported as QUILLAX_WINE_ARCH for cmake/wine-run.sh
#   wine_in PREFIX PROG..  runs a Windows program (or one of Wine's: reg, regsvr32, cscript) in
#                          the prefix through cmake/wine-run.sh: the build's loader, the Chinese
#                          locale, a copy of QUILLAX_WINE_TEMPLATE as a new prefix
#   windows_path PATH      a Linux path as Windows sees it (drive Z: is the Linux root)
#   wine_reg_value PREFIX KEY [VALUE]   a registry value's data as reg.exe reads it
#   pass / fail / check    count one check and print it; `finish` prints the last line
#                          "N passed, N failed" and returns 1 when a check failed
#   start_display WORK GEOMETRY   a virtual X display (Xvfb) for the suite's Wine programs
#   prepare_display_prefix PREFIX  the prefix's windows drawn readably on that display
#
# A suite has no skips: what it cannot check is a failure.

# The suite's own text tools read Wine's output byte for byte (it is GBK: Wine runs in the
# Chinese locale).
export LC_ALL=C

suite_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

wine_arch=$(sed -n 's/^QUILLAX_WINE_ARCH:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
if [[ $wine_arch != win32 && $wine_arch != win64 ]]; then
  echo "$(basename "$0"): $build is no configured Windows build (no QUILLAX_WINE_ARCH in its CMakeCache.txt)" >&2
  exit 2
fi
export QUILLAX_WINE_ARCH=$wine_arch

wine_in() { "$suite_repo/cmake/wine-run.sh" --arch "$wine_arch" "$@"; }
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
# The data of a registry value of the prefix, or nothing (exit code 1) when it is missing:
# reg.exe prints the value as "    NAME    REG_SZ    DATA". Without VALUE the key's default value.
wine_reg_value() {  # wine_reg_value PREFIX KEY [VALUE]
  local prefix=$1 out
  shift
  if [[ $# -ge 2 ]]; then
    out=$(wine_in "$prefix" reg query "$1" /v "$2" 2>/dev/null) || return 1
  else
    out=$(wine_in "$prefix" reg query "$1" /ve 2>/dev/null) || return 1
  fi
  printf '%s\n' "$out" | tr -d '\r' | sed -n 's/.*REG_[A-Z_]*[[:space:]]*//p' | head -n 1
}

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok: $*"; }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  echo "$passed passed, $failed failed"
  [[ $failed -eq 0 ]]
}

# Starts a virtual X display of the suite's own (Xvfb on the first free number from 90 on, with
# a screen of GEOMETRY such as 1280x800x24, its log in WORK) and has the suite's Wine programs
# use it (QUILLAX_WINE_DISPLAY); sets `display` and `xvfb_pid`, which the suite's clean-up ends.
# Exits with status 2 when no display starts.
start_display() {  # start_display WORK GEOMETRY
  local n
  display=
  for n in $(seq 90 130); do
    if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then
      display=$n
      break
    fi
  done
  if [[ -z $display ]]; then
    echo "$(basename "$0"): no free X display number" >&2
    exit 2
  fi
  Xvfb ":$display" -screen 0 "$2" -nolisten tcp >"$1/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -S /tmp/.X11-unix/X$display ]] && break
    sleep 0.1
  done
  if [[ ! -S /tmp/.X11-unix/X$display ]]; then
    echo "$(basename "$0"): Xvfb did not start:" >&2
    cat "$1/xvfb.log" >&2
    exit 2
  fi
  export QUILLAX_WINE_DISPLAY=":$display"
}

# No window manager runs on the virtual display: Wine draws the captions and frames itself. The
# dialogs' font, 宋体, is a Windows font; WenQuanYi Micro Hei (fonts-wqy-microhei) stands in for
# it when installed, since it has Latin letters as well as Chinese characters.
prepare_display_prefix() {  # prepare_display_prefix PREFIX
  local face
  wine_in "$1" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  if fc-list 2>/dev/null | grep -qi 'WenQuanYi Micro Hei'; then
    for face in 宋体 SimSun; do
      wine_in "$1" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d 'WenQuanYi Micro Hei' /f >/dev/null 2>&1
    done
  fi
}
