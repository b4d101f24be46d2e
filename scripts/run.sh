#!/usr/bin/env bash
# Installs what is missing, builds Kresovar and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Kresovar is built (build/window/kresovar), but there is no display to show it on." >&2
    echo "Run this from a desktop session, or in a virtual display: xvfb-run -a build/window/kresovar" >&2
    exit 1
fi
exec build/window/kresovar
