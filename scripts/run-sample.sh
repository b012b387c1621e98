#!/usr/bin/env bash
# Builds the Linux programs and runs the command-line host on the sample installation:
#
#   scripts/run-sample.sh [ARGS...]     (default ARGS: sample)
#
# Installs missing packages first (scripts/install-deps.sh; skipped with QUILLAX_SKIP_DEPS=1).
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_root"

if [[ ${QUILLAX_SKIP_DEPS:-0} != 1 ]]; then
  bash scripts/install-deps.sh
fi
cmake --preset native >/dev/null
cmake --build --preset native -j "${QUILLAX_JOBS:-2}" --target quillax-cli

if [[ $# -eq 0 ]]; then
  set -- sample
fi
exec build/native/bin/quillax-cli "$@"
