#!/usr/bin/env bash
# Packs the npm package into OUT-DIR: its own files, the package.json CMake
# configured, and the page's scripts it shares, as they are.
set -euo pipefail
out=$(realpath "${1:?usage: pack.sh OUT-DIR PACKAGE-JSON}")
package_json=$(realpath "${2:?}")
here=$(dirname "$(realpath "$0")")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$package_json" "$here/index.mjs" "$here/index.d.ts" "$stage/"
cp "$here"/../../docs/{kresovar-lib,code-pages,byte-fold}.js "$stage/"
npm pack --silent --pack-destination "$out" "$stage"
