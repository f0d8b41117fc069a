#!/usr/bin/env bash
# The whole `somnex-cli diary add` process, from start to the id printed:
# loading the enabled books for the symbols, opening (or creating) the diary,
# computing the lunar day and writing the entry in one transaction.
#
#   bench/diary/add.sh [BUILD_DIR] [RUNS] [ENTRIES]   (defaults: build-rel, 30, 10000)
#
# Use a Release build (see the README's Benchmarks). The diary is a temporary
# one, first filled with ENTRIES synthetic dreams (somnex-cli diary synth), so
# each add checks a file of that size; the settings and the data folder are
# temporary too and removed at the end. The books are the build tree's.
set -euo pipefail
build=${1:-build-rel}
runs=${2:-30}
entries=${3:-10000}
cli="$build/bin/somnex-cli"
[[ -x $cli ]] || { echo "нет $cli: сначала соберите программу (cmake --build $build)" >&2; exit 1; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data QT_QPA_PLATFORM=offscreen

"$cli" diary synth "$entries" --seed 1 >/dev/null
"$cli" diary add --at "2026-12-09 03:00" "Разогрев: собака у реки" >/dev/null # warm the file cache
wall=() cpu=()
TIMEFORMAT='%R %U %S'
for ((i = 0; i < runs; i++)); do
  read -r r u s < <({ time "$cli" diary add --tag замер "Сон $i: я шёл по лесу к реке, и большая собака бежала рядом" >/dev/null 2>/dev/null; } 2>&1)
  wall+=($(awk -v r="$r" 'BEGIN { printf "%d", r * 1e6 }'))
  cpu+=($(awk -v u="$u" -v s="$s" 'BEGIN { printf "%d", (u + s) * 1e6 }'))
done
report() { # name, values...
  local name=$1
  shift
  local sorted=($(printf '%s\n' "$@" | sort -n))
  local n=${#sorted[@]}
  local median=${sorted[$((n / 2))]}
  printf '%s: median %d.%03d ms, min %d.%03d ms, max %d.%03d ms\n' "$name" \
    $((median / 1000)) $((median % 1000)) $((sorted[0] / 1000)) $((sorted[0] % 1000)) \
    $((sorted[n - 1] / 1000)) $((sorted[n - 1] % 1000))
}
echo "somnex-cli diary add on a diary of $entries dreams, $runs runs"
report "  wall time" "${wall[@]}"
report "  CPU time " "${cpu[@]}"
