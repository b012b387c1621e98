#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz) and runs them:
#
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]   one target for SECONDS
#   scripts/fuzz.sh --all SECONDS [libFuzzer options...]    every target in turn, SECONDS each
#   scripts/fuzz.sh --list                                  the names of the targets
#   scripts/fuzz.sh --build                                 build every target, run none
#   scripts/fuzz.sh --no-build TARGET SECONDS ...           run a target built before
#   scripts/fuzz.sh markup_fuzz 3600 -runs=10000000
#
# The targets are those of fuzz/CMakeLists.txt. Their seeds are fuzz/corpus/<target>/ (both MIDI
# targets share fuzz/corpus/midi); fuzz/make_corpus.py and fuzz/make_midi_corpus.py write them.
# The inputs of the faults found so far (fuzz/findings-report/) are replayed from
# fuzz/corpus/findings/<target>/, which the generators leave alone.
# `--build` and `--no-build` let several targets run at once from one build (scripts/test.sh
# runs them two at a time).
# Inputs the fuzzer finds go to build/fuzz/corpus/<name>/, so the committed seeds stay small; a
# crashing input is saved as build/fuzz/findings/crash-* (or leak-*, timeout-*) and the script
# fails. Reproduce one with `build/fuzz/bin/TARGET FILE`. QUILLAX_FUZZ_BUILD overrides the build
# folder.
set -euo pipefail

targets=(midi_load_fuzz midi_convert_fuzz config_fuzz module_fuzz markup_fuzz references_fuzz
  page_text_fuzz event_capture_fuzz manifest_fuzz archive_fuzz errata_fuzz import_fuzz
  system_tables_fuzz usfm_fuzz osis_fuzz)

usage() {
  echo "usage: scripts/fuzz.sh TARGET|--all SECONDS [libFuzzer options...]; scripts/fuzz.sh --list" >&2
  exit 2
}

if [[ ${1:-} == --list ]]; then
  printf '%s\n' "${targets[@]}"
  exit 0
fi
build_only=false
run_only=false
case ${1:-} in
  --build) build_only=true; set -- --all 0 ;;
  --no-build) run_only=true; shift ;;
esac
[[ $# -ge 2 ]] || usage
target=$1
seconds=$2
shift 2

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

if [[ $target == --all ]]; then
  selected=("${targets[@]}")
else
  found=false
  for t in "${targets[@]}"; do [[ $t == "$target" ]] && found=true; done
  if ! $found; then
    echo "fuzz.sh: unknown target '$target' (${targets[*]})" >&2
    exit 2
  fi
  selected=("$target")
fi

build=${QUILLAX_FUZZ_BUILD:-build/fuzz}
if ! $run_only; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUILLAX_FUZZ=ON >/dev/null
  cmake --build "$build" --target "${selected[@]}" -j "${QUILLAX_JOBS:-2}"
fi
$build_only && exit 0

# Absolute: some targets work in directories of their own while an input runs.
findings=$repo_root/$build/findings
mkdir -p "$findings"
for t in "${selected[@]}"; do
  case $t in
    midi_load_fuzz|midi_convert_fuzz) corpus=midi ;;
    *) corpus=$t ;;
  esac
  work=$build/corpus/$corpus
  mkdir -p "$work"
  seeds=("fuzz/corpus/$corpus")
  if [[ -d fuzz/corpus/findings/$corpus ]]; then seeds+=("fuzz/corpus/findings/$corpus"); fi
  echo "==== fuzz.sh: $t for ${seconds}s"
  # Inputs up to 4 KiB: a song, a record or a list of that size already reaches every path.
  # Leaks, like every other sanitizer report, are findings.
  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$build/bin/$t" -max_total_time="$seconds" -max_len=4096 -timeout=30 \
    -artifact_prefix="$findings/" -print_final_stats=1 "$@" "$work" "${seeds[@]}"
done
