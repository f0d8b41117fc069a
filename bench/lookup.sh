#!/usr/bin/env bash
# One word looked up: a whole-process `somnex-cli lookup WORD` against
# `mdb-export` of the Book tables of the same books (what reading every book
# to answer one word costs at the least), in turns on the same machine. The
# shelf: the bundled books and ten made-up books of 20 000 words (somnex-book
# synth); the words: a few of the bundled books' and of the made-up ones.
#
#   bench/lookup.sh [BUILD_DIR] [RUNS]     (defaults: build-rel, 20)
#
# The first lookup fills the word cache and is not counted. mdb-export
# (Debian mdbtools) reads copies of the books with the database header in
# place of the book signature.
set -euo pipefail
build=${1:-build-rel}
runs=${2:-20}
source "$(dirname "$0")/shelf.sh"
cli=${CLI:-$cli}
command -v mdb-export >/dev/null || { echo "нет mdb-export: apt-get install mdbtools" >&2; exit 1; }
addSyntheticBooks

# plain database copies for mdb-export
mkdir -p "$tmp/mdb"
while read -r f; do
  c="$tmp/mdb/$(basename "$f" .book).mdb"
  cp "$f" "$c"
  printf '\x00\x01\x00\x00Standard Jet DB\x00\x01\x00' | dd of="$c" bs=1 count=22 conv=notrunc status=none
done < <(allBooks)
exportAll() { for c in "$tmp"/mdb/*.mdb; do mdb-export "$c" Book >/dev/null; done; }

mapfile -t list < <("$cli" words)
words=("${list[0]}" "${list[$((${#list[@]} / 3))]}" "${list[$((${#list[@]} / 2))]}" "${list[$((${#list[@]} - 1))]}")
"$cli" lookup "${words[0]}" >/dev/null # fills the cache
exportT=() lookupT=()
for ((i = 0; i < runs; i++)); do
  exportT+=($(clock exportAll))
  lookupT+=($(clock "$cli" lookup "${words[$((i % ${#words[@]}))]}"))
done
e=$(median "${exportT[@]}") l=$(median "${lookupT[@]}")
echo "$(allBooks | wc -l) books, words: ${words[*]}; medians of $runs runs"
echo "  mdb-export of every Book table: $(ms "$e")"
echo "  somnex-cli lookup WORD:         $(ms "$l")   ratio $(ratio "$l" "$e")"
