#!/usr/bin/env bash
# Fails when the Linux engine library holds development or test code:
#
#   scripts/check_product_symbols.sh BUILD_DIR
#
# Reads the symbols (nm -C) of BUILD_DIR/lib/libquillax.so and of the static engine libraries it
# is made of (libquillax_engine_<folder>.a, engine/testing aside) and prints every one
# that names a stand-in (Fake..., the manual timers), the interaction script or the play command, or the test
# framework, with the file it is in.
set -euo pipefail

build=${1:?usage: check_product_symbols.sh BUILD_DIR}
pattern='Fake[A-Z]|ManualTimerService|InteractionScript|InteractCommand|PrepareSmallDesktop|ScopedEngineServices|PlayCommand|testing::|gtest|GTEST'

# One static library per engine folder (engine/CMakeLists.txt); an archive of another name in
# the build tree is not part of the library (or left over from an older layout).
repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
libraries=("$build/lib/libquillax.so")
for folder in "$repo_root"/engine/*/; do
  folder=$(basename "$folder")
  [[ $folder == testing ]] && continue
  archive=$build/lib/libquillax_engine_$folder.a
  [[ -e $archive ]] && libraries+=("$archive")
done

found=0
checked=0
for library in "${libraries[@]}"; do
  if [[ ! -f $library ]]; then
    echo "check_product_symbols: $library is missing (build the engine first)" >&2
    exit 2
  fi
  symbols=$(nm -C "$library" 2>/dev/null || true)
  # A stripped shared library keeps its dynamic table only.
  [[ -n $symbols ]] || symbols=$(nm -C -D "$library")
  checked=$((checked + 1))
  hits=$(grep -E "$pattern" <<<"$symbols" | sed -E 's/^[0-9a-f ]+ ?[A-Za-z] //' | sort -u || true)
  if [[ -n $hits ]]; then
    found=1
    count=$(wc -l <<<"$hits")
    echo "development or test code in $library ($count symbols):"
    head -n 40 <<<"$hits" | sed 's/^/  /'
    [[ $count -le 40 ]] || echo "  ... and $((count - 40)) more"
  fi
done
if [[ $found -ne 0 ]]; then
  exit 1
fi
echo "product symbols: ${checked} libraries, no stand-in, script driver or test symbol"
