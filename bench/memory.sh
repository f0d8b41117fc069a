#!/usr/bin/env bash
# Peak resident memory of the program on the bundled books with ten made-up
# books of 20 000 words more: from its start until the worker has indexed the
# books' texts (SOMNEX_STARTUP_PROBE=ready ends the process there), with the
# word cache filled by an earlier run; and of `somnex-cli lookup`. Each figure
# the median of RUNS runs of /usr/bin/time.
#
#   bench/memory.sh [BUILD_DIR] [RUNS]     (defaults: build-rel, 5)
#
# SOMNEX=path measures another program (an earlier build's, to compare).
set -euo pipefail
build=${1:-build-rel}
runs=${2:-5}
source "$(dirname "$0")/shelf.sh"
somnex=${SOMNEX:-$somnex}
cli=${CLI:-$cli}
addSyntheticBooks
peak() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
SOMNEX_STARTUP_PROBE=ready "$somnex" >/dev/null 2>&1 || true # fills the cache
word=$("$cli" words | sed -n 1p)
progM=() cliM=()
for ((i = 0; i < runs; i++)); do
  progM+=($(SOMNEX_STARTUP_PROBE=ready peak "$somnex"))
  cliM+=($(peak "$cli" lookup "$word"))
done
echo "$(allBooks | wc -l) books, medians of $runs runs"
echo "  somnex until the texts are indexed: peak RSS $(median "${progM[@]}") KiB"
echo "  somnex-cli lookup $word:            peak RSS $(median "${cliM[@]}") KiB"
