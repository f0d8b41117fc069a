#!/usr/bin/env bash
# Formats every C++ file of ours (src tools tests bench fuzz) with .clang-format.
#   scripts/format.sh           rewrite the files in place
#   scripts/format.sh --check   change nothing; list the files that are not
#                               formatted and exit with status 1 if there are any
# CLANG_FORMAT names the program (default: clang-format-14, else clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case "${1:-}" in
  --check) check=1 ;;
  "") ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

cf=${CLANG_FORMAT:-}
if [ -z "$cf" ]; then
  if command -v clang-format-14 >/dev/null; then cf=clang-format-14; else cf=clang-format; fi
fi
if ! command -v "$cf" >/dev/null; then
  echo "$cf not found: apt-get install clang-format" >&2
  exit 2
fi

# Tracked and new files alike, but never anything in a build directory.
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- src tools tests bench fuzz \
                       | grep -E '\.(cpp|h)$' | sort)
if [ ${#files[@]} -eq 0 ]; then
  echo "no C++ files found" >&2
  exit 2
fi

if [ $check -eq 0 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 "$cf" -i --style=file
  exit 0
fi

# --dry-run reports every place that would change as "file:line:col: error: ...".
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
printf '%s\0' "${files[@]}" | xargs -0 -n 50 "$cf" --style=file --dry-run --Werror >"$out" 2>&1 || status=$?
mapfile -t bad < <(sed -nE 's/^(.+):[0-9]+:[0-9]+: error: code should be clang-formatted.*/\1/p' "$out" | sort -u)
if [ $status -ne 0 ] && [ ${#bad[@]} -eq 0 ]; then
  cat "$out" >&2
  echo "$cf failed" >&2
  exit 2
fi
if [ ${#bad[@]} -gt 0 ]; then
  echo "Not formatted (run scripts/format.sh):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "All ${#files[@]} files are formatted."
