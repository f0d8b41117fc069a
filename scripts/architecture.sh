#!/usr/bin/env bash
# Redraws the pictures of docs/architecture from the build itself: the
# program's libraries and what each links (cmake --graphviz on a
# configuration without tests, benchmarks or fuzzing), and the same graph
# reduced to the folders below src/. Run after a change to the layout.
# Needs graphviz (Debian graphviz) and python3.
#
#   scripts/architecture.sh
set -euo pipefail
cd "$(dirname "$0")/.."
command -v dot >/dev/null && command -v python3 >/dev/null || { echo "нужны graphviz (dot) и python3" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/build"
cat >"$tmp/build/CMakeGraphVizOptions.cmake" <<'CMAKE'
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "^somnex-cli$;^somnex-book$;_autogen;_resources_;_other_files$")
CMAKE
cmake -S . -B "$tmp/build" -G Ninja -DSOMNEX_TESTS=OFF -DSOMNEX_BENCH=OFF --graphviz="$tmp/libraries.dot" >/dev/null
out=docs/architecture
cp "$tmp/libraries.dot" "$out/libraries.dot"
dot -Tpng -Gdpi=72 "$out/libraries.dot" -o "$out/libraries.png"
# The folders: each library taken to the deepest folder below src/ its name
# names (somnex_dictionary_books -> dictionary, somnex_calendar_picker ->
# calendar/picker), the links between folders kept once.
python3 - "$out/libraries.dot" "$tmp/folders.dot" <<'PY'
import os, re, sys
nodes, edges = {}, set()
for line in open(sys.argv[1], encoding="utf-8"):
    m = re.match(r'\s*"(node\d+)" \[ label = "([^"]+)"', line)
    if m:
        nodes[m.group(1)] = m.group(2)
    m = re.match(r'\s*"(node\d+)" -> "(node\d+)"', line)
    if m:
        edges.add((m.group(1), m.group(2)))
def folder(label):
    if not label.startswith("somnex_"):
        return None
    parts = label[len("somnex_"):].split("_")
    for n in range(len(parts), 0, -1):
        if os.path.isdir(os.path.join("src", *parts[:n])):
            return "/".join(parts[:n])
    return None
links = set()
for a, b in edges:
    fa, fb = folder(nodes.get(a, "")), folder(nodes.get(b, ""))
    if fa and fb and fa != fb:
        links.add((fa, fb))
names = sorted({f for pair in links for f in pair} | {f for f in map(folder, nodes.values()) if f})
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write('digraph "folders" {\n  rankdir = BT;\n  node [ shape = box, fontsize = "12" ];\n')
    for n in names:
        out.write(f'  "{n}";\n')
    for a, b in sorted(links):
        out.write(f'  "{a}" -> "{b}";\n')
    out.write("}\n")
PY
dot -Tpng -Gdpi=72 "$tmp/folders.dot" -o "$out/folders.png"
echo "$out/libraries.png, $out/folders.png"
