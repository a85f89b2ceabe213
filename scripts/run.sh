#!/usr/bin/env bash
# The main job: set-up, build, then denoise an image in the host stand-in.
#   bash scripts/run.sh                   the sample image that the set-up fetched
#   bash scripts/run.sh FILE [ID=VALUE]... a FITS or TIFF file of yours, with parameters
#                                         (amount=0.5 model=v1 linear=false ...); other
#                                         arguments go to velqora-host as they are
# The result goes to results/ as NAME_denoised with the input's extension.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build="${BUILD_DIR:-$root/build}"

input="${1:-$root/.deps/sample/thar_ref.fit}"
[ $# -gt 0 ] && shift
case "$input" in /*) ;; *) input="$PWD/$input" ;; esac
steps=()
for a in "$@"; do
    if [[ "$a" == *=* && "$a" != -* ]]; then steps+=(--set "$a"); else steps+=("$a"); fi
done

results="$root/results"
mkdir -p "$results"
name="$(basename "$input")"
output="$results/${name%.*}_denoised.${name##*.}"

# The module reads "Velqora_weights_v2.pb" from its working directory, else
# from /opt/PixInsight/bin/. Without a real one, a stand-in network made by the
# graph tool takes its place: a 3 x 3 box filter.
workdir="$PWD"
if [ ! -f "$workdir/Velqora_weights_v2.pb" ] && [ ! -f /opt/PixInsight/bin/Velqora_weights_v2.pb ]; then
    workdir="$build/stand-in"
    mkdir -p "$workdir"
    [ -f "$workdir/Velqora_weights_v2.pb" ] || "$build/tools/velqora-make-graph" box "$workdir/Velqora_weights_v2.pb"
    echo "run: no trained weights; the stand-in network (a 3 x 3 box filter) is used"
fi

cd "$workdir"
"$build/velqora-host" --module "$build/Velqora-pxm.so" --overwrite --open "$input" "${steps[@]}" \
    --run --save "$output"
echo "run: the result is $output"
