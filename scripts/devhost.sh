#!/usr/bin/env bash
# Builds the development host and starts it: the engine in a real browser.
#
#   scripts/devhost.sh [INSTALL_DIR] [--port N] [--fresh]
#
# Builds quillax-devhost and envoke (preset native, build/native), prepares the installation
# and serves the host page on 127.0.0.1; open the address it prints. Without INSTALL_DIR the
# installation is a copy of sample/ in build/native/devhost-sample, on which envoke builds the
# indexes and derives the main text the first time (--fresh makes a new copy; the source tree
# never changes). Settings changed in the page are written to that copy's bible.ini.
# Installs missing packages first (scripts/install-deps.sh; skipped with QUILLAX_SKIP_DEPS=1).
# Stop with Ctrl-C.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

args=()
fresh=0
while [[ $# -gt 0 ]]; do
  case $1 in
    --fresh) fresh=1; shift ;;
    --port)
      [[ $# -ge 2 ]] || { echo "usage: $0 [INSTALL_DIR] [--port N] [--fresh]" >&2; exit 2; }
      args+=(--port "$2"); shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) args+=("$(cd "$1" && pwd)"); shift ;;
  esac
done

if [[ ${QUILLAX_SKIP_DEPS:-0} != 1 ]]; then
  bash scripts/install-deps.sh
fi
cmake --preset native >/dev/null
cmake --build --preset native -j "${QUILLAX_JOBS:-2}" --target quillax-devhost envoke

copy=build/native/devhost-sample
if [[ $fresh == 1 && -d $copy ]]; then
  # Only the copy this script made is removed.
  rm -rf -- "$copy"
fi
# Without INSTALL_DIR quillax-devhost makes the copy itself when it is missing: sample/ is
# copied and envoke -q builds its indexes and derives its main text.
exec build/native/bin/quillax-devhost "${args[@]}"
