#!/usr/bin/env bash
# The dream-book file type as a desktop sees it: with our MIME package in a
# private XDG data folder, a real book is told by its signature and any other
# file named *.book is not.  Usage: check_mime.sh MIME.xml BOOK
set -euo pipefail
mime_xml=$1
book=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

mkdir -p "$root/share/mime/packages"
cp "$mime_xml" "$root/share/mime/packages/"
update-mime-database "$root/share/mime" >/dev/null

type_of() {
    XDG_DATA_HOME="$root/none" XDG_DATA_DIRS="$root/share:/usr/share" \
        gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'
}

want=application/x-zul-somnex-book
failed=0
check() { # file, expected (want|other)
    local got
    got=$(type_of "$1")
    if [ "$2" = want ] && [ "$got" != "$want" ]; then
        echo "FAIL: $(basename "$1") is '$got', expected $want"; failed=1
    elif [ "$2" = other ] && [ "$got" = "$want" ]; then
        echo "FAIL: $(basename "$1") is taken for a dream book"; failed=1
    else
        echo "ok: $(basename "$1") -> $got"
    fi
}

cp "$book" "$root/real.book"
cp "$book" "$root/renamed.dat"
head -c 4096 /dev/urandom > "$root/random.book"
printf 'Just some notes\n' > "$root/notes.book"
# A bare Jet database (no book signature) is not a dream book either.
{ printf '\000\001\000\000Standard Jet DB\000'; head -c 4096 /dev/zero; } > "$root/plainjet.book"

check "$root/real.book" want
check "$root/renamed.dat" want
check "$root/random.book" other
check "$root/notes.book" other
check "$root/plainjet.book" other
exit $failed
