#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine (run as root) and
# brings in TensorFlow's C library. Safe to run again: it installs and
# downloads only what is missing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

packages=(g++ cmake make libgtest-dev libgmock-dev python3 python3-pip unzip valgrind binutils
          pkg-config libcfitsio-dev libtiff-dev)
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

# A real astronomical image for the main job (scripts/run.sh): a CCD frame of a
# thorium-argon lamp through an echelle spectrograph, 1530 x 1020 pixels,
# 16-bit, that Debian's eso-midas package ships as demonstration data.
root="$(cd "$here/.." && pwd)"
sample="$root/.deps/sample/thar_ref.fit"
if [ ! -f "$sample" ]; then
    debs="${VELQORA_CACHE:-$HOME/.cache/velqora}/debs"
    mkdir -p "$debs"
    deb="$(ls "$debs"/eso-midas_*.deb 2>/dev/null | head -n1 || true)"
    if [ -z "$deb" ]; then
        echo "setup: downloading the eso-midas package for its sample image"
        ( cd "$debs" && { apt-get download -qq eso-midas 2>/dev/null \
                          || { apt-get update -qq && apt-get download -qq eso-midas; }; } )
        deb="$(ls "$debs"/eso-midas_*.deb | head -n1)"
    fi
    unpacked="$(mktemp -d)"
    dpkg-deb -x "$deb" "$unpacked"
    mkdir -p "$(dirname "$sample")"
    find "$unpacked" -path '*/contrib/baches/demo/thar_ref.fit' -exec cp {} "$sample.tmp" \;
    rm -rf "$unpacked"
    mv "$sample.tmp" "$sample"
fi
