#!/usr/bin/env bash
# Cross-builds kresovar-fold, libkresovar and their unit tests for ARM64 with
# Debian's aarch64-linux-gnu compiler (build-arm64/cli/kresovar-fold,
# build-arm64/fold/fold_test, build-arm64/lib/), whose tests (ctest --test-dir build-arm64) run
# them under qemu-aarch64. Arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DKRESOVAR_GUI=OFF "$@" >/dev/null
cmake --build build-arm64 -j"$(nproc)"
