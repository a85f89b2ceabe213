#!/usr/bin/env bash
# Everything from a fresh clone: set-up, build, all tests; then all tests again
# under the sanitizers, in a build folder of their own.
set -euo pipefail
export TF_CPP_MIN_LOG_LEVEL="${TF_CPP_MIN_LOG_LEVEL:-2}" # TensorFlow: warnings and errors only
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
(cd "${BUILD_DIR:-$root/build}" && ctest --output-on-failure -j"$(nproc)")
"$root/tools/sanitize-check.sh"
