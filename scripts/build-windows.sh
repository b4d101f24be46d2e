#!/usr/bin/env bash
# Cross-builds the native Windows program, build-win/window/kresovar.exe, with
# MinGW-w64: one statically linked file that needs no DLL beyond the system's.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j"$(nproc)"
