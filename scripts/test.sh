#!/usr/bin/env bash
# Installs what is missing, builds Kresovar and runs every test headless:
#  1. the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#  2. the whole suite again in the normal build, with the fold fuzzer for a
#     minute, and the cross-built Windows program's tests and scenarios under Wine;
#  3. the fold's tests and kresovar-fold's, cross-built for ARM64, under qemu.
# Widget tests run offscreen; each end-to-end scenario starts its own X display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs=$(nproc)

scripts/build-windows.sh
scripts/build-arm64.sh
CXX=clang++ cmake -S fold/fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$jobs"
BUILD_DIR=build-asan scripts/build.sh -DKRESOVAR_SANITIZE=ON
scripts/build.sh -DBUILD_TESTING=ON -DKRESOVAR_WINDOWS_BUILD="$PWD/build-win" -DKRESOVAR_FUZZERS="$PWD/build-fuzz"

# Each test carries exactly one label, set where the test is added.
ctest --test-dir build --show-only=json-v1 | /usr/bin/python3 -c '
import json, sys
kinds = {"unit", "cli", "scenario", "windows", "package", "docs", "fuzz"}
for test in json.load(sys.stdin)["tests"]:
    labels = [p["value"] for p in test.get("properties", []) if p["name"] == "LABELS"] or [[]]
    if len(labels[0]) != 1 or labels[0][0] not in kinds:
        sys.exit("%s: labels %s, not one of %s" % (test["name"], labels[0], sorted(kinds)))
'

echo "== The suite under AddressSanitizer and UndefinedBehaviorSanitizer"
LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== The suite, the fuzzer and the Windows build"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== The fold and kresovar-fold for ARM64, under qemu-aarch64"
ctest --test-dir build-arm64 --output-on-failure -j"$jobs"
