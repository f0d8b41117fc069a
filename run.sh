#!/usr/bin/env bash
# Builds the program and starts it on the bundled dream books.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh run
build=${SOMNEX_BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOMNEX_TESTS=OFF -DSOMNEX_BENCH=OFF
cmake --build "$build" -j"$(nproc)"
exec "$build/bin/somnex" "$@"
