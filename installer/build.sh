#!/usr/bin/env bash
# Builds the Windows installer of one Windows build with NSIS (makensis):
#
#   installer/build.sh WINDOWS_BUILD_DIR
#
# Stages the installation in WINDOWS_BUILD_DIR/dist/stage (the sample installation's cfg\ with
# the build's quillax.dll and envoke.exe, update\cvupdate.exe) and writes
# WINDOWS_BUILD_DIR/dist/quillax-setup-VERSION.exe, VERSION being the engine library's file
# version. The installer has the build's architecture: a win64 build gives a 64-bit installer. A
# win32 installer also carries the 64-bit engine for 64-bit Windows when the win64 build beside
# it (or QUILLAX_WIN64_BUILD) has one; it says whether it does. The indexes are left out: the
# set-up tool builds them on the user's machine. Prints the installer's path last.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ $# -ne 1 || ! -d $1 ]]; then
  echo "usage: $0 WINDOWS_BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
arch=$(sed -n 's/^QUILLAX_WINE_ARCH:INTERNAL=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
case $arch in
  win32) nsis_arch=x86 ;;
  win64) nsis_arch=amd64 ;;
  *)
    echo "installer: $build is no configured Windows build" >&2
    exit 2
    ;;
esac
if ! command -v makensis >/dev/null; then
  echo "installer: makensis is missing (the package nsis; scripts/install-deps.sh installs it)" >&2
  exit 2
fi
for program in envoke.exe quillax.dll cvupdate.exe; do
  if [[ ! -f $build/bin/$program ]]; then
    echo "installer: $build/bin/$program is missing (build the $arch preset first)" >&2
    exit 2
  fi
done

dist=$build/dist
stage=$dist/stage
rm -rf "$stage"
rm -f "$dist"/quillax-setup-*.exe
mkdir -p "$stage/update"
cp -r "$repo_root/sample/cfg" "$stage/cfg"
find "$stage/cfg" -name '*.inx' -delete
cp "$build/bin/envoke.exe" "$build/bin/quillax.dll" "$stage/cfg/"
cp "$build/bin/cvupdate.exe" "$stage/update/"

options=(-DSTAGE="$stage" -DOUTDIR="$dist" -DARCH="$nsis_arch")
if [[ $arch == win32 ]]; then
  win64_dll=${QUILLAX_WIN64_BUILD:-$(dirname "$build")/win64}/bin/quillax.dll
  if [[ -f $win64_dll ]]; then
    mkdir -p "$stage/x64"
    cp "$win64_dll" "$stage/x64/"
    options+=(-DWITH_X64)
    echo "installer: with the 64-bit engine of $win64_dll"
  else
    echo "installer: without a 64-bit engine ($win64_dll is not built)"
  fi
fi

makensis -V2 -INPUTCHARSET UTF8 "${options[@]}" "$repo_root/installer/quillax.nsi"
installer=$(find "$dist" -maxdepth 1 -name 'quillax-setup-*.exe' | head -n 1)
if [[ -z $installer ]]; then
  echo "installer: makensis wrote no installer" >&2
  exit 1
fi
echo "$installer"
