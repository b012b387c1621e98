#!/usr/bin/env bash
# Fetches Debian's minizip source package into a build folder, for the Windows build, which
# compiles unzip.c, ioapi.c and iowin32.c with the cross compiler.
#
#   scripts/fetch-minizip-source.sh [DEST]     (default DEST: build/third_party)
#
# The sources end up in DEST/minizip; nothing is fetched when they are already there (see
# scripts/fetch-debian-source.sh for how the package is found).
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
exec "$repo_root/scripts/fetch-debian-source.sh" minizip "${1:-$repo_root/build/third_party}" \
  unzip.c unzip.h ioapi.c ioapi.h iowin32.c iowin32.h
