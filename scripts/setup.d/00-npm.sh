#!/usr/bin/env bash
# The later steps fetch build inputs with `npm pack`. Debian's nodejs comes
# without npm; a machine with another nodejs build already has it, and the two
# packages would conflict, so npm is installed only when missing.
set -euo pipefail
command -v npm >/dev/null && exit 0
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends npm >/dev/null
