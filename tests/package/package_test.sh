#!/usr/bin/env bash
# Installs the built tree and builds the .deb, then checks that both hold the
# program, the desktop entry, the icons and the metadata, and that these pass
# their validators.
set -euo pipefail
build=$(realpath "${1:?usage: package_test.sh BUILD-DIR}")
id=io.github.kresovar.Kresovar
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

files=(
    bin/kresovar
    "share/applications/$id.desktop"
    "share/metainfo/$id.metainfo.xml"
    "share/icons/hicolor/32x32/apps/$id.png"
    "share/icons/hicolor/scalable/apps/$id.svg"
)

cmake --install "$build" --prefix "$work/usr" >/dev/null
for file in "${files[@]}"; do
    [ -s "$work/usr/$file" ] || fail "not installed: $file"
done
[ -x "$work/usr/bin/kresovar" ] || fail "the program is not executable"
file -b "$work/usr/share/icons/hicolor/32x32/apps/$id.png" | grep -q '32 x 32' || fail "the icon is not 32 x 32"
desktop-file-validate "$work/usr/share/applications/$id.desktop"
appstreamcli validate --no-net --explain "$work/usr/share/metainfo/$id.metainfo.xml"

cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >/dev/null
deb=$(ls "$work"/deb/kresovar_*.deb)
dpkg-deb --info "$deb" >/dev/null || fail "dpkg-deb does not accept $deb"
listing=$(dpkg-deb --contents "$deb")
for file in "${files[@]}"; do
    grep -q "\./usr/$file\$" <<<"$listing" || fail "not in the package: $file"
done
depends=$(dpkg-deb --field "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || fail "the package does not depend on Qt: $depends"
grep -q 'libc6' <<<"$depends" || fail "the package does not depend on the C library: $depends"
[ "$(dpkg-deb --field "$deb" Version)" = "1.00" ] || fail "version $(dpkg-deb --field "$deb" Version)"
echo "PASS: $(basename "$deb"): $depends"
