#!/usr/bin/env bash
# Configures and builds into build/ (BUILD_DIR overrides). Extra arguments go to cmake.
set -euo pipefail
export TF_CPP_MIN_LOG_LEVEL="${TF_CPP_MIN_LOG_LEVEL:-2}" # TensorFlow: warnings and errors only
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
