#!/usr/bin/env bash
# Builds the Debian package zul-somnex_<version>_<arch>.deb from a Release
# build in build-pkg/ (SOMNEX_PKG_BUILD overrides) and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package
build=${SOMNEX_PKG_BUILD:-build-pkg}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSOMNEX_TESTS=OFF -DSOMNEX_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/zul-somnex_*.deb | head -n 1)
echo "$PWD/$deb"
