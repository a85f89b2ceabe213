#!/usr/bin/env bash
# Builds with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer
# into build-sanitize/ (SANITIZE_BUILD_DIR overrides) and runs the whole suite
# there: a memory error, a leak of ours or undefined behaviour fails its test.
# TensorFlow itself is not instrumented; what it keeps for the life of the
# process stays reachable and is not reported. CI runs it after the plain
# suite (scripts/test.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${SANITIZE_BUILD_DIR:-$root/build-sanitize}"
cmake -S "$root" -B "$build" -DVELQORA_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Each instrumented link against TensorFlow takes about a GiB: no more jobs
# than the free memory holds, or the linker is killed.
jobs=$(awk '/MemAvailable/ { print int( $2 / 1048576 ) }' /proc/meminfo)
jobs=$(( jobs < 1 ? 1 : jobs > $(nproc) ? $(nproc) : jobs ))
cmake --build "$build" -j"$jobs" >/dev/null
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1"
export TF_CPP_MIN_LOG_LEVEL="${TF_CPP_MIN_LOG_LEVEL:-2}"
cd "$build"
ctest --output-on-failure -j"$(nproc)"
