#!/usr/bin/env bash
# Cross-builds the native Windows programs with MinGW-w64, each one statically
# linked file that needs no DLL beyond the system's (build-win/window/kresovar.exe,
# build-win/cli/kresovar-fold.exe, build-win/clipboard/tool/kresovar-clipboard.exe),
# and their installer, build-win/kresovar-VERSION-x64.msi, with wixl; and
# their unit tests, which scripts/test.sh runs under Wine. Arguments go to
# cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=ON "$@" >/dev/null
cmake --build build-win -j"$(nproc)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-win/CMakeCache.txt)
echo "Built build-win/kresovar-$version-x64.msi"
