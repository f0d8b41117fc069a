#!/usr/bin/env bash
# Opens the diary's CSV export with LibreOffice Calc (headless) and checks
# that every title and text, Cyrillic and line breaks included, comes back,
# and that a dream beginning like a formula stays text though Calc is told to
# evaluate formulas.
#   scripts/check-csv-calc.sh [BUILD_DIR]     (default build-test)
# Needs soffice (Debian libreoffice-calc-nogui) and python3; says so and
# exits 0 without them, as it is an optional check.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}
if ! command -v soffice >/dev/null || ! command -v python3 >/dev/null; then
  echo "check-csv-calc: soffice or python3 missing; skipped"
  exit 0
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_DATA_HOME=$tmp/data XDG_CONFIG_HOME=$tmp/config HOME=$tmp TZ=Europe/Moscow
cli=$build/bin/somnex-cli
"$cli" diary synth 20 >/dev/null
"$cli" diary add --title 'Кот "в сапогах", ёж' --lat 55.75 --lon 37.62 \
  "$(printf 'Первая строка, "цитата";\nвторая строка: Щука и ёлка')" >/dev/null 2>&1
"$cli" diary add --title '=1+1' '+2+2' >/dev/null 2>&1
"$cli" diary export --format csv --out "$tmp/dreams.csv" >/dev/null
# Calc reads the file as UTF-8 (44: comma, 34: quote, 76: UTF-8), evaluating
# formulas (the last option), and writes it out again as UTF-8 CSV.
soffice --headless --norestore --infilter='CSV:44,34,76,1,,1033,false,false,false,false,true' \
  --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false' \
  --outdir "$tmp/out" "$tmp/dreams.csv" >/dev/null 2>&1
python3 - "$tmp/dreams.csv" "$tmp/out/dreams.csv" <<'PY'
import csv, io, sys
ours = list(csv.reader(io.open(sys.argv[1], encoding="utf-8-sig", newline="")))
calc = list(csv.reader(io.open(sys.argv[2], encoding="utf-8-sig", newline="")))
assert len(ours) == len(calc) == 23, (len(ours), len(calc))
assert ours[0] == calc[0], calc[0]
for a, b in zip(ours[1:], calc[1:]):
    assert (a[4], a[5]) == (b[4], b[5]), (a[4], b[4])
assert any(r[4] == 'Кот "в сапогах", ёж' for r in calc)
assert any(r[4] == "'=1+1" and r[5] == "'+2+2" for r in calc), "a formula ran"
print("check-csv-calc: %d dreams read back by Calc intact" % (len(calc) - 1))
PY
