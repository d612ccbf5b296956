#!/usr/bin/env bash
# Fetches the CommonMark examples (spec.txt of the commonmark-spec npm
# package) and unpacks the GitHub extension examples into
# third_party/commonmark/ (not tracked) for the Markdown conformance tests.
set -euo pipefail
root=${QM_ROOT:-$(cd "$(dirname "$0")/../.." && pwd)}
dest="$root/third_party/commonmark"
if [ ! -s "$dest/spec.txt" ]; then
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  (cd "$tmp" && npm pack --silent --ignore-scripts commonmark-spec@0.31.2 >/dev/null)
  tar -xzf "$tmp"/commonmark-spec-*.tgz -C "$tmp"
  mkdir -p "$dest"
  cp "$tmp/package/spec.txt" "$dest/spec.txt"
fi

# The GitHub extension examples ship with Debian's cmark-gfm (scripts/deps/docs.txt).
if [ ! -s "$dest/gfm-spec.txt" ] && [ -s /usr/share/doc/cmark-gfm/spec.txt.gz ]; then
  gunzip -c /usr/share/doc/cmark-gfm/spec.txt.gz > "$dest/gfm-spec.txt"
fi
