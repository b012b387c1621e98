#!/usr/bin/env bash
# Fetches a Debian source package into a build folder, for the Windows build, which compiles
# some third-party libraries from their Debian sources with the cross compiler:
#
#   scripts/fetch-debian-source.sh PACKAGE DEST FILE...
#
# The unpacked source tree ends up in DEST/PACKAGE (a stable name whatever the package version).
# FILE... are paths inside that tree that must be there afterwards; nothing is fetched when they
# already are.
#
# apt-get source needs "deb-src" entries. They are derived at run time from the machine's own apt
# sources (every enabled "deb" entry of /etc/apt/sources.list and /etc/apt/sources.list.d) and
# kept, with their package lists, in a private apt state under DEST/apt-PACKAGE: the machine's apt
# configuration is left as it is, and no archive address is written anywhere in the repository.
# Each package has its own state and download folder, so two fetches may run at the same time.
set -euo pipefail

if [[ $# -lt 3 ]]; then
  echo "usage: fetch-debian-source.sh PACKAGE DEST FILE..." >&2
  exit 2
fi
package=$1
dest=$2
shift 2
wanted=("$@")

mkdir -p "$dest"
dest=$(cd "$dest" && pwd)
out=$dest/$package

have_all() {
  local f
  for f in "${wanted[@]}"; do [[ -f $out/$f ]] || return 1; done
}

if have_all; then
  exit 0
fi

say() { echo "fetch-debian-source ($package): $*" >&2; }
die() { say "$*"; exit 1; }

command -v apt-get >/dev/null || die "apt-get is not available"
command -v dpkg-source >/dev/null || die "dpkg-source is missing (install dpkg-dev)"

apt_dir=$dest/apt-$package
rm -rf "$apt_dir"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"

etc_dir=$(eval "$(apt-config shell d Dir::Etc/d)"; echo "${d:-/etc/apt/}")
etc_dir=${etc_dir%/}
[[ $etc_dir == /* ]] || etc_dir=/$etc_dir

# One-line format: every "deb" line becomes a "deb-src" line with the same options and address.
if [[ -f $etc_dir/sources.list ]]; then
  sed -n -E 's/^[[:space:]]*deb([[:space:]]+)/deb-src\1/p' "$etc_dir/sources.list" \
    > "$apt_dir/sources.list"
else
  : > "$apt_dir/sources.list"
fi

# deb822 format: each enabled paragraph whose Types lists "deb" is copied with "Types: deb-src".
shopt -s nullglob
for f in "$etc_dir"/sources.list.d/*.sources; do
  awk '
    function flush() {
      if (n > 0 && has_deb && !disabled) {
        for (i = 1; i <= n; i++) print lines[i]
        print ""
      }
      n = 0; has_deb = 0; disabled = 0
    }
    /^[[:space:]]*$/ { flush(); next }
    {
      line = $0
      if (tolower(line) ~ /^types:/) {
        split(substr(line, 7), types, /[[:space:]]+/)
        for (t in types) if (types[t] == "deb") has_deb = 1
        line = "Types: deb-src"
      } else if (tolower(line) ~ /^enabled:[[:space:]]*no/) {
        disabled = 1
      }
      lines[++n] = line
    }
    END { flush() }
  ' "$f" > "$apt_dir/sources.list.d/$(basename "$f")"
done
shopt -u nullglob

if ! grep -qs -E '^(deb-src|Types: deb-src)' "$apt_dir/sources.list" "$apt_dir"/sources.list.d/*.sources; then
  die "the machine's apt sources list no \"deb\" entry to derive a \"deb-src\" entry from"
fi

apt_opts=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
  -o "Dir::Cache::pkgcache="
  -o "Dir::Cache::srcpkgcache="
  -o "APT::Get::List-Cleanup=false"
  -o "Debug::NoLocking=true"
)
# As root apt downloads as the user _apt, which may not write into this folder.
if [[ $(id -u) -eq 0 ]]; then
  apt_opts+=(-o "APT::Sandbox::User=root")
fi

say "reading the source package lists"
# A source that offers no Sources index only warns; whether the package was found is checked below.
apt-get "${apt_opts[@]}" -q update >"$apt_dir/update.log" 2>&1 || {
  cat "$apt_dir/update.log" >&2
  say "apt-get update reported a failure; trying the lists it got"
}

work=$dest/$package-download
rm -rf "$work"
mkdir -p "$work"
say "downloading and unpacking the source package"
if ! (cd "$work" && apt-get "${apt_opts[@]}" -q source "$package" >"$apt_dir/source.log" 2>&1); then
  cat "$apt_dir/source.log" >&2
  die "apt-get source $package failed"
fi

# The unpacked tree is the one folder apt-get source made (<package>-<version>).
src=
for d in "$work"/*/; do
  if [[ -e $d/${wanted[0]} ]]; then src=${d%/}; break; fi
done
[[ -n $src ]] || die "the unpacked source package has no ${wanted[0]}"

rm -rf "$out"
mv "$src" "$out"
# Keep the logs, drop the package lists (some 20 MB) and the downloaded archives.
rm -rf "$work" "$apt_dir/lists" "$apt_dir/cache"
have_all || die "the source of $package lacks one of: ${wanted[*]}"
say "the sources are in $out"
