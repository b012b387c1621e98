#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build/fuzz) and runs one of them:
#
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
#   scripts/fuzz.sh midi_load_fuzz 3600 -jobs=2 -workers=2
#
# TARGET is a target of fuzz/CMakeLists.txt (midi_load_fuzz, midi_convert_fuzz); its seeds are
# fuzz/corpus/<name>/ (both MIDI targets: fuzz/corpus/midi). Inputs the fuzzer finds go to
# build/fuzz/corpus/<name>/, so the committed seeds stay small; a crashing input is saved as
# build/fuzz/findings/crash-* and the script fails. Reproduce one with
# `build/fuzz/bin/TARGET FILE`.
set -euo pipefail

if [[ $# -lt 2 ]]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

case $target in
  midi_load_fuzz|midi_convert_fuzz) corpus=midi ;;
  *) echo "fuzz.sh: unknown target '$target' (midi_load_fuzz, midi_convert_fuzz)" >&2; exit 2 ;;
esac

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUILLAX_FUZZ=ON >/dev/null
cmake --build "$build" --target "$target" -j "${QUILLAX_JOBS:-2}"

work=$build/corpus/$corpus
findings=$build/findings
mkdir -p "$work" "$findings"
# Inputs up to 4 KiB: a song file of that size already reaches every path of the parser.
# Leaks, like every other sanitizer report, are findings.
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "$build/bin/$target" -max_total_time="$seconds" -max_len=4096 -timeout=30 \
  -artifact_prefix="$findings/" -print_final_stats=1 "$@" "$work" "fuzz/corpus/$corpus"
