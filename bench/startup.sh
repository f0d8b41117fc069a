#!/usr/bin/env bash
# Start-up of the dictionary on the bundled books: how long `somnex-cli words`
# takes from process start to the last word printed. It opens every enabled
# book of the build tree, reads it whole and merges the word list, which is
# the work the program's main window does on start before it shows.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]     (defaults: build-rel, 30)
#
# Use a Release build (see the README's Benchmarks). The settings are a fresh
# temporary folder's, so every bundled book is enabled and nothing of the
# user's is read or written; the folder is removed at the end.
set -euo pipefail
build=${1:-build-rel}
runs=${2:-30}
cli="$build/bin/somnex-cli"
books="$build/share/ZUL Programming/ZUL Somnex/3.1/Books"
[[ -x $cli ]] || { echo "нет $cli: сначала соберите программу (cmake --build $build)" >&2; exit 1; }

config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=offscreen

words=$("$cli" words | wc -l)
"$cli" words >/dev/null # warm the file cache
# wall and CPU (user + system) time of each run, in microseconds; on a busy
# machine the CPU time is the steadier of the two
wall=() cpu=()
TIMEFORMAT='%R %U %S'
for ((i = 0; i < runs; i++)); do
  read -r r u s < <({ time "$cli" words >/dev/null; } 2>&1)
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
echo "books: $(ls "$books" | wc -l) ($(du -cb "$books"/*.book | tail -1 | cut -f1) bytes), words in the list: $words"
echo "somnex-cli words, $runs runs"
report "  wall time" "${wall[@]}"
report "  CPU time " "${cpu[@]}"
