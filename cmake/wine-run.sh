#!/usr/bin/env bash
# Runs a Windows program of a Windows build under Wine:
#
#   wine-run.sh [--arch win32|win64] WINEPREFIX PROGRAM [ARGS...]
#   wine-run.sh [--arch win32|win64] --can-run     exit 0 when this Wine runs programs here
#
# --arch (default: $QUILLAX_WINE_ARCH, else win32) picks Wine's loader: win32 the 32-bit one
# (/usr/lib/wine/wine, else `wine`), win64 the 64-bit one (/usr/lib/wine/wine64, also set as
# WINELOADER so that the programs a program starts use it too). `wine` itself cannot be used for
# win64: it starts the 32-bit loader whenever wine32 is installed, which fails on a kernel
# without 32-bit support.
# PROGRAM may also be one of Wine's own programs (regsvr32, cscript, reg, cmd ...); they run in
# the loader's architecture.
#
# Every program of one build shares one Wine prefix (its registry and C: drive), created on first
# use and reused by later runs; scripts/test.sh removes it before a test session so that each
# session starts from a fresh one. A new prefix is a copy of QUILLAX_WINE_TEMPLATE when that is
# set (a prefix of the same architecture, itself created here on first use), so that creating a
# prefix (some 20 s) happens once per test session and architecture; otherwise it is created with
# `wineboot -i`. Creation is serialised with a lock, because ctest may start several programs at
# once. Mono and Gecko are switched off while a prefix is created, so Wine shows no installer
# dialog, and Wine's debug output is silenced. Wine's menu builder is always off, so that no
# program writes menu entries or file associations into the machine's home folder, and so is
# Wine's debugger, so that a program that faults fails.
#
# Programs run in the Chinese locale of the product's users (zh_CN, code page 936), compiled once
# with localedef into build/wine-locale and found through LOCPATH, so nothing is installed on the
# machine; QUILLAX_WINE_LOCALE names another locale (C: code page 1252). They run without a
# display unless QUILLAX_WINE_DISPLAY names one.
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=${QUILLAX_WINE_ARCH:-win32}
if [[ ${1:-} == --arch ]]; then
  arch=${2:-}
  shift 2 || true
fi
if [[ ( $# -lt 2 && ${1:-} != --can-run ) || ( $arch != win32 && $arch != win64 ) ]]; then
  echo "usage: $0 [--arch win32|win64] WINEPREFIX PROGRAM [ARGS...]" >&2
  echo "       $0 [--arch win32|win64] --can-run    (exit 0 when this Wine runs programs here)" >&2
  exit 2
fi

say() { echo "wine-run: $*" >&2; }

# The loader of an architecture: the command that starts a Windows program. Debian's `wine`
# falls back to the 64-bit loader when wine32 is missing, so the 32-bit loader is asked for by
# its own path where it has one.
wine_loader() {
  local candidate candidates=(/usr/lib/wine/wine "$(command -v wine 2>/dev/null || true)")
  local package="the packages wine and wine32"
  if [[ $1 == win64 ]]; then
    candidates=(/usr/lib/wine/wine64 "$(command -v wine64 2>/dev/null || true)")
    package="the package wine64"
  fi
  for candidate in "${candidates[@]}"; do
    if [[ -n $candidate && -x $candidate ]]; then
      echo "$candidate"
      return 0
    fi
  done
  say "$1 Wine is not installed ($package)"
  return 1
}

# Whether the loader starts at all: a kernel without 32-bit support refuses the 32-bit one
# ("Exec format error"). On Debian the 32-bit runtime is the package wine32.
if [[ ${1:-} == --can-run ]]; then
  if [[ $arch == win32 ]] && command -v dpkg-query >/dev/null 2>&1 &&
    [[ $(dpkg-query -W -f='${db:Status-Status}' wine32 2>/dev/null || true) != installed ]]; then
    exit 1
  fi
  loader=$(wine_loader "$arch" 2>/dev/null) || exit 1
  WINEDEBUG=-all "$loader" --version >/dev/null 2>&1
  exit
fi

loader=$(wine_loader "$arch")
if [[ $arch == win64 ]]; then
  export WINELOADER=$loader
fi
export WINEDEBUG=${QUILLAX_WINEDEBUG:--all}
# Without a debugger a program that faults ends with a failing exit status; Wine's debugger
# would report the fault and let the program end with status 0.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d;winedbg.exe=d"
if [[ -n ${QUILLAX_WINE_DISPLAY:-} ]]; then
  export DISPLAY=$QUILLAX_WINE_DISPLAY
else
  # Programs under test must not wait for a display.
  unset DISPLAY
fi
unset WAYLAND_DISPLAY

# The Chinese locale, compiled once (localedef needs the glibc locale sources of the package
# locales); a locale the machine already has needs nothing.
locale_name=${QUILLAX_WINE_LOCALE:-zh_CN.UTF-8}
if [[ $locale_name == zh_CN.UTF-8 ]]; then
  locale_dir=$repo_root/build/wine-locale
  if [[ ! -f $locale_dir/zh_CN.UTF-8/LC_CTYPE ]]; then
    mkdir -p "$locale_dir"
    exec 8>"$locale_dir.lock"
    flock 8
    if [[ ! -f $locale_dir/zh_CN.UTF-8/LC_CTYPE ]]; then
      localedef -i zh_CN -f UTF-8 "$locale_dir/zh_CN.UTF-8" >/dev/null 2>&1 || true
      if [[ ! -f $locale_dir/zh_CN.UTF-8/LC_CTYPE ]]; then
        say "cannot compile the zh_CN.UTF-8 locale (localedef and the glibc locale sources are needed)"
        exit 1
      fi
    fi
    flock -u 8
    exec 8>&-
  fi
  export LOCPATH=$locale_dir
fi
# Given to Wine only (env below): this script's own tools keep the machine's locale.
locale_env=(LANG="$locale_name" LC_ALL="$locale_name")

# Creates the prefix $1 unless it is there: a copy of the template $2, or a new one.
make_prefix() {
  local prefix=$1 template=${2:-}
  [[ -f $prefix/system.reg ]] && return 0
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    [[ -f $prefix/system.reg ]] && exit 0
    rm -rf "$prefix" "$prefix.part"
    if [[ -n $template ]]; then
      make_prefix "$template" || exit 1
      cp -a "$template" "$prefix.part" && mv "$prefix.part" "$prefix" || exit 1
    else
      # A win32 prefix is a 32-bit Windows, a win64 one a 64-bit Windows that runs 32-bit
      # programs too where wine32 is there (the engine suite registers both builds in it).
      env "${locale_env[@]}" WINEPREFIX="$prefix" WINEARCH="$arch" \
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mscoree,mshtml=" "$loader" wineboot -i >/dev/null 2>&1 || {
        say "could not create the Wine prefix $prefix"
        exit 1
      }
      # wineboot returns before the registry is written to disk; waiting for the server ends that.
      WINEPREFIX=$prefix wineserver -w || exit 1
    fi
  ) 9>"$prefix.lock"
}

# Wine wants absolute prefix paths.
WINEPREFIX=$(realpath -m -- "$1")
shift
template=
if [[ -n ${QUILLAX_WINE_TEMPLATE:-} ]]; then
  template=$(realpath -m -- "$QUILLAX_WINE_TEMPLATE")
  [[ $template == "$WINEPREFIX" ]] && template=
fi
make_prefix "$WINEPREFIX" "$template"
export WINEPREFIX

exec env "${locale_env[@]}" "$loader" "$@"
