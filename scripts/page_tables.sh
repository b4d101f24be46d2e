#!/usr/bin/env bash
# Writes docs/code-pages.js from fold/, built in build/ (or $BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake --build "$build" --target fold >/dev/null
g++ -std=c++20 -Ifold scripts/page_tables.cpp "$build/fold/libfold.a" -o "$build/page_tables"
"$build/page_tables" >docs/code-pages.js
