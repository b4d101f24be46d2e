#!/usr/bin/env bash
# Packs the npm package, checks that it carries the page's scripts byte for
# byte, installs it into an empty folder with no network, folds through it,
# and checks its declarations with tsc.
set -euo pipefail
package_json=${1:?usage: npm_pack_test.sh PACKAGE-JSON}
docs=$(dirname "$(realpath "$0")")/../../docs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

tarball=$work/$(bash "$(dirname "$0")/../npm/pack.sh" "$work" "$package_json")
mkdir "$work/unpacked" "$work/user"
tar -xzf "$tarball" -C "$work/unpacked"
for script in kresovar-lib.js code-pages.js byte-fold.js; do
    cmp "$docs/$script" "$work/unpacked/package/$script" || fail "$script differs from the page's"
done
cd "$work/user"
npm install --offline --no-audit --no-fund --silent "$tarball"
got=$(node --input-type=module -e 'import {fold} from "kresovar"; console.log(fold("Zażółć gęślą jaźń, ŁÓDŹ"))')
[ "$got" = "Zazolc gesla jazn, LODZ" ] || fail "fold through the installed package gave: $got"
cat > check.mts <<'TS'
import kresovar, {detect, fold, foldBytes, type Detection, type Encoding} from "kresovar";
const text: string = fold("żółw") + kresovar.fold("ł");
const encoding: Encoding = "windows-1250";
const bytes: Uint8Array = foldBytes(new TextEncoder().encode(text), encoding);
const found: Detection = detect(bytes);
const first: number | null = found.firstBad;
// @ts-expect-error: no such encoding
foldBytes(bytes, "latin-1");
// @ts-expect-error: fold takes a string
fold(bytes);
console.log(first);
TS
tsc --noEmit --strict --module node16 --moduleResolution node16 check.mts
echo "PASS: $(basename "$tarball") installs offline, folds, and its declarations check"
