#!/usr/bin/env bash
# Configures and builds Kresovar in build/ (or the folder in $BUILD_DIR):
# everything, or only the targets in $TARGETS.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" ${TARGETS:+--target $TARGETS}
