#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test
build=${SOMNEX_TEST_BUILD:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSOMNEX_SANITIZE=ON \
      -DSOMNEX_TESTS=ON -DSOMNEX_BENCH=OFF -DSOMNEX_WERROR=ON -DSOMNEX_DEB="${SOMNEX_DEB:-}"
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
