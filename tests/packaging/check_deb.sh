#!/usr/bin/env bash
# Checks the built Debian package: its control data, its contents, that the
# programs run from where it installs them, and lintian's verdict.
# Usage: check_deb.sh PACKAGE.deb
set -uo pipefail
deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

case $(basename "$deb") in
    zul-somnex_*_*.deb) ;;
    *) fail "file name $(basename "$deb") is not zul-somnex_<version>_<arch>.deb" ;;
esac

info=$(dpkg-deb --info "$deb") || { echo "FAIL: dpkg-deb cannot read $deb"; exit 1; }
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6widgets6 libqt6printsupport6 libqt6svg6 libqt6charts6 libmdb3 libc6 qt6-translations-l10n fonts-dejavu-core \
    libnova-0.16-0 libhunspell-1.7-0 hunspell-ru libsodium23; do
    grep -q "\b$dep\b" <<<"$depends" || fail "Depends lacks $dep"
done
grep -q '^ Package: zul-somnex$' <<<"$info" || fail "package name"

contents=$(dpkg-deb --contents "$deb" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +/, ""); print }')
data='./usr/share/ZUL Programming/ZUL Somnex/3.1'
for path in ./usr/bin/somnex ./usr/bin/somnex-cli ./usr/bin/somnex-book \
    "$data/City.csv" "$data/Books/narodny.book" "$data/Books/psiholog.book" "$data/Books/semeyny.book" "$data/Books/miller.book" \
    ./usr/share/applications/zul-somnex.desktop \
    ./usr/share/metainfo/ru.zulprogramming.somnex.metainfo.xml \
    ./usr/share/mime/packages/zul-somnex-book.xml \
    ./usr/share/icons/hicolor/scalable/apps/zul-somnex.svg \
    ./usr/share/icons/hicolor/16x16/apps/zul-somnex.png \
    ./usr/share/icons/hicolor/256x256/apps/zul-somnex.png \
    ./usr/share/man/man1/somnex.1.gz ./usr/share/man/man1/somnex-cli.1.gz ./usr/share/man/man1/somnex-book.1.gz \
    ./usr/share/bash-completion/completions/somnex-cli ./usr/share/bash-completion/completions/somnex-book \
    ./usr/share/doc/zul-somnex/copyright ./usr/share/doc/zul-somnex/changelog.gz; do
    grep -qxF "$path" <<<"$contents" || fail "missing $path"
done
grep -q "^$data/Texts/.*\.lit$" <<<"$contents" || fail "no articles in the package"
# The statistics' charts: a module in the private library folder, which the
# program loads when the window opens and does not link.
charts=$(grep -E '^\./usr/lib/[^/]+/somnex/libsomnex_diary_charts\.so$' <<<"$contents")
[ -n "$charts" ] || fail "missing the charts' module ./usr/lib/<triplet>/somnex/libsomnex_diary_charts.so"

# The programs run from the unpacked tree and find their data beside it.
dpkg-deb -x "$deb" "$root/inst" || fail "dpkg-deb -x"
export XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" QT_QPA_PLATFORM=offscreen
unset SOMNEX_DATA_DIR
word=$("$root/inst/usr/bin/somnex-cli" words | head -n 1)
[ -n "$word" ] || fail "somnex-cli words printed nothing from the unpacked package"
out=$("$root/inst/usr/bin/somnex-cli" lookup "$word") || fail "somnex-cli lookup $word failed"
grep -q "[Сс]онник" <<<"$out" || fail "lookup of $word shows no book heading"
"$root/inst/usr/bin/somnex-book" info "$root/inst/usr/share/ZUL Programming/ZUL Somnex/3.1/Books/narodny.book" >/dev/null \
    || fail "somnex-book info on the packaged book"
if [ -n "$charts" ]; then
    ldd "$root/inst/${charts#./}" | grep -q 'not found' && fail "the charts' module lacks libraries: $(ldd "$root/inst/${charts#./}")"
    readelf -d "$root/inst/usr/bin/somnex" | grep -q 'NEEDED.*Charts' && fail "somnex links Qt Charts"
fi
[ -e "$root/data/ZUL Programming" ] && [ -n "$(find "$root/data" -type f)" ] && fail "a lookup wrote into the user's data folder"

# lintian: errors fail; warnings are listed.
if command -v lintian >/dev/null; then
    # lintian leaves scratch files in TMPDIR: a folder of ours, removed on exit
    mkdir -p "$root/lintian-tmp"
    report=$(TMPDIR="$root/lintian-tmp" lintian --tag-display-limit 0 "$deb" 2>&1)
    echo "$report"
    grep -q '^E: ' <<<"$report" && fail "lintian reports errors"
else
    fail "lintian is not installed"
fi

[ $failed -eq 0 ] && echo "package ok: $(basename "$deb"), $(stat -c %s "$deb") bytes"
exit $failed
