#!/usr/bin/env bash
# Runs a Windows program of the win32 build under Wine:  wine-run.sh WINEPREFIX PROGRAM [ARGS...]
#
# Every program of one build shares one Wine prefix (its registry and C: drive), created on first
# use with `wineboot -i` and reused by later runs; scripts/test.sh removes it before a test session
# so that each session starts from a fresh one. Creation is serialised with a lock, because ctest
# may start several programs at once. Mono and Gecko are switched off while the prefix is created,
# so Wine shows no installer dialog, and Wine's debug output is silenced.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: $0 WINEPREFIX PROGRAM [ARGS...]" >&2
  exit 2
fi
# Wine wants an absolute prefix path.
WINEPREFIX=$(realpath -m -- "$1")
export WINEPREFIX
shift
export WINEDEBUG=${QUILLAX_WINEDEBUG:--all}
# Programs under test must not wait for a display.
unset DISPLAY WAYLAND_DISPLAY

if [[ ! -f $WINEPREFIX/system.reg ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || {
      echo "wine-run: could not create the Wine prefix $WINEPREFIX" >&2
      exit 1
    }
    # wineboot returns before the registry is written to disk; waiting for the server ends that.
    wineserver -w
  fi
  flock -u 9
  exec 9>&-
fi

exec wine "$@"
