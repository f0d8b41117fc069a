#!/usr/bin/env bash
# What CI runs beyond ./test.sh:
#   1. everything (program, tools, tests, benchmarks) built with clang, warnings
#      as errors; any compiler warning at all fails the run;
#   2. the libFuzzer targets built (clang, AddressSanitizer, UBSan) and each run
#      for SOMNEX_FUZZ_SECONDS (60) from a copy of its corpus; a crash, a leak or
#      an input slower than 2 s fails the run.
# The benchmarks are built, not run. Build trees: build-ci-clang, build-ci-fuzz
# (SOMNEX_CI_BUILD_PREFIX changes "build-ci"). Usage: scripts/ci-extra.sh [build|fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh ci

what=${1:-all}
prefix=${SOMNEX_CI_BUILD_PREFIX:-build-ci}
seconds=${SOMNEX_FUZZ_SECONDS:-60}
jobs=${SOMNEX_CI_JOBS:-$(nproc)}
export CC=clang CXX=clang++

# Configures and builds; fails when the compiler printed any warning (also in
# targets that do not get -Werror, and replayed by ccache from its cache).
build() {
  local dir=$1; shift
  local targets=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do targets+=(--target "$1"); shift; done
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  local log=$dir/ci-build.log
  if ! cmake --build "$dir" -j"$jobs" "${targets[@]}" 2>&1 | tee "$log"; then
    echo "ci-extra: build in $dir failed" >&2
    return 1
  fi
  if grep -q 'warning:' "$log"; then
    echo "ci-extra: compiler warnings in $dir:" >&2
    grep 'warning:' "$log" | sort -u >&2
    return 1
  fi
}

if [ "$what" = all ] || [ "$what" = build ]; then
  echo "== clang build: program, tools, tests, benchmarks (-Werror)"
  build "$prefix-clang" -- -DCMAKE_BUILD_TYPE=Debug -DSOMNEX_WERROR=ON \
        -DSOMNEX_TESTS=ON -DSOMNEX_BENCH=ON -DSOMNEX_SANITIZE=OFF -DSOMNEX_FUZZ=OFF
fi

if [ "$what" = all ] || [ "$what" = fuzz ]; then
  # Every fuzz/<dir>/CMakeLists.txt declares somnex_fuzz_target(<name> ...) and
  # keeps its corpus in fuzz/<dir>/corpus.
  names=() corpora=()
  for cm in fuzz/*/CMakeLists.txt; do
    name=$(sed -nE 's/^[[:space:]]*somnex_fuzz_target\(([A-Za-z0-9_]+).*/\1/p' "$cm")
    [ -n "$name" ] || continue
    names+=("$name")
    corpora+=("$(dirname "$cm")/corpus")
  done
  if [ ${#names[@]} -eq 0 ]; then
    echo "ci-extra: no fuzz targets found" >&2
    exit 1
  fi
  echo "== fuzz targets: ${names[*]}"
  dir=$prefix-fuzz
  build "$dir" "${names[@]/#/fuzz_}" -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSOMNEX_WERROR=ON \
        -DSOMNEX_FUZZ=ON -DSOMNEX_SANITIZE=ON -DSOMNEX_TESTS=OFF -DSOMNEX_BENCH=OFF

  export QT_QPA_PLATFORM=offscreen
  # Targets that write files (the diary's) do so in memory: a disk's flush
  # under load must not pass for a hang.
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  failed=()
  for i in "${!names[@]}"; do
    name=${names[$i]} corpus=${corpora[$i]}
    if [ ! -d "$corpus" ]; then
      echo "ci-extra: $name has no corpus at $corpus" >&2
      failed+=("$name")
      continue
    fi
    # New inputs go to a scratch copy; the repository's corpus is only read.
    work=$dir/run/$name
    rm -rf "$work" && mkdir -p "$work/corpus" "$work/artifacts"
    cp -r "$corpus"/. "$work/corpus/"
    echo "== fuzz_$name: ${seconds}s from $(find "$work/corpus" -type f | wc -l) inputs"
    if ! "$dir/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=2 -print_final_stats=1 \
         -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1; then
      tail -n 60 "$work/log" >&2
      echo "ci-extra: fuzz_$name failed; the input is in $work/artifacts/" >&2
      failed+=("$name")
    else
      grep -E '^stat::number_of_executed_units|^Done' "$work/log" || true
    fi
  done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "ci-extra: fuzzing failed: ${failed[*]}" >&2
    exit 1
  fi
fi
echo "ci-extra: all passed"
