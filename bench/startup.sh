#!/usr/bin/env bash
# Start-up of the program: the time from process start until the main window
# has been painted (SOMNEX_STARTUP_PROBE=shown ends the process there), side
# by side with a bare Qt Widgets window holding a 2 000-item list
# (bench_bare_window), run in turns so that both see the same machine; and
# the time of `somnex-cli words` (the books' merged word list). Two shelves:
# the bundled books, then with ten made-up books of 20 000 words more
# (somnex-book synth) in the user's books folder.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]     (defaults: build-rel, 20)
#
# Use a Release build with the benchmarks (see the README's Benchmarks). The
# settings, the user's data and the cache are fresh temporary folders, so
# every book is enabled and nothing of the user's is read or written. The
# first run of each shelf fills the word cache and is not counted. With
# SOMNEX_BENCH_NO_CACHE=1 the cache folder is a file, so every run reads the
# books; BARE=path takes another bare window program, SOMNEX=path and
# CLI=path another program and somnex-cli (an earlier build's, to compare).
set -euo pipefail
build=${1:-build-rel}
runs=${2:-20}
source "$(dirname "$0")/shelf.sh"
bare=${BARE:-$build/bench/bench_bare_window}
somnex=${SOMNEX:-$somnex}
cli=${CLI:-$cli}
[[ -x $bare ]] || { echo "нет $bare: соберите bench_bare_window" >&2; exit 1; }
if [[ ${SOMNEX_BENCH_NO_CACHE:-} == 1 ]]; then
  rmdir "$XDG_CACHE_HOME" && touch "$XDG_CACHE_HOME"
fi

shelf() { # title
  local words
  words=$("$cli" words | wc -l)
  SOMNEX_STARTUP_PROBE=shown "$somnex" >/dev/null 2>&1 || true # fills the cache, warms the file cache
  local bareW=() bareC=() progW=() progC=() cliT=() w c
  for ((i = 0; i < runs; i++)); do
    read -r w c < <(clock2 "$bare")
    bareW+=("$w") bareC+=("$c")
    read -r w c < <(SOMNEX_STARTUP_PROBE=shown clock2 "$somnex")
    progW+=("$w") progC+=("$c")
    cliT+=($(clock "$cli" words))
  done
  local bw bc pw pc
  bw=$(median "${bareW[@]}") bc=$(median "${bareC[@]}") pw=$(median "${progW[@]}") pc=$(median "${progC[@]}")
  echo "$1: $(allBooks | wc -l) books, $words words in the list, medians of $runs runs (wall / CPU)"
  echo "  bare window (2 000 items) shown: $(ms "$bw") / $(ms "$bc")"
  echo "  somnex main window shown:        $(ms "$pw") / $(ms "$pc")   ratio $(ratio "$pw" "$bw") / $(ratio "$pc" "$bc")"
  echo "  somnex-cli words:                $(ms "$(median "${cliT[@]}")")"
}

shelf "bundled books"
addSyntheticBooks
shelf "bundled books + 10 x 20 000 words"
