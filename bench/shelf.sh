# Sourced by the start-up, lookup and memory scripts: checks the programs of
# a Release build, makes fresh temporary settings, user data, cache and
# runtime folders (removed on exit) and offers the shelves they measure.
#   needs: build (the build folder)
somnex="$build/bin/somnex"
cli="$build/bin/somnex-cli"
book="$build/bin/somnex-book"
for p in "$somnex" "$cli" "$book"; do
  [[ -x $p ]] || { echo "нет $p: сначала соберите программу (cmake --build $build)" >&2; exit 1; }
done
tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data XDG_CACHE_HOME=$tmp/cache XDG_RUNTIME_DIR=$tmp/run
export QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
userBooks="$XDG_DATA_HOME/ZUL Programming/ZUL Somnex/3.1/Books"
sharedBooks="$build/share/ZUL Programming/ZUL Somnex/3.1/Books"

# Ten made-up books of 20 000 words each in the user's books folder.
addSyntheticBooks() {
  mkdir -p "$userBooks"
  for s in 1 2 3 4 5 6 7 8 9 10; do
    "$book" synth "$userBooks/synth$s.book" --words 20000 --seed "$s" >/dev/null
  done
}
allBooks() { ls "$sharedBooks"/*.book "$userBooks"/*.book 2>/dev/null || true; }

# wall time of one run of the command, in microseconds (bash's own
# microsecond clock: `time` rounds to milliseconds; a point before the
# fraction whatever the user's locale, for this shell only)
LC_NUMERIC=C
clock() {
  local t0 t1
  t0=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%d", (b - a) * 1e6 }'
}
# wall and CPU (user + system) time of one run, in microseconds: "wall cpu";
# on a busy machine the CPU time is the steadier of the two (it is counted in
# milliseconds)
clock2() {
  local t0 t1 u s
  TIMEFORMAT='%U %S'
  t0=$EPOCHREALTIME
  { time "$@" >/dev/null 2>&1; } 2>"$tmp/times" || true
  t1=$EPOCHREALTIME
  read -r u s <"$tmp/times"
  awk -v a="$t0" -v b="$t1" -v u="$u" -v s="$s" 'BEGIN { printf "%d %d\n", (b - a) * 1e6, (u + s) * 1e6 }'
}
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { awk -v u="$1" 'BEGIN { printf "%.1f ms", u / 1000 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
