#!/usr/bin/env bash
# Brings TensorFlow's C library into .deps/tensorflow (include/, lib/), taken
# from the tensorflow-cpu wheel. The wheel is cached outside the work tree so
# that a second clone or a second run downloads nothing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
version=2.21.0
cache="${VELQORA_CACHE:-$HOME/.cache/velqora}/wheels"
prefix="$root/.deps/tensorflow"
stamp="$prefix/.complete-$version"

[ -f "$stamp" ] && exit 0

mkdir -p "$cache"
wheel="$(ls "$cache"/tensorflow_cpu-$version-*.whl 2>/dev/null | head -n1 || true)"
if [ -z "$wheel" ]; then
    echo "fetch-tensorflow: downloading tensorflow-cpu==$version"
    # Only the C library is used, so the wheel's Python version does not matter.
    python3 -m pip download -q --no-deps "tensorflow-cpu==$version" -d "$cache" \
      || python3 -m pip download -q --no-deps --only-binary=:all: --python-version 3.12 \
           "tensorflow-cpu==$version" -d "$cache"
    wheel="$(ls "$cache"/tensorflow_cpu-$version-*.whl | head -n1)"
fi

echo "fetch-tensorflow: extracting $(basename "$wheel")"
rm -rf "$prefix" "$prefix.tmp"
mkdir -p "$prefix.tmp"
unzip -q "$wheel" 'tensorflow/include/*' tensorflow/libtensorflow_cc.so.2 \
      tensorflow/libtensorflow_framework.so.2 -d "$prefix.tmp"
mkdir -p "$prefix.tmp/lib"
mv "$prefix.tmp/tensorflow/include" "$prefix.tmp/include"
mv "$prefix.tmp/tensorflow/"libtensorflow_*.so.2 "$prefix.tmp/lib/"
rmdir "$prefix.tmp/tensorflow"
mv "$prefix.tmp" "$prefix"
touch "$stamp"
