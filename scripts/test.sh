#!/usr/bin/env bash
# Installs what is missing, builds Kresovar and runs every test headless: the
# widget tests offscreen, the end-to-end tests each in a virtual X display of
# their own.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)"
