#!/usr/bin/env bash
# Runs the TensorFlow layer's tests under valgrind (load, run and failure
# paths, and the call-order test) and fails on any leak or memory error of
# ours. What TensorFlow keeps for the life of the process is suppressed by
# tools/tensorflow.supp. Slow, so not part of ctest.
#
#   tools/leak-check.sh [test binary names...]
#
# BUILD_DIR selects the build (default build/); logs go to BUILD_DIR/leak-check/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
suppressions="$root/tools/tensorflow.supp"
logs="$build/leak-check"
mkdir -p "$logs"

tests=(tensorflow_call_order_test tensorflow_guards_test dl_model_tensorflow_test graph_writer_test)
if [ $# -gt 0 ]; then
    tests=("$@")
fi

export TF_CPP_MIN_LOG_LEVEL=2
failed=0
for name in "${tests[@]}"; do
    binary="$build/tests/$name"
    log="$logs/$name.log"
    if [ ! -x "$binary" ]; then
        echo "leak-check: $binary not built" >&2
        failed=1
        continue
    fi
    rc=0
    valgrind --leak-check=full \
             --show-leak-kinds=definite,indirect,possible \
             --errors-for-leak-kinds=definite,indirect,possible \
             --suppressions="$suppressions" \
             --num-callers=60 \
             --error-exitcode=86 \
             --log-file="$log" \
             "$binary" --gtest_brief=1 >"$logs/$name.out" 2>&1 || rc=$?
    summary="$(grep -E 'definitely lost:|indirectly lost:|possibly lost:|ERROR SUMMARY:' "$log" | sed 's/^==[0-9]*== *//' | tr '\n' ';')"
    suppressed="$(grep -E '^==[0-9]+== +suppressed:' "$log" | sed 's/^==[0-9]*== *//' || true)"
    if [ "$rc" -eq 0 ]; then
        echo "leak-check: $name: clean ($summary $suppressed)"
    else
        echo "leak-check: $name: FAILED, exit $rc ($summary) - see $log"
        failed=1
    fi
done
exit "$failed"
