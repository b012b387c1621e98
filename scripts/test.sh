#!/usr/bin/env bash
# Builds both targets and runs every test:
#
#   scripts/test.sh [PRESET...]      (default: native asan win32)
#
# 1. installs missing packages (scripts/install-deps.sh; skipped with QUILLAX_SKIP_DEPS=1),
# 2. for each preset: configure, build, ctest. `native` is the Linux release build, `asan` the
#    Linux debug build under AddressSanitizer and UndefinedBehaviorSanitizer (any finding fails),
#    `win32` the MinGW cross build whose tests run under Wine in a fresh Wine prefix.
#
# Stops at the first failure and says which step failed. Build logs are kept in build/logs.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

jobs=${QUILLAX_JOBS:-2}
presets=("$@")
if [[ ${#presets[@]} -eq 0 ]]; then
  presets=(native asan win32)
fi
for preset in "${presets[@]}"; do
  case $preset in
    native|native-debug|asan|win32) ;;
    *) echo "test.sh: unknown preset '$preset' (native, native-debug, asan, win32)" >&2; exit 2 ;;
  esac
done

log_dir=$repo_root/build/logs
mkdir -p "$log_dir"
summary=()
total_start=$SECONDS

banner() { printf '\n==== %s ====\n' "$*"; }

print_summary() {
  printf '\n==== summary ====\n'
  local line
  for line in "${summary[@]}"; do printf '  %s\n' "$line"; done
  printf '  total: %ds\n' $((SECONDS - total_start))
}

fail() {
  summary+=("FAILED: $*")
  print_summary
  printf '\ntest.sh: FAILED at: %s\n' "$*" >&2
  exit 1
}

# Runs one step, its output both shown and kept in build/logs/<name>.log.
step() {
  local name=$1
  shift
  local log=$log_dir/$name.log
  set +e
  "$@" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  return "$rc"
}

export CTEST_OUTPUT_ON_FAILURE=1
# CI runs without standard input; nothing here may wait for it.
exec </dev/null

if [[ ${QUILLAX_SKIP_DEPS:-0} != 1 ]]; then
  banner "dependencies"
  start=$SECONDS
  step deps bash scripts/install-deps.sh || fail "installing dependencies (scripts/install-deps.sh)"
  summary+=("dependencies: ok ($((SECONDS - start))s)")
fi

banner "sample data"
start=$SECONDS
# bible.ini of the sample installation is generated from a readable master; a stale or broken
# file fails here.
step sample-check python3 tools/sample/make_sample.py --check || fail "sample data: bible.ini is stale or breaks a rule"
step sample-tests python3 -m unittest discover -s tools/sample || fail "sample data: generator tests"
step song-check python3 tools/song/make_song.py --check || fail "sample data: 0102.mid is stale"
step kjv-tests python3 -m unittest discover -s tools/kjv || fail "sample data: Bible exporter tests"
summary+=("sample data: ok ($((SECONDS - start))s)")

for preset in "${presets[@]}"; do
  start=$SECONDS
  if [[ $preset == win32 ]]; then
    # A fresh Wine prefix for this test session; the first Windows program creates it. A Wine
    # server still lingering on the old one is stopped first.
    for prefix in build/win32/wineprefix build/win32/wineprefix-com; do
      if [[ -d $prefix ]]; then
        WINEPREFIX=$repo_root/$prefix wineserver -k >/dev/null 2>&1 || true
      fi
      rm -rf "$prefix" "$prefix.lock"
    done
  fi

  banner "$preset: configure"
  step "$preset-configure" cmake --preset "$preset" || fail "$preset: configure"

  banner "$preset: build"
  step "$preset-build" cmake --build --preset "$preset" -j "$jobs" || fail "$preset: build"
  warnings=$(grep -c -E '(^|[^a-z])warning:' "$log_dir/$preset-build.log" || true)
  build_time=$((SECONDS - start))

  banner "$preset: test"
  test_start=$SECONDS
  step "$preset-test" ctest --preset "$preset" -j "$jobs" || fail "$preset: tests (see output above)"
  passed=$(grep -E 'tests passed' "$log_dir/$preset-test.log" | tail -n 1 || true)
  summary+=("$preset: ok, build ${build_time}s ($warnings compiler warnings), tests $((SECONDS - test_start))s: ${passed:-no tests}")
done

# The Windows programs end to end under Wine: the engine's registration and scripting, and the
# set-up tool's actions.
if [[ " ${presets[*]} " == *" win32 "* ]]; then
  banner "Wine: engine library"
  start=$SECONDS
  step wine-engine bash tests/wine/run.sh build/win32 || fail "Wine: engine library tests"
  summary+=("Wine engine library: ok ($((SECONDS - start))s): $(tail -n 1 "$log_dir/wine-engine.log")")
  banner "Wine: set-up tool actions"
  start=$SECONDS
  step wine-setup bash tests/wine/setup_actions.sh build/win32 || fail "Wine: set-up tool actions"
  summary+=("Wine set-up actions: ok ($((SECONDS - start))s): $(tail -n 1 "$log_dir/wine-setup.log")")
fi

# The two builds of the set-up tool must write the same index bytes for the same modules.
if [[ " ${presets[*]} " == *" native "* && " ${presets[*]} " == *" win32 "* ]]; then
  banner "index bytes: Linux and Windows builds"
  start=$SECONDS
  step compare-indexes bash scripts/compare-indexes.sh build/native build/win32 ||
    fail "index bytes differ between the Linux and the Windows build"
  summary+=("index bytes: ok ($((SECONDS - start))s)")
fi

print_summary
echo
echo "test.sh: all passed"
