#!/usr/bin/env bash
# The calendar refresh beside the same work done by an independent
# ephemeris: Astronomy Engine under Node (installed with npm into a
# temporary folder; needs nodejs and npm, and the npm registry). Prints both
# times and their ratio.
#
#   bench/calendar/reference.sh [BUILD_DIR]     (default: build-rel)
set -euo pipefail
build=${1:-build-rel}
bench="$build/bench/bench_calendar"
[[ -x $bench ]] || { echo "нет $bench: соберите бенчмарки (-DSOMNEX_BENCH=ON)" >&2; exit 1; }
command -v node >/dev/null && command -v npm >/dev/null || { echo "нужны nodejs и npm" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
npm install --prefix "$tmp" --no-audit --no-fund --silent astronomy-engine@2.1.19 >/dev/null
reference=$(NODE_PATH="$tmp/node_modules" node "$(dirname "$0")/reference.js" 200)
ours() { # benchmark name -> milliseconds
  "$bench" --benchmark_filter="^$1\$" --benchmark_format=csv 2>/dev/null | awk -F, -v n="\"$1\"" '$1 == n { print $3 }'
}
kept=$(ours BM_Calculate)
whole=$(ours BM_CalculateUncached)
echo "Astronomy Engine (Node), one refresh: $reference ms"
echo "somnex, lunation kept (BM_Calculate): $kept ms   ratio $(awk -v a="$kept" -v b="$reference" 'BEGIN { printf "%.2f", a / b }')"
echo "somnex, searched anew (BM_CalculateUncached): $whole ms   ratio $(awk -v a="$whole" -v b="$reference" 'BEGIN { printf "%.2f", a / b }')"
