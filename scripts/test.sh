#!/usr/bin/env bash
# Builds both targets and runs every test:
#
#   scripts/test.sh [STAGE...]       (default: native browser asan win32 tsan fuzz)
#
# 1. installs missing packages (scripts/install-deps.sh; skipped with QUILLAX_SKIP_DEPS=1),
# 2. for each preset: configure, build, ctest. `native` is the Linux release build, `asan` the
#    Linux debug build under AddressSanitizer and UndefinedBehaviorSanitizer (any finding fails),
#    `win32` the MinGW cross build whose tests run under Wine in a fresh Wine prefix (built only,
#    and said so, where Wine's 32-bit runtime could not be installed).
# 3. `tsan`: the engine tests of the threaded parts (song player, MIDI device, timers) built and
#    run under ThreadSanitizer; any report fails. `fuzz`: the libFuzzer targets built with clang
#    in build/fuzz, each run for 20 s on its committed corpus (scripts/fuzz.sh runs them longer);
#    a finding fails and is kept in build/fuzz/findings.
#
# Stops at the first failure and says which step failed. Build logs are kept in build/logs.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

jobs=${QUILLAX_JOBS:-2}
presets=("$@")
if [[ ${#presets[@]} -eq 0 ]]; then
  presets=(native browser asan win32 tsan fuzz)
fi
for preset in "${presets[@]}"; do
  case $preset in
    native|native-debug|asan|win32|tsan|fuzz|browser) ;;
    *) echo "test.sh: unknown stage '$preset' (native, native-debug, asan, win32, tsan, fuzz, browser)" >&2; exit 2 ;;
  esac
done
# Seconds each fuzz target runs in the `fuzz` stage.
fuzz_seconds=${QUILLAX_FUZZ_SECONDS:-20}

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

# The Windows programs run under Wine's 32-bit runtime, looked for once the packages are in. A
# machine that could not install it (scripts/install-deps.sh says why), or whose kernel runs no
# 32-bit programs (Wine's 32-bit loader then fails with "Exec format error"), builds them in the
# win32 stage without running them, and the summary says why; QUILLAX_REQUIRE_WINE=1 fails instead.
win32_runs=true
wine_missing=""
if [[ " ${presets[*]} " == *" win32 "* ]]; then
  if [[ $(dpkg-query -W -f='${db:Status-Status}' wine32 2>/dev/null || true) != installed ]] ||
    ! command -v wine >/dev/null 2>&1; then
    wine_missing="Wine's 32-bit runtime, wine32, is not installed"
  elif ! WINEDEBUG=-all wine --version >/dev/null 2>&1; then
    wine_missing="Wine's 32-bit loader does not run: this kernel runs no 32-bit programs"
  fi
  if [[ -n $wine_missing ]]; then win32_runs=false; fi
fi

banner "sample data"
start=$SECONDS
# bible.ini of the sample installation is generated from a readable master; a stale or broken
# file fails here.
step sample-check python3 tools/sample/make_sample.py --check || fail "sample data: bible.ini is stale or breaks a rule"
step sample-tests python3 -m unittest discover -s tools/sample || fail "sample data: generator tests"
step sample-modules python3 tools/sample/make_modules.py --check || fail "sample data: text modules are stale or break a rule"
step sample-pictures python3 tools/sample/make_pictures.py --check || fail "sample data: pictures are stale"
step song-check python3 tools/song/make_song.py --check || fail "sample data: 0102.mid is stale"
step kjv-tests python3 -m unittest discover -s tools/kjv || fail "sample data: Bible exporter tests"
summary+=("sample data: ok ($((SECONDS - start))s)")

for preset in "${presets[@]}"; do
  # Stages of their own, below.
  [[ $preset == tsan || $preset == fuzz || $preset == browser ]] && continue
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

  if [[ $preset == win32 ]] && ! $win32_runs && [[ ${QUILLAX_REQUIRE_WINE:-0} == 1 ]]; then
    fail "win32: $wine_missing"
  fi

  banner "$preset: configure"
  step "$preset-configure" cmake --preset "$preset" || fail "$preset: configure"

  banner "$preset: build"
  step "$preset-build" cmake --build --preset "$preset" -j "$jobs" || fail "$preset: build"
  warnings=$(grep -c -E '(^|[^a-z])warning:' "$log_dir/$preset-build.log" || true)
  build_time=$((SECONDS - start))

  if [[ $preset == win32 ]] && ! $win32_runs; then
    summary+=("win32: built in ${build_time}s ($warnings compiler warnings); NOT RUN: its tests and programs ($wine_missing)")
    continue
  fi

  banner "$preset: test"
  test_start=$SECONDS
  step "$preset-test" ctest --preset "$preset" -j "$jobs" || fail "$preset: tests (see output above)"
  passed=$(grep -E 'tests passed' "$log_dir/$preset-test.log" | tail -n 1 || true)
  summary+=("$preset: ok, build ${build_time}s ($warnings compiler warnings), tests $((SECONDS - test_start))s: ${passed:-no tests}")
done

# The development host in headless Chromium (Playwright): needs the native build.
if [[ " ${presets[*]} " == *" browser "* ]]; then
  banner "browser: development host"
  start=$SECONDS
  if [[ ! -x build/native/bin/quillax-devhost ]]; then
    step browser-configure cmake --preset native || fail "browser: configure"
    step browser-build cmake --build --preset native -j "$jobs" --target quillax-devhost envoke ||
      fail "browser: build"
  fi
  step browser sh tests/browser/run.sh build/native || fail "browser: development host tests"
  latency=$(grep -o 'latency beyond OPENDELAYTIME[^,]*' "$log_dir/browser.log" | head -n 1 || true)
  summary+=("browser: ok ($((SECONDS - start))s) ${latency}")
fi

# The Windows programs end to end under Wine: the engine's registration and scripting, and the
# set-up tool's actions.
if [[ " ${presets[*]} " == *" win32 "* ]] && $win32_runs; then
  banner "Wine: engine library"
  start=$SECONDS
  step wine-engine bash tests/wine/run.sh build/win32 || fail "Wine: engine library tests"
  summary+=("Wine engine library: ok ($((SECONDS - start))s): $(tail -n 1 "$log_dir/wine-engine.log")")
  banner "Wine: set-up tool actions"
  start=$SECONDS
  step wine-setup bash tests/wine/setup_actions.sh build/win32 || fail "Wine: set-up tool actions"
  summary+=("Wine set-up actions: ok ($((SECONDS - start))s): $(tail -n 1 "$log_dir/wine-setup.log")")
  banner "Wine: updater dialog"
  start=$SECONDS
  step wine-updater bash tests/wine/updater_dialog.sh build/win32 || fail "Wine: updater dialog"
  summary+=("Wine updater dialog: ok ($((SECONDS - start))s): $(tail -n 1 "$log_dir/wine-updater.log")")
fi

# The threaded parts under ThreadSanitizer: play/stop/rewind stress of the song player, the MIDI
# device, the timers. FluidSynth's OpenMP loader is not instrumented, so it runs one thread.
if [[ " ${presets[*]} " == *" tsan "* ]]; then
  start=$SECONDS
  banner "tsan: configure and build"
  step tsan-configure cmake --preset tsan || fail "tsan: configure"
  step tsan-build cmake --build --preset tsan -j "$jobs" || fail "tsan: build"
  build_time=$((SECONDS - start))
  banner "tsan: threaded tests"
  test_start=$SECONDS
  step tsan-test env TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" OMP_NUM_THREADS=1 \
    build/tsan/bin/engine_tests --gtest_filter='*Midi*:*Song*:*Timer*' ||
    fail "tsan: threaded tests (see output above)"
  # A report without halting (a lock-order warning, say) still counts.
  if grep -q 'WARNING: ThreadSanitizer' "$log_dir/tsan-test.log"; then
    fail "tsan: ThreadSanitizer reported (see $log_dir/tsan-test.log)"
  fi
  passed=$(grep -E '^\[  PASSED  \]' "$log_dir/tsan-test.log" | tail -n 1 || true)
  summary+=("tsan: ok, build ${build_time}s, tests $((SECONDS - test_start))s: ${passed:-no tests}")
fi

# Every fuzz target for a bounded time on its committed corpus.
if [[ " ${presets[*]} " == *" fuzz "* ]]; then
  for target in $(bash scripts/fuzz.sh --list); do
    banner "fuzz: $target for ${fuzz_seconds}s"
    start=$SECONDS
    step "fuzz-$target" bash scripts/fuzz.sh "$target" "$fuzz_seconds" ||
      fail "fuzz: $target found a fault (input in build/fuzz/findings, log in $log_dir/fuzz-$target.log)"
    runs=$(grep -E '^stat::number_of_executed_units' "$log_dir/fuzz-$target.log" | awk '{print $2}' || true)
    summary+=("fuzz $target: ok ($((SECONDS - start))s, ${runs:-?} executions)")
  done
fi

# The two builds of the set-up tool must write the same index bytes for the same modules.
if [[ " ${presets[*]} " == *" native "* && " ${presets[*]} " == *" win32 "* ]] && $win32_runs; then
  banner "index bytes: Linux and Windows builds"
  start=$SECONDS
  step compare-indexes bash scripts/compare-indexes.sh build/native build/win32 ||
    fail "index bytes differ between the Linux and the Windows build"
  summary+=("index bytes: ok ($((SECONDS - start))s)")
fi

print_summary
echo
if [[ " ${presets[*]} " == *" win32 "* ]] && ! $win32_runs; then
  echo "test.sh: all passed, but the Windows programs were built without being run ($wine_missing)"
else
  echo "test.sh: all passed"
fi
