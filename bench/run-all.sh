#!/usr/bin/env bash
# Runs every benchmark of bench/ with its side-by-side anchors in one run and prints one table
# of figures, targets and ratios (bench/table.py):
#
#   bench/run-all.sh [--repetitions N] [--markdown]
#
# Builds the Linux release build (preset native, build/native) with the benchmark programs,
# exports the King James text from Debian's sword-text-kjv for the import benchmark (and its
# imp2vs anchor) and as OSIS with mod2osis (for the OSIS import and its osis2mod anchor), runs
# each program with N repetitions (default 5) and keeps the Google
# Benchmark JSON files in build/bench/. The browser latency of the development host is added
# when build/browser-artifacts/browser-latency.json exists (the browser tests write it).
# Exit status 1 when a figure misses its target.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

repetitions=5
table_args=()
while [[ $# -gt 0 ]]; do
  case $1 in
    --repetitions) repetitions=$2; shift 2 ;;
    --markdown) table_args+=(--markdown); shift ;;
    *) echo "run-all.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

if [[ ${QUILLAX_SKIP_DEPS:-0} != 1 ]]; then
  bash scripts/install-deps.sh >/dev/null
fi

programs=(text_store_bench import_bench page_bench updater_bench midi_bench)
echo "run-all: building ${programs[*]} (preset native)" >&2
cmake --preset native >/dev/null
cmake --build --preset native -j "${QUILLAX_JOBS:-2}" --target "${programs[@]}" quillax-cli >/dev/null

results=$repo_root/build/bench
rm -rf "$results"
mkdir -p "$results"

kjv=$results/kjv.txt
if python3 tools/kjv/export_kjv.py "$kjv" 2>"$results/kjv.log"; then
  export QUILLAX_BENCH_IMPORT_FILE=$kjv
else
  echo "run-all: the King James text could not be exported; the import runs on a synthetic text" >&2
fi

# The OSIS import and its osis2mod anchor read the King James Version as SWORD exports it.
osis=$results/kjv.osis.xml
if command -v mod2osis >/dev/null 2>&1 && mod2osis engKJV2006eb >"$osis" 2>"$results/mod2osis.log"; then
  export QUILLAX_BENCH_OSIS_FILE=$osis
else
  echo "run-all: the King James text could not be exported as OSIS; the OSIS rows are skipped" >&2
fi

for program in "${programs[@]}"; do
  echo "run-all: $program" >&2
  if ! "build/native/bin/$program" --benchmark_repetitions="$repetitions" \
      --benchmark_report_aggregates_only=true --benchmark_out_format=json \
      --benchmark_out="$results/$program.json" >"$results/$program.txt" 2>&1; then
    echo "run-all: $program failed, see $results/$program.txt" >&2
  fi
done

latency=build/browser-artifacts/browser-latency.json
[[ -f $latency ]] && cp "$latency" "$results/"

echo "machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),"\
     "$(awk '/MemTotal/ {printf "%.0f GB", $2/1048576}' /proc/meminfo); load average $(cut -d' ' -f1-3 /proc/loadavg)"
python3 bench/table.py "$results" "${table_args[@]}"
