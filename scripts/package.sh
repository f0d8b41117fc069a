#!/usr/bin/env bash
# Builds the Debian package zul-somnex_<version>_<arch>.deb from a Release
# build in build-pkg/ (SOMNEX_PKG_BUILD overrides) and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package >&2
build=${SOMNEX_PKG_BUILD:-build-pkg}
# Progress and errors go to standard error; standard output is only the path.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSOMNEX_TESTS=OFF -DSOMNEX_BENCH=OFF >&2
cmake --build "$build" -j"$(nproc)" >&2
(cd "$build" && cpack -G DEB >&2)
deb=$(ls -t "$build"/zul-somnex_*.deb | head -n 1)
echo "$PWD/$deb"
