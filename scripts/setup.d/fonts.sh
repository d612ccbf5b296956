#!/usr/bin/env bash
# Fetches the built-in typefaces into third_party/fonts/ (not tracked): the
# WOFF files of two published npm packages. npm pack only downloads the
# tarballs; nothing of the packages is run. Every file must match its SHA-256
# in fonts.sha256 beside this script: a file that does not is fetched again,
# and a fetch that still does not match stops the set-up.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=${QM_ROOT:-$(cd "$here/../.." && pwd)}
dest="$root/third_party/fonts"
sums="$here/fonts.sha256"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

verified() {
  [ -d "$dest" ] && (cd "$dest" && sha256sum --quiet --status -c "$sums") 2>/dev/null
}
verified && exit 0

if ! command -v npm >/dev/null; then
  # Debian's nodejs comes without npm; a machine with another nodejs build
  # already has it, and the two packages would conflict.
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends npm >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$dest"
(cd "$tmp" && npm pack --silent --ignore-scripts @ibm/plex-sans@1.1.0 @ibm/plex-mono@1.1.0 >/dev/null)
files=$(awk '{print $2}' "$sums")
for tgz in "$tmp"/*.tgz; do
  tar -xzf "$tgz" -C "$tmp" --wildcards 'package/fonts/complete/woff/*.woff'
  for f in $files; do
    [ -f "$tmp/package/fonts/complete/woff/$f" ] && cp "$tmp/package/fonts/complete/woff/$f" "$dest/"
  done
  rm -rf "$tmp/package"
done
if ! verified; then
  echo "fonts.sh: the fetched fonts do not match scripts/setup.d/fonts.sha256:" >&2
  (cd "$dest" && sha256sum -c "$sums" >&2) || true
  exit 1
fi
