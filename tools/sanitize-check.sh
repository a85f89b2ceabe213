#!/usr/bin/env bash
# Builds with AddressSanitizer and LeakSanitizer into build-asan/ (BUILD_DIR
# overrides) and runs every test binary there: a leak or memory error of ours
# fails it. TensorFlow itself is not instrumented; what it keeps for the life
# of the process stays reachable and is not reported. Slow to build, so not
# part of ctest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build-asan}"
"$root/scripts/build.sh" -DVELQORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export TF_CPP_MIN_LOG_LEVEL=2
failed=0
for binary in "$BUILD_DIR"/tests/*_test; do
    name="$(basename "$binary")"
    if "$binary" --gtest_brief=1 >"$BUILD_DIR/$name.sanitize.log" 2>&1; then
        echo "sanitize-check: $name: clean"
    else
        echo "sanitize-check: $name: FAILED - see $BUILD_DIR/$name.sanitize.log"
        failed=1
    fi
done
exit "$failed"
