#!/bin/sh
# Browser tests of the development host: installs the npm packages (npm ci), prepares a fresh
# copy of the sample installation (envoke builds its indexes and derives its main text), starts
# the quillax-devhost built in BUILD_DIR on a free port, runs the tests (every *.test.mjs here,
# one file after the other) in headless Chromium and stops the server. Screenshots go to
# build/browser-artifacts/ (the main views at two window sizes to build/browser-artifacts/views/).
# A test that restarts a server starts its own (DEVHOST_BIN, on DEVHOST_INSTALL, in
# DEVHOST_WORK). Exit status: the tests' result.
#
# usage: tests/browser/run.sh BUILD_DIR      (e.g. build/native)
set -eu

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
devhost="$build/bin/quillax-devhost"
envoke="$build/bin/envoke"
for program in "$devhost" "$envoke"; do
  if [ ! -x "$program" ]; then
    echo "run.sh: $program is missing (build the targets quillax-devhost and envoke)" >&2
    exit 2
  fi
done
chromium=${CHROMIUM:-/usr/bin/chromium}
if [ ! -x "$chromium" ]; then
  echo "run.sh: $chromium is missing (apt package chromium)" >&2
  exit 2
fi

(cd "$here" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)

work=$(mktemp -d "$build/browser-work.XXXXXX")
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

cp -R "$repo/sample" "$work/install"
export QUILLAX_REGISTRY="$work/registry"
(cd "$work/install/cfg" && "$envoke" -q >/dev/null)

"$devhost" "$work/install" --port 0 >"$work/server.out" 2>"$work/server.err" &
server=$!
url=""
tries=0
while [ -z "$url" ] && [ $tries -lt 100 ]; do
  if ! kill -0 "$server" 2>/dev/null; then
    echo "run.sh: quillax-devhost ended:" >&2
    cat "$work/server.err" >&2
    exit 1
  fi
  url=$(sed -n '1s/^quillax-devhost: \(http:[^ ]*\)$/\1/p' "$work/server.out")
  [ -n "$url" ] || sleep 0.1
  tries=$((tries + 1))
done
if [ -z "$url" ]; then
  echo "run.sh: quillax-devhost printed no address" >&2
  exit 1
fi
echo "run.sh: quillax-devhost at $url"

status=0
(cd "$repo" && DEVHOST_URL="$url" ARTIFACTS="$repo/build/browser-artifacts" CHROMIUM="$chromium" \
  DEVHOST_BIN="$devhost" DEVHOST_INSTALL="$work/install" DEVHOST_WORK="$work" \
  node --test --test-concurrency=1 "$here"/*.test.mjs) || status=$?

if ! kill -0 "$server" 2>/dev/null; then
  echo "run.sh: quillax-devhost did not survive the tests" >&2
  cat "$work/server.err" >&2
  status=1
fi
exit $status
