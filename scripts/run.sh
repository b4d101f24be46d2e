#!/usr/bin/env bash
# Installs what building and running needs, builds both programs and starts
# the window. A first build leaves the tests out; once scripts/test.sh has
# configured build/ with them, they are built too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
configure=()
[ -e build/CMakeCache.txt ] || configure=(-DBUILD_TESTING=OFF)
scripts/build.sh "${configure[@]}"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Kresovar is built (build/window/kresovar, build/cli/kresovar-fold), but there is no display to show the window on." >&2
    echo "Run this from a desktop session, or in a virtual display: xvfb-run -a build/window/kresovar" >&2
    exit 1
fi
exec build/window/kresovar
