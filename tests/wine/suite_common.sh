# Shared by the Wine suites of tests/wine (run.sh, setup_actions.sh, updater_dialog.sh); sourced
# once `build` names the Windows build folder (win32 or win64 preset):
#
#   wine_arch              the build's Wine architecture (win32 or win64, from its CMakeCache.txt),
#                          also exported as QUILLAX_WINE_ARCH for cmake/wine-run.sh
#   wine_in PREFIX PROG..  runs a Windows program (or one of Wine's: reg, regsvr32, cscript) in
#                          the prefix through cmake/wine-run.sh: the build's loader, the Chinese
#                          locale, a copy of QUILLAX_WINE_TEMPLATE as a new prefix
#   windows_path PATH      a Linux path as Windows sees it (drive Z: is the Linux root)
#   pass / fail / check    count one check and print it; `finish` prints the last line
#                          "N passed, N failed" and returns 1 when a check failed
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
