#!/usr/bin/env bash
# Fetches the filled icon set into third_party/material-icons/ (not tracked):
# the build turns the chosen files' path data into the compiled icon table,
# and the SVG renderer's oracle draws every file. npm pack only downloads the
# tarball; nothing of the package is run.
set -euo pipefail
root=${QM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
dest="$root/third_party/material-icons"
version=0.14.15
[ -s "$dest/VERSION" ] && [ "$(cat "$dest/VERSION")" = "$version" ] && [ -s "$dest/filled/home.svg" ] && exit 0

if ! command -v npm >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends npm >/dev/null
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$tmp" && npm pack --silent --ignore-scripts "@material-design-icons/svg@$version" >/dev/null)
tar -xzf "$tmp"/*.tgz -C "$tmp" --wildcards 'package/filled/*.svg' package/LICENSE
rm -rf "$dest"
mkdir -p "$dest"
mv "$tmp/package/filled" "$tmp/package/LICENSE" "$dest/"
echo "$version" > "$dest/VERSION"
[ -s "$dest/filled/home.svg" ] || { echo "icons.sh: the icon package holds no filled/home.svg" >&2; exit 1; }
