#!/usr/bin/env bash
# The README's requirements name each library and tool that configuring found,
# and scripts/install-deps.sh installs for scripts/run.sh the Debian package
# that holds it: a newcomer on another system and run.sh alike have them all.
#   usage: requirements_test.sh SOURCE-DIR NAME=FOUND-FILE...
set -euo pipefail
source=${1:?usage: requirements_test.sh SOURCE-DIR NAME=FOUND-FILE...}
shift
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

requirements=$(sed -n 's/^Requirements: \(.*\)\. Optional: .*/\1/p' "$source/README.md")
[ -n "$requirements" ] || fail "README.md has no line of requirements"
run_packages=$("$source/scripts/install-deps.sh" run --list)
for found in "$@"; do
    name=${found%%=*}
    file=${found#*=}
    grep -qF "$name" <<<"$requirements" || fail "README.md's requirements do not name $name ($file)"
    # dpkg -S: "package[:arch][, package...]: path"
    packages=$(dpkg -S "$file" | sed 's/: [^:]*$//; s/:[a-z0-9]*//g; s/, /\n/g')
    grep -qxFf <(printf '%s\n' "$run_packages") <<<"$packages" \
        || fail "install-deps.sh run installs none of $(echo $packages) for $name ($file)"
done
[ "$failures" -eq 0 ] || exit 1
echo "PASS: README.md's requirements name, and install-deps.sh run installs, all of: ${*%%=*}"
