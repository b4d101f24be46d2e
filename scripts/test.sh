#!/usr/bin/env bash
# Installs what is missing, builds Kresovar for Linux and, cross-built, for
# Windows, and runs every test headless: the widget tests offscreen, the
# end-to-end scenarios each in a virtual X display of its own, and the
# Windows build's tests and scenarios under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build-windows.sh
scripts/build.sh -DKRESOVAR_WINDOWS_BUILD="$PWD/build-win"
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)"
