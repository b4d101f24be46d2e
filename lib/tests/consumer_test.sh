#!/usr/bin/env bash
# Installs the library as its two Debian packages would into an empty prefix,
# then builds a small C program against it through pkg-config, through
# find_package and statically, and runs each.
set -euo pipefail
build=$(realpath "${1:?usage: consumer_test.sh BUILD-DIR VERSION}")
version=${2:?}
source=$(dirname "$(realpath "$0")")/consumer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for component in libkresovar1 libkresovar-dev; do
    cmake --install "$build" --prefix "$work/usr" --component "$component" >/dev/null
done
check() {
    local got
    got=$("$@" 'Zażółć gęślą jaźń, ŁÓDŹ')
    [ "$got" = "Zazolc gesla jazn, LODZ $version" ] || { echo "FAIL: $1: $got" >&2; exit 1; }
}
libdir=$(dirname "$(find "$work/usr" -name libkresovar.so.1)")
export PKG_CONFIG_PATH=$libdir/pkgconfig

# shellcheck disable=SC2046,SC2086  # pkg-config and CFLAGS give several words
cc ${CFLAGS:-} -o "$work/by-pkg-config" "$source/main.c" $(pkg-config --cflags --libs kresovar)
LD_LIBRARY_PATH=$libdir check "$work/by-pkg-config"
# shellcheck disable=SC2046,SC2086
cc ${CFLAGS:-} -o "$work/static" "$source/main.c" $(pkg-config --static --cflags kresovar) "$libdir/libkresovar.a" \
    $(pkg-config --static --libs-only-l kresovar | sed 's/-lkresovar//')
check "$work/static"
cmake -S "$source" -B "$work/by-find-package" -DCMAKE_PREFIX_PATH="$work/usr" >/dev/null
cmake --build "$work/by-find-package" >/dev/null
check "$work/by-find-package/consumer"
libraries=$(ldd "$work/by-find-package/consumer")
grep -q "libkresovar.so.1 => $libdir" <<<"$libraries" || { echo "FAIL: not the installed library: $libraries" >&2; exit 1; }
echo "PASS: pkg-config, static and find_package"
