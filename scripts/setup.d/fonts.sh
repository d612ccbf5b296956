#!/usr/bin/env bash
# Fetches the built-in typefaces into third_party/fonts/ (not tracked): the
# WOFF files of two published npm packages. npm pack only downloads the
# tarballs; nothing of the packages is run.
set -euo pipefail
root=${QM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
dest="$root/third_party/fonts"
files=(IBMPlexSans-Regular IBMPlexSans-Medium IBMPlexSans-SemiBold IBMPlexSans-Bold
       IBMPlexMono-Regular IBMPlexMono-SemiBold)
missing=0
for f in "${files[@]}"; do [ -s "$dest/$f.woff" ] || missing=1; done
[ "$missing" = 0 ] && exit 0

if ! command -v npm >/dev/null; then
  # Debian's nodejs comes without npm; a machine with another nodejs build
  # already has it, and the two packages would conflict.
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends npm >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$dest"
(cd "$tmp" && npm pack --silent --ignore-scripts @ibm/plex-sans@1.1.0 @ibm/plex-mono@1.1.0 >/dev/null)
for tgz in "$tmp"/*.tgz; do
  tar -xzf "$tgz" -C "$tmp" --wildcards 'package/fonts/complete/woff/*.woff'
  for f in "${files[@]}"; do
    [ -f "$tmp/package/fonts/complete/woff/$f.woff" ] && cp "$tmp/package/fonts/complete/woff/$f.woff" "$dest/"
  done
  rm -rf "$tmp/package"
done
for f in "${files[@]}"; do
  [ -s "$dest/$f.woff" ] || { echo "fonts.sh: $f.woff not found in the npm packages" >&2; exit 1; }
done
