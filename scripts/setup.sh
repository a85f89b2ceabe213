#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine (run as root) and
# brings in TensorFlow's C library. Safe to run again: it installs and
# downloads only what is missing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

packages=(g++ cmake make libgtest-dev libgmock-dev python3 python3-pip unzip valgrind binutils
          pkg-config libcfitsio-dev libtiff-dev libxpm-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}"
fi

"$here/fetch-tensorflow.sh"
