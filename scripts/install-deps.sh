#!/usr/bin/env bash
# Installs the packages that building and testing need, on Debian 12 (bookworm).
# Idempotent: installs only what is missing, and returns at once when everything is there.
# Needs root when something is missing (it uses the machine's own apt configuration).
set -euo pipefail

packages=(
  # build tools
  cmake ninja-build g++ pkg-config dpkg-dev python3 locales
  # tests and benchmarks
  googletest libgtest-dev libbenchmark-dev
  # Windows cross builds, 32-bit and 64-bit (zlib for MinGW serves both)
  g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  # Linux libraries
  libopencc-dev libopencc-data opencc libminizip-dev zlib1g-dev libcurl4-openssl-dev libssl-dev
  nlohmann-json3-dev
  # the development host (Boost.Beast) and its browser tests (Playwright drives Debian's Chromium)
  libboost-dev chromium
  # the MIDI stream device's synthesizer on Linux and a General MIDI SoundFont for it
  libfluidsynth-dev timgm6mb-soundfont
  # running the Windows builds: 64-bit Wine runs the win64 build on every machine (wine32, see
  # wine_runtime below, adds the win32 build where 32-bit programs run); libwine-dev holds the
  # IDL files of the type library; the updater's dialog test runs it on a virtual display and
  # takes a screenshot (Chinese texts need a font with the characters)
  wine wine64 libwine-dev xvfb x11-apps netpbm fonts-wqy-microhei
  # the Windows installer (makensis, with the stubs for 32-bit and 64-bit installers)
  nsis
  # the updater benchmark's side-by-side tools and the archives of its tests
  zip unzip curl
  # a public-domain Bible and its reader, for the import test (tools/kjv/export_kjv.py)
  diatheke sword-text-kjv sword-text-web
  # SWORD's importer, run beside the import benchmark; its mod2osis exports the OSIS Bibles
  # that the OSIS import is checked with (tools/kjv/compare_import.py)
  libsword-utils
  # the World English Bible in USFM (/usr/share/bibledit/demo), for the USFM import's check
  bibledit-data
  # the XML parser of the OSIS import (the Windows build compiles it from Debian's source)
  libxml2-dev
  # fuzzing
  clang libclang-rt-14-dev
)
# Wine's 32-bit runtime, which runs the win32 build's programs. Its i386 libraries must match
# the versions of their amd64 twins, so a mirror whose i386 index lags behind cannot provide it;
# the rest is then installed all the same, and scripts/test.sh runs the Windows tests through
# the win64 build only and says so.
wine_runtime=(wine32)
packages+=("${wine_runtime[@]}")

say() { echo "install-deps: $*"; }

# Wine's 32-bit loader is a 32-bit Linux program: a kernel built without 32-bit support refuses
# it even when every package is in.
check_wine_runs() {
  if ! bash "$(dirname "${BASH_SOURCE[0]}")/../cmake/wine-run.sh" --arch win32 --can-run; then
    say "note: 32-bit Windows programs do not run here (no wine32, or a kernel without 32-bit support);"
    say "note: the win32 build will be built but not run, the win64 build runs the Windows tests"
  fi
}

need_i386=false
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=true
fi

missing=()
for p in "${packages[@]}"; do
  # wine32 is an i386 package; dpkg-query finds it by its plain name once installed.
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  if [[ $status != installed ]]; then
    missing+=("$p")
  fi
done

# Node.js and npm run the browser tests; a machine that has them from elsewhere keeps them
# (Debian's npm conflicts with other Node.js packagings).
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi

if ! $need_i386 && [[ ${#missing[@]} -eq 0 ]]; then
  say "all packages present"
  check_wine_runs
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  say "missing: ${missing[*]}"
  say "run this script as root to install them"
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if $need_i386; then
  say "adding the i386 architecture (for wine32)"
  dpkg --add-architecture i386
fi
say "installing: ${missing[*]}"
# A mirror in the middle of a sync serves index files of the wrong size for a while; try the
# update again before giving up, then install from whatever indexes arrived (the install
# itself fails clearly if a package is out of reach).
updated=false
for attempt in 1 2 3 4; do
  if apt-get update -q -o Acquire::Retries=3; then
    updated=true
    break
  fi
  say "package index update failed (attempt $attempt of 4)"
  [[ $attempt -lt 4 ]] && sleep 20
done
$updated || say "going on with the package indexes that did arrive"
if apt-get install -y -q "${missing[@]}" </dev/null; then
  check_wine_runs
  say "done"
  exit 0
fi
# Everything but Wine's runtime, when that was part of what failed.
rest=()
left_out=()
for p in "${missing[@]}"; do
  if [[ " ${wine_runtime[*]} " == *" $p "* ]]; then left_out+=("$p"); else rest+=("$p"); fi
done
if [[ ${#rest[@]} -eq ${#missing[@]} ]]; then
  say "FAILED: the packages above could not be installed"
  exit 1
fi
say "trying again without Wine's 32-bit runtime (${left_out[*]})"
if [[ ${#rest[@]} -gt 0 ]]; then
  apt-get install -y -q "${rest[@]}" </dev/null
fi
say "WARNING: ${left_out[*]} could not be installed from this machine's package indexes;"
say "WARNING: the win32 build will be built but not run, the win64 build runs the Windows tests"
say "done"
