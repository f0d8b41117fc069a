#!/usr/bin/env python3
"""Writes City.csv (Windows-1251, CRLF) from cities.txt.

Record layout: name, longitude degrees, longitude minutes, latitude degrees,
latitude minutes, latitude flag (1 = south), longitude flag (1 = west); the
first record is a header. Places are sorted by name in Russian alphabetical
order (ё counts as е).
"""
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent
ALPHABET = "абвгдеёжзийклмнопрстуфхцчшщъыьэюя"
HEADER = ["Город", "Долгота, град", "Долгота, мин", "Широта, град", "Широта, мин",
          "Южная широта", "Западная долгота"]


def sort_key(name):
    key = []
    for ch in name.lower().replace("ё", "е"):
        if ch in ALPHABET:
            key.append((2, ALPHABET.index(ch)))
        elif ch.isdigit():
            key.append((1, ord(ch)))
        else:
            key.append((0, ord(ch)))  # blanks and hyphens before letters
    return key


def parse_coord(text, limit, positive, negative, where):
    m = re.fullmatch(r"(\d{1,3}) (\d{2}) ([A-Z])", text.strip())
    if not m:
        sys.exit(f"{where}: bad coordinate {text!r}")
    deg, minutes, hemi = int(m.group(1)), int(m.group(2)), m.group(3)
    if hemi not in (positive, negative) or deg > limit or minutes > 59 or (deg == limit and minutes):
        sys.exit(f"{where}: coordinate out of range {text!r}")
    return deg, minutes, 1 if hemi == negative else 0


def quote(name):
    if '"' in name:
        sys.exit(f"{name}: a name may not hold a double quote")
    return f'"{name}"'


def main():
    places = {}
    for number, line in enumerate((HERE / "cities.txt").read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        parts = [p.strip() for p in line.split("|")]
        where = f"cities.txt:{number}"
        if len(parts) != 3:
            sys.exit(f"{where}: expected three columns")
        name = parts[0]
        if name in places:
            sys.exit(f"{where}: {name} listed twice")
        lat = parse_coord(parts[1], 90, "N", "S", where)
        lon = parse_coord(parts[2], 180, "E", "W", where)
        places[name] = (lon[0], lon[1], lat[0], lat[1], lat[2], lon[2])
    lines = [",".join(quote(h) for h in HEADER)]
    for name in sorted(places, key=sort_key):
        lines.append(",".join([quote(name)] + [str(v) for v in places[name]]))
    (HERE / "City.csv").write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1251"))
    print(f"City.csv: {len(places)} places")


if __name__ == "__main__":
    main()
