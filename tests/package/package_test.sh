#!/usr/bin/env bash
# Installs the built tree and builds the four .deb packages, then checks that the
# programs' package and the tree hold the three programs, their manual pages, the desktop entry with its action, the icons, the
# metadata and the package's documents, and that each passes its validator:
# desktop-file-validate, appstreamcli, groff and lintian. The version and the
# home page written by hand (the changelogs, the home page) are CMake's.
set -euo pipefail
build=$(realpath "${1:?usage: package_test.sh BUILD-DIR}")
index=$(dirname "$0")/../../docs/index.html
id=io.github.kresovar.Kresovar
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

files=(
    bin/kresovar
    bin/kresovar-fold
    bin/kresovar-clipboard
    share/man/man1/kresovar.1.gz
    share/man/man1/kresovar-fold.1.gz
    share/man/man1/kresovar-clipboard.1.gz
    share/doc/kresovar/copyright
    share/doc/kresovar/changelog.gz
    "share/applications/$id.desktop"
    "share/metainfo/$id.metainfo.xml"
    "share/icons/hicolor/32x32/apps/$id.png"
    "share/icons/hicolor/scalable/apps/$id.svg"
)

cmake --install "$build" --prefix "$work/usr" >/dev/null
for file in "${files[@]}"; do
    [ -s "$work/usr/$file" ] || fail "not installed: $file"
done
[ -x "$work/usr/bin/kresovar" ] && [ -x "$work/usr/bin/kresovar-fold" ] && [ -x "$work/usr/bin/kresovar-clipboard" ] \
    || fail "a program is not executable"
file -b "$work/usr/share/icons/hicolor/32x32/apps/$id.png" | grep -q '32 x 32' || fail "the icon is not 32 x 32"
desktop-file-validate "$work/usr/share/applications/$id.desktop"
[ "$(sed -n '/^Actions=/p; /^\[Desktop Action fold-clipboard\]/,/^\[/p' "$work/usr/share/applications/$id.desktop")" \
    = $'Actions=fold-clipboard;\n[Desktop Action fold-clipboard]\nName=Usuń ogonki ze schowka\nExec=kresovar-clipboard' ] \
    || fail "the desktop entry has no action that folds the clipboard"
appstreamcli validate --pedantic --no-net --explain "$work/usr/share/metainfo/$id.metainfo.xml"
for page in "$work"/usr/share/man/man1/*.1.gz; do
    warnings=$(zcat "$page" | groff -man -ww -Tutf8 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(ls "$work"/deb/kresovar_*.deb)
listing=$(dpkg-deb --contents "$deb")
for file in "${files[@]}"; do
    grep -q "\./usr/$file\$" <<<"$listing" || fail "not in the package: $file"
done
depends=$(dpkg-deb --field "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || fail "the package does not depend on Qt: $depends"
recommends=$(dpkg-deb --field "$deb" Recommends)
grep -q 'qt6-wayland' <<<"$recommends" && grep -q 'qt6-translations-l10n' <<<"$recommends" \
    || fail "the package does not recommend Qt's Wayland plugin and translations: $recommends"
[ "$(dpkg-deb --field "$deb" Version)" = "$KRESOVAR_VERSION" ] || fail "version $(dpkg-deb --field "$deb" Version)"
[[ "$(zcat "$work/usr/share/doc/kresovar/changelog.gz")" == "kresovar ($KRESOVAR_VERSION) "* ]] \
    && [[ "$(grep -m 1 -o '<release version="[^"]*"' "$work/usr/share/metainfo/$id.metainfo.xml")" == *"\"$KRESOVAR_VERSION\"" ]] \
    || fail "the changelog's or the metadata's last release is not $KRESOVAR_VERSION"
[ "$(grep -oE '(kresovar[_-]|Kresovar )[0-9][0-9.]*[0-9]' "$index" | grep -oE '[0-9.]+$' | sort -u)" = "$KRESOVAR_VERSION" ] \
    && ! grep -o 'https://[^/"]*\.github\.io[^"<]*' "$index" | grep -vxF "$KRESOVAR_HOMEPAGE" \
    || fail "docs/index.html names another version or home page"
# The library's three packages beside it: the programs link it statically.
! grep -q libkresovar <<<"$depends" || fail "the programs depend on the library: $depends"
library=$(ls "$work"/deb/libkresovar1_*.deb)
[ "$(dpkg-deb --ctrl-tarfile "$library" | tar -xO ./triggers)" = "activate-noawait ldconfig" ] \
    && ! dpkg-deb --ctrl-tarfile "$library" | tar -xO ./postinst ./postrm | grep -q '^[^#]*ldconfig' \
    || fail "libkresovar1 does not renew the linker's cache by a trigger alone"
[ "$(dpkg-deb --field "$work"/deb/python3-kresovar_*.deb Architecture)" = all ] || fail "python3-kresovar is not for all"
dpkg-deb --ctrl-tarfile "$work"/deb/python3-kresovar_*.deb | tar -xO ./prerm | grep -q '^ *py3clean -p python3-kresovar' \
    || fail "python3-kresovar leaves the bytecode an import as root wrote"
dpkg-deb --field "$work"/deb/libkresovar-dev_*.deb Depends | grep -q 'libstdc++-dev' \
    || fail "libkresovar-dev does not bring the libstdc++ that its static library needs"
[ "$(nm -D --defined-only "$(find "$build/lib" -name libkresovar.so.1)" | awk '$3 !~ /^kresovar_/')" = "" ] \
    || fail "libkresovar.so.1 exports more than kresovar_*"
mkdir "$work/root"
for package in "$library" "$work"/deb/python3-kresovar_*.deb; do
    dpkg-deb -x "$package" "$work/root"
done
# A library built with the sanitizers loads only into a program built with them, which Python is not.
if [ "${KRESOVAR_SANITIZED:-OFF}" != ON ]; then
    folded=$(PYTHONPATH="$work/root/usr/lib/python3/dist-packages" \
        KRESOVAR_LIBRARY=$(find "$work/root" -name libkresovar.so.1) python3 -c 'import kresovar; print(kresovar.fold("Łódź"))')
    [ "$folded" = Lodz ] || fail "the packaged Python module folds Łódź to $folded"
fi
lintian --fail-on error,warning --allow-root "$work"/deb/*.deb
echo "PASS: $(basename -a "$work"/deb/*.deb | tr '\n' ' ')lintian clean: $depends; recommends $recommends"
