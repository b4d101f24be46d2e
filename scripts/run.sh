#!/usr/bin/env bash
# Installs what building and running needs, builds the three programs and
# starts the window. Only the programs are built; the tests stay configured
# only where everything scripts/test.sh installs is present.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
configure=()
if [ ! -e build/CMakeCache.txt ] || ! scripts/install-deps.sh test --check; then
    configure=(-DBUILD_TESTING=OFF)
fi
TARGETS="kresovar kresovar-fold kresovar-clipboard" scripts/build.sh "${configure[@]}"

no_window() {
    echo "Kresovar is built (build/window/kresovar, build/cli/kresovar-fold, build/clipboard/tool/kresovar-clipboard), but $1." >&2
    echo "Run this from a desktop session, or in a virtual display: xvfb-run -a build/window/kresovar" >&2
    exit "$2"
}
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || no_window "there is no display to show the window on" 1
status=0
build/window/kresovar || status=$?
[ "$status" -eq 0 ] || no_window "the window could not be shown on this display (status $status)" "$status"
