#!/usr/bin/env bash
# Builds both targets and runs every test:
#
#   scripts/test.sh [--win64-only] [STAGE...]   (default: native browser asan win32 win64 tsan fuzz)
#
# 1. installs missing packages (scripts/install-deps.sh; skipped with QUILLAX_SKIP_DEPS=1),
#    Then, before any build, a check that no source folder includes a folder that includes it
#    back (scripts/check_include_cycles.py, with its tests).
# 2. for each preset: configure, build, ctest. `native` is the Linux release build, `asan` the
#    Linux debug build under AddressSanitizer and UndefinedBehaviorSanitizer (any finding fails),
#    `win32` and `win64` the MinGW cross builds for 32-bit and 64-bit Windows, whose tests run
#    under Wine of their architecture, followed by the Wine end-to-end suites of tests/wine
#    (engine library, set-up tool actions, updater dialog, installer). Each Windows build also
#    gets its installer (installer/build.sh: build/<preset>/dist/quillax-setup-VERSION.exe),
#    built whether or not the build runs here. After the `native` build, the engine library is
#    checked for stand-in, script-driver and test symbols (scripts/check_product_symbols.sh).
# 3. `browser`: the development host in headless Chromium. `tsan`: the engine tests of the
#    threaded parts (song player, MIDI device, timers, the writers of bible.ini) under
#    ThreadSanitizer; any report fails.
#    `fuzz`: the libFuzzer targets, built once with clang in build/fuzz and run two at a time,
#    each for 20 s on its committed corpus (scripts/fuzz.sh runs them longer); a finding fails
#    and is kept in build/fuzz/findings.
# 4. the index bytes written by the Linux and the Windows set-up tool are compared, with each
#    Windows build that ran.
#
# Where 32-bit programs run, both Windows builds run. Where they do not (a kernel without 32-bit
# support: Wine's 32-bit loader fails with "Exec format error"), win32 is built without being
# run and win64 runs; the summary says which ran. `--win64-only` (or QUILLAX_WIN64_ONLY=1) takes
# that path on any machine. A run in which no requested Windows build can run fails.
#
# Every test program's cases are counted (GoogleTest reports in build/<preset>/test-results); a
# failed case fails the stage, and so does a skipped case unless tests/expected-skips.txt expects
# it in that build. Stops at the first failure and says which step failed. Build logs are kept in
# build/logs.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

all_stages=(native browser asan win32 win64 tsan fuzz)
win64_only=false
[[ ${QUILLAX_WIN64_ONLY:-0} == 1 ]] && win64_only=true
stages=()
for arg in "$@"; do
  case $arg in
    --win64-only) win64_only=true ;;
    native|native-debug|asan|win32|win64|tsan|fuzz|browser) stages+=("$arg") ;;
    *)
      echo "test.sh: unknown stage '$arg' (${all_stages[*]} native-debug; option --win64-only)" >&2
      exit 2
      ;;
  esac
done
if [[ ${#stages[@]} -eq 0 ]]; then
  stages=("${all_stages[@]}")
fi
wants() { [[ " ${stages[*]} " == *" $1 "* ]]; }
jobs=${QUILLAX_JOBS:-2}
# Seconds each fuzz target runs in the `fuzz` stage.
fuzz_seconds=${QUILLAX_FUZZ_SECONDS:-20}

log_dir=$repo_root/build/logs
mkdir -p "$log_dir"
summary=()
total_start=$SECONDS

count_warnings() { grep -c -E '(^|[^a-z])warning:' "$log_dir/$1.log" || true; }
early_win64_warnings=0

banner() { printf '\n==== %s ====\n' "$*"; }

print_summary() {
  printf '\n==== summary ====\n'
  local line
  for line in "${summary[@]}"; do printf '  %s\n' "$line"; done
  printf '  total: %ds\n' $((SECONDS - total_start))
}

# Printed after the failure line: what a reader needs to replay it elsewhere.
failure_detail=
fail() {
  summary+=("FAILED: $*")
  print_summary
  printf '\ntest.sh: FAILED at: %s\n' "$*" >&2
  [[ -z $failure_detail ]] || printf '%s\n' "$failure_detail" >&2
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

# The last line of a step's log (a suite's count of its checks).
last_line() { tail -n 1 "$log_dir/$1.log"; }

export CTEST_OUTPUT_ON_FAILURE=1
# CI runs without standard input; nothing here may wait for it.
exec </dev/null

if [[ ${QUILLAX_SKIP_DEPS:-0} != 1 ]]; then
  banner "dependencies"
  start=$SECONDS
  step deps bash scripts/install-deps.sh || fail "installing dependencies (scripts/install-deps.sh)"
  summary+=("dependencies: ok ($((SECONDS - start))s)")
fi

# Which Windows builds run here, decided once the packages are in: a build is built in any case;
# its programs run when Wine of its architecture starts programs on this machine.
run_win32=false
run_win64=false
why_not_win32=""
why_not_win64=""
if wants win32; then
  if $win64_only; then
    why_not_win32="the 64-bit-only switch is on"
  elif cmake/wine-run.sh --arch win32 --can-run; then
    run_win32=true
  else
    why_not_win32="32-bit programs do not run here (Wine's 32-bit loader cannot start, or wine32 is missing)"
  fi
fi
if wants win64; then
  if cmake/wine-run.sh --arch win64 --can-run; then
    run_win64=true
  else
    why_not_win64="64-bit Wine cannot start programs here (is wine64 installed?)"
  fi
fi
if (wants win32 || wants win64) && ! $run_win32 && ! $run_win64; then
  fail "no Windows build can run here: ${why_not_win32:-win32 not requested}; ${why_not_win64:-win64 not requested}"
fi
windows_ran=()

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

banner "include cycles"
start=$SECONDS
# No source folder includes a folder that includes it back (scripts/check_include_cycles.py).
step include-check-tests python3 -m unittest discover -s scripts -p 'check_*_test.py' ||
  fail "include check: its own tests"
step include-check python3 scripts/check_include_cycles.py || fail "include check: a cycle between folders (see above)"
summary+=("include cycles: ok ($((SECONDS - start))s): $(last_line include-check)")

# Counts the cases of a stage's reports and checks them and its skips
# (scripts/check-test-cases.py); the last line of its log sums them up for the summary.
count_cases() {  # count_cases PRESET RESULTS_DIR CHECK-OPTIONS...
  local preset=$1 results=$2
  shift 2
  step "$preset-cases" python3 scripts/check-test-cases.py "$results" "$preset" "$@" ||
    fail "$preset: a test program ended early, or a case failed or skipped unexpectedly (see $log_dir/$preset-cases.log)"
}

# The three Wine end-to-end suites of a Windows build that runs.
wine_suites() {  # wine_suites PRESET
  local preset=$1 start
  banner "Wine ($preset): engine library"
  start=$SECONDS
  step "wine-engine-$preset" bash tests/wine/run.sh "build/$preset" || fail "Wine ($preset): engine library tests"
  summary+=("Wine engine library ($preset): ok ($((SECONDS - start))s): $(last_line "wine-engine-$preset")")
  banner "Wine ($preset): set-up tool actions"
  start=$SECONDS
  step "wine-setup-$preset" bash tests/wine/setup_actions.sh "build/$preset" || fail "Wine ($preset): set-up tool actions"
  summary+=("Wine set-up actions ($preset): ok ($((SECONDS - start))s): $(last_line "wine-setup-$preset")")
  banner "Wine ($preset): updater dialog"
  start=$SECONDS
  step "wine-updater-$preset" bash tests/wine/updater_dialog.sh "build/$preset" || fail "Wine ($preset): updater dialog"
  summary+=("Wine updater dialog ($preset): ok ($((SECONDS - start))s): $(last_line "wine-updater-$preset")")
  banner "Wine ($preset): installer"
  start=$SECONDS
  step "wine-installer-$preset" bash tests/wine/installer.sh "build/$preset" || fail "Wine ($preset): installer"
  summary+=("Wine installer ($preset): ok ($((SECONDS - start))s): $(last_line "wine-installer-$preset")")
}

for preset in "${stages[@]}"; do
  # Stages of their own, below.
  [[ $preset == tsan || $preset == fuzz || $preset == browser ]] && continue
  start=$SECONDS
  windows=false
  runs=true
  case $preset in
    win32) windows=true; runs=$run_win32 ;;
    win64) windows=true; runs=$run_win64 ;;
  esac
  unset QUILLAX_WINE_TEMPLATE
  if $windows; then
    # Fresh Wine prefixes for this test session, after stopping a Wine server still lingering on
    # an old one. The template prefix is made once (by the first program that needs a prefix)
    # and copied for the unit tests and for each suite, which change their prefix's registry.
    for prefix in build/$preset/wineprefix*; do
      [[ -d $prefix ]] && { WINEPREFIX=$repo_root/$prefix wineserver -k >/dev/null 2>&1 || true; }
      rm -rf "$prefix"
    done
    export QUILLAX_WINE_TEMPLATE=$repo_root/build/$preset/wineprefix-template
  fi

  banner "$preset: configure"
  step "$preset-configure" cmake --preset "$preset" || fail "$preset: configure"

  banner "$preset: build"
  step "$preset-build" cmake --build --preset "$preset" -j "$jobs" || fail "$preset: build"
  warnings=$(count_warnings "$preset-build")
  # The 64-bit engine library built early for the win32 installer counts with its own build.
  [[ $preset == win64 ]] && warnings=$((warnings + early_win64_warnings))
  if $windows; then
    # The win32 installer carries the 64-bit engine for 64-bit Windows, and its Wine suite checks
    # that on a 64-bit system: so the 64-bit engine library is built before it, not only in the
    # win64 stage that comes later (that stage then finds it up to date).
    if [[ $preset == win32 ]] && command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
      banner "win64: engine library for the win32 installer"
      step win64-configure cmake --preset win64 || fail "win64: configure"
      step win64-engine-for-installer cmake --build --preset win64 -j "$jobs" --target quillax ||
        fail "win64: engine library for the win32 installer"
      early_win64_warnings=$(count_warnings win64-engine-for-installer)
    fi
    banner "$preset: installer"
    step "$preset-installer" bash installer/build.sh "build/$preset" || fail "$preset: installer (installer/build.sh)"
  fi
  if [[ $preset == native ]]; then
    # The engine library holds product code only: no stand-in, script driver or test symbol.
    step native-symbols bash scripts/check_product_symbols.sh build/native ||
      fail "native: development or test code in the engine library (see above)"
  fi
  build_time=$((SECONDS - start))

  if ! $runs; then
    why=$why_not_win32
    [[ $preset == win64 ]] && why=$why_not_win64
    summary+=("$preset: built in ${build_time}s ($warnings compiler warnings); NOT RUN: $why")
    continue
  fi

  banner "$preset: test"
  test_start=$SECONDS
  results=$repo_root/build/$preset/test-results
  rm -rf "$results"
  mkdir -p "$results"
  # Each GoogleTest program writes its cases to results/<program>.json; a Windows program finds
  # the folder on drive Z:, the Linux root.
  gtest_results=$results/
  $windows && gtest_results=Z:$results/
  # A Windows test program that fails is run once more: Wine's client can lose its server
  # connection before the program starts ("wine client error ... recvmsg"); a real failure fails
  # twice. The log keeps both runs.
  retry=()
  $windows && retry=(--repeat until-pass:2)
  step "$preset-test" env GTEST_OUTPUT="json:$gtest_results" ctest --preset "$preset" -j "$jobs" "${retry[@]}" ||
    fail "$preset: tests (see output above)"
  programs=$(grep -E 'tests passed' "$log_dir/$preset-test.log" | tail -n 1 || true)
  # Every GoogleTest program the preset's tests run must have left its report.
  ctest --preset "$preset" --show-only=json-v1 >"$log_dir/$preset-ctest-list.json" ||
    fail "$preset: cannot list the tests"
  count_cases "$preset" "$results" --ctest-list "$log_dir/$preset-ctest-list.json"
  summary+=("$preset: ok, build ${build_time}s ($warnings compiler warnings), tests $((SECONDS - test_start))s: ${programs:-no tests}; $(last_line "$preset-cases")")
  if $windows; then
    wine_suites "$preset"
    windows_ran+=("$preset")
  fi
done
unset QUILLAX_WINE_TEMPLATE

# The development host in headless Chromium (Playwright): needs the native build.
if wants browser; then
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

# The threaded parts under ThreadSanitizer: play/stop/rewind stress of the song player, the MIDI
# device, the timers. FluidSynth's OpenMP loader is not instrumented, so it runs one thread.
if wants tsan; then
  start=$SECONDS
  banner "tsan: configure and build"
  step tsan-configure cmake --preset tsan || fail "tsan: configure"
  step tsan-build cmake --build --preset tsan -j "$jobs" || fail "tsan: build"
  build_time=$((SECONDS - start))
  banner "tsan: threaded tests"
  test_start=$SECONDS
  results=$repo_root/build/tsan/test-results
  rm -rf "$results"
  mkdir -p "$results"
  step tsan-test env TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" OMP_NUM_THREADS=1 \
    GTEST_OUTPUT="json:$results/" build/tsan/bin/engine_tests --gtest_filter='*Midi*:*Song*:*Timer*:*ConfigWriters*' ||
    fail "tsan: threaded tests (see output above)"
  # A report without halting (a lock-order warning, say) still counts.
  if grep -q 'WARNING: ThreadSanitizer' "$log_dir/tsan-test.log"; then
    fail "tsan: ThreadSanitizer reported (see $log_dir/tsan-test.log)"
  fi
  count_cases tsan "$results" --programs engine_tests
  summary+=("tsan: ok, build ${build_time}s, tests $((SECONDS - test_start))s; $(last_line tsan-cases)")
fi

# Every fuzz target for a bounded time on its committed corpus, two at a time from one build.
if wants fuzz; then
  banner "fuzz: build"
  start=$SECONDS
  step fuzz-build bash scripts/fuzz.sh --build || fail "fuzz: build"
  summary+=("fuzz build: ok ($((SECONDS - start))s)")
  mapfile -t fuzz_targets < <(bash scripts/fuzz.sh --list)
  for ((i = 0; i < ${#fuzz_targets[@]}; i += 2)); do
    pair=("${fuzz_targets[@]:i:2}")
    banner "fuzz: ${pair[*]} for ${fuzz_seconds}s"
    start=$SECONDS
    pids=()
    for target in "${pair[@]}"; do
      bash scripts/fuzz.sh --no-build "$target" "$fuzz_seconds" >"$log_dir/fuzz-$target.log" 2>&1 &
      pids+=($!)
    done
    statuses=()
    for pid in "${pids[@]}"; do
      status=0
      wait "$pid" || status=$?
      statuses+=("$status")
    done
    for j in "${!pair[@]}"; do
      target=${pair[$j]}
      tail -n 15 "$log_dir/fuzz-$target.log"
      if [[ ${statuses[$j]} -ne 0 ]]; then
        # What the target reported and the input itself, so that a finding on another machine
        # (a CI run whose build folder is gone) can be replayed from this output alone.
        reason=$(grep -E "^$target: |^SUMMARY: |^==[0-9]+==ERROR: " "$log_dir/fuzz-$target.log" | head -n 3 | tr '\n' ' ')
        input=$(sed -n 's/^.*Test unit written to \(.*\)$/\1/p' "$log_dir/fuzz-$target.log" | tail -n 1)
        if [[ -n $input && -f $input ]]; then
          failure_detail="fuzz: $target: the input, base64 (base64 -d > input; build/fuzz/bin/$target input):"$'\n'$(base64 -w 100 "$input")
        fi
        fail "fuzz: $target found a fault: ${reason:-see the log} (input in build/fuzz/findings, log in $log_dir/fuzz-$target.log)"
      fi
      runs=$(grep -E '^stat::number_of_executed_units' "$log_dir/fuzz-$target.log" | awk '{print $2}' || true)
      summary+=("fuzz $target: ok ($((SECONDS - start))s, ${runs:-?} executions)")
    done
  done
fi

# The two builds of the set-up tool must write the same index bytes for the same modules: the
# Linux build against each Windows build that ran.
if wants native; then
  for preset in "${windows_ran[@]}"; do
    banner "index bytes: Linux and Windows ($preset) builds"
    start=$SECONDS
    step "compare-indexes-$preset" bash scripts/compare-indexes.sh build/native "build/$preset" ||
      fail "index bytes differ between the Linux and the Windows ($preset) build"
    summary+=("index bytes ($preset): ok ($((SECONDS - start))s): $(last_line "compare-indexes-$preset")")
  done
fi

if wants win32 || wants win64; then
  ran="${windows_ran[*]}"
  line="Windows builds run: ${ran// / and }"
  if wants win32 && ! $run_win32; then line+="; win32 built only ($why_not_win32)"; fi
  summary+=("$line")
fi
print_summary
echo
echo "test.sh: all passed"
