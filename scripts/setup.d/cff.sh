#!/usr/bin/env bash
# Fetches the test fonts of the pango1.0-tests package (a CFF2 variable font
# and a CID-keyed CFF font among them) into third_party/fonts/pango/ (not
# tracked). The package is only unpacked, never installed: installing it
# would pull in much else.
set -euo pipefail
root=${QM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
dest="$root/third_party/fonts/pango"
files=(Cantarell-VF.otf noto-sans-cjk.ttf)
missing=0
for f in "${files[@]}"; do [ -s "$dest/$f" ] || missing=1; done
[ "$missing" = 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
(cd "$tmp" && apt-get download -qq pango1.0-tests 2>/dev/null) || {
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
  (cd "$tmp" && apt-get download -qq pango1.0-tests)
}
dpkg -x "$tmp"/pango1.0-tests_*.deb "$tmp/x"
mkdir -p "$dest"
for f in "${files[@]}"; do
  src=$(find "$tmp/x" -path '*/fonts/*' -name "$f" | head -1)
  [ -n "$src" ] || { echo "cff.sh: $f not found in pango1.0-tests" >&2; exit 1; }
  cp "$src" "$dest/"
done
