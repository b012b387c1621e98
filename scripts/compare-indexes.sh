#!/usr/bin/env bash
# Builds every module index of a generated full-size installation twice, with the Linux envoke
# and with envoke.exe of a Windows build under Wine, and checks that both wrote byte-identical
# .inx files.
#
#   scripts/compare-indexes.sh [NATIVE_BUILD_DIR] [WINDOWS_BUILD_DIR]
#
# Needs the native build (quillax-synth, envoke) and a Windows build (preset win32 or win64,
# default win32), whose envoke.exe runs under Wine of its architecture.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=$(realpath -m -- "${1:-$repo_root/build/native}")
windows=$(realpath -m -- "${2:-$repo_root/build/win32}")
arch=$(sed -n 's/^QUILLAX_WINE_ARCH:INTERNAL=//p' "$windows/CMakeCache.txt" 2>/dev/null || true)
if [[ $arch != win32 && $arch != win64 ]]; then
  echo "compare-indexes: $windows is no configured Windows build" >&2
  exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$native/bin/quillax-synth" "$work/linux" --seed 7 >/dev/null
cp -r "$work/linux" "$work/windows"

# The set-up tool takes its configuration directory from the directory it starts in.
(cd "$work/linux/cfg" && QUILLAX_REGISTRY="$work/registry" "$native/bin/envoke" -q >/dev/null)
(cd "$work/windows/cfg" && "$repo_root/cmake/wine-run.sh" --arch "$arch" "$windows/wineprefix" "$windows/bin/envoke.exe" -q)

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
echo "compare-indexes: $count indexes byte-identical between Linux and Windows ($arch, Wine)"
