#!/usr/bin/env bash
# Builds every module index of a generated full-size installation twice, with the Linux envoke
# and with envoke.exe under Wine, and checks that both wrote byte-identical .inx files.
#
#   scripts/compare-indexes.sh [NATIVE_BUILD_DIR] [WIN32_BUILD_DIR]
#
# Needs both builds (presets native and win32) with quillax-synth and envoke.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$(realpath -m -- "${1:-$repo_root/build/native}")
win32=$(realpath -m -- "${2:-$repo_root/build/win32}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$native/bin/quillax-synth" "$work/linux" --seed 7 >/dev/null
cp -r "$work/linux" "$work/windows"

# The set-up tool takes its configuration directory from the directory it starts in.
(cd "$work/linux/cfg" && QUILLAX_REGISTRY="$work/registry" "$native/bin/envoke" -q >/dev/null)
(cd "$work/windows/cfg" && "$repo_root/cmake/wine-run.sh" "$win32/wineprefix" "$win32/bin/envoke.exe" -q)

count=0
while IFS= read -r -d '' index; do
  relative=${index#"$work/linux/"}
  if ! cmp -s "$index" "$work/windows/$relative"; then
    echo "compare-indexes: $relative differs between the Linux and the Windows build" >&2
    exit 1
  fi
  count=$((count + 1))
done < <(find "$work/linux" -iname '*.inx' -print0)

if [[ $count -eq 0 ]]; then
  echo "compare-indexes: no index was written" >&2
  exit 1
fi
echo "compare-indexes: $count indexes byte-identical between Linux and Windows (Wine)"
