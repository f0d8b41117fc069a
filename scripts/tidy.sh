#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy) over our own sources (src tools tests bench
# fuzz) as a build compiled them, then prints a summary: findings per check,
# every function over the cognitive-complexity threshold and every function
# over the statement threshold, worst first.
#   scripts/tidy.sh [BUILD_DIR] [PATH_REGEX]
# BUILD_DIR: a configured build (every build exports compile_commands.json);
# default build-test, the one ./test.sh makes. PATH_REGEX limits the files
# (e.g. 'src/platform/'). The full output is kept in BUILD_DIR/tidy.log.
# Exit status: 0 when clang-tidy ran on every file and found nothing; 1 on
# any finding or when a file did not compile for it (a gate: CI fails). SOMNEX_TIDY_ARGS adds arguments to every
# clang-tidy call (e.g. --extra-arg=-Wshadow to see a warning's count).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-test}
filter=${2:-}
jobs=${SOMNEX_TIDY_JOBS:-$(nproc)}

ct=${CLANG_TIDY:-}
if [ -z "$ct" ]; then
  if command -v clang-tidy-14 >/dev/null; then ct=clang-tidy-14; else ct=clang-tidy; fi
fi
command -v "$ct" >/dev/null || { echo "$ct not found: apt-get install clang-tidy" >&2; exit 2; }
db=$build/compile_commands.json
if [ ! -f "$db" ]; then
  echo "No $db: configure a build first (./test.sh, or cmake -S . -B $build -G Ninja)" >&2
  exit 2
fi
mapfile -t files < <(python3 - "$db" "$root" "$filter" <<'PY'
import json, os, re, sys
db, root, flt = sys.argv[1], sys.argv[2], sys.argv[3]
seen = set()
for e in json.load(open(db)):
    f = os.path.normpath(os.path.join(e["directory"], e["file"]))
    rel = os.path.relpath(f, root)
    if not re.match(r"(src|tools|tests|bench|fuzz)/", rel) or "_autogen" in rel or rel in seen:
        continue
    if flt and not re.search(flt, rel):
        continue
    seen.add(rel)
    print(rel)
PY
)
[ ${#files[@]} -gt 0 ] || { echo "no sources of ours in $db" >&2; exit 2; }

log=$build/tidy.log
echo "clang-tidy: ${#files[@]} files, $jobs at a time, log in $log"
status=0
printf '%s\0' "${files[@]}" \
  | xargs -0 -P "$jobs" -n 4 "$ct" -p "$build" --quiet --header-filter="^$root/(src|tools|tests|bench|fuzz)/" ${SOMNEX_TIDY_ARGS:-} \
    >"$log" 2>&1 || status=$?

# A header's finding is reported once per file that includes it: count it once.
grep -E '^/.*:[0-9]+:[0-9]+: (warning|error): .*\[[a-z0-9.,-]+\]$' "$log" | sed "s|^$root/||" | sort -u >"$log.findings" || true
echo
echo "Findings per check:"
if [ -s "$log.findings" ]; then
  sed -E 's/.*\[([a-z0-9.,-]+)\]$/\1/' "$log.findings" | sort | uniq -c | sort -rn
else
  echo "  none"
fi
echo
echo "Functions over the cognitive-complexity threshold:"
grep 'readability-function-cognitive-complexity' "$log.findings" \
  | sed -E "s/^([^:]+):([0-9]+):[0-9]+: warning: function '(.*)' has cognitive complexity of ([0-9]+) .*/\4 \3 (\1:\2)/" \
  | sort -rn | sed 's/^/  /' || echo "  none"
echo
echo "Functions over the statement threshold:"
# the warning names the function, the note after it the count
awk -v root="$root/" '
  /\[readability-function-size\]$/ {
    match($0, /function .* exceeds/); fn = substr($0, RSTART + 9, RLENGTH - 17)
    split($0, loc, ":"); where = loc[1] ":" loc[2]; sub(root, "", where); next
  }
  where != "" && /note: [0-9]+ statements/ {
    match($0, /[0-9]+ statements/); print substr($0, RSTART, RLENGTH - 11) " " fn " (" where ")"; where = ""
  }' "$log" | sort -u | sort -rn | sed 's/^/  /' | grep . || echo "  none"
findings=$(wc -l <"$log.findings")
rm -f "$log.findings"
if grep -qE ': error: ' "$log"; then
  echo
  echo "clang-tidy could not read some files:"
  grep -E ': error: ' "$log" | sort -u | head -20
  exit 1
fi
[ $status -eq 0 ] || [ $status -eq 123 ] || { echo "clang-tidy failed ($status)" >&2; exit 1; }
if [ "$findings" -gt 0 ]; then
  echo
  echo "$findings findings: fix them, or mark a data table NOLINT(check) with the reason." >&2
  exit 1
fi
exit 0
