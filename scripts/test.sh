#!/usr/bin/env bash
# Installs what is missing, builds Kresovar and runs every test headless:
#  1. the whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#  2. the whole suite again in the normal build, with the two fuzzers, and the
#     cross-built Windows program's tests and scenarios under Wine;
#  3. the fold's tests and kresovar-fold's, cross-built for ARM64, under qemu.
# Widget tests run offscreen; each end-to-end scenario starts its own X display.
# Every build treats a compiler warning as an error (KRESOVAR_WERROR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
jobs=$(nproc)

werror=-DKRESOVAR_WERROR=ON
scripts/build-windows.sh "$werror"
scripts/build-arm64.sh "$werror"
CXX=clang++ cmake -S fold/fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo "$werror" >/dev/null
cmake --build build-fuzz -j"$jobs"
BUILD_DIR=build-asan scripts/build.sh -DBUILD_TESTING=ON -DKRESOVAR_SANITIZE=ON "$werror"
scripts/build.sh -DBUILD_TESTING=ON -DKRESOVAR_WINDOWS_BUILD="$PWD/build-win" -DKRESOVAR_FUZZERS="$PWD/build-fuzz" "$werror"

# Each test carries exactly one label, set where the test is added, and
# docs/testing.md gives each label's time limits and the fuzzers' time.
ctest --test-dir build --show-only=json-v1 | /usr/bin/python3 -c '
import json, re, sys
kinds = {"unit", "cli", "scenario", "windows", "package", "docs", "fuzz"}
limits = {}
fuzzing = set()
for test in json.load(sys.stdin)["tests"]:
    properties = {p["name"]: p["value"] for p in test.get("properties", [])}
    labels = properties.get("LABELS", [])
    if len(labels) != 1 or labels[0] not in kinds:
        sys.exit("%s: labels %s, not one of %s" % (test["name"], labels, sorted(kinds)))
    limits.setdefault(labels[0], set()).add(int(properties.get("TIMEOUT", 1500)))
    if labels[0] == "fuzz":
        fuzzing.add(int(test["command"][3]))  # run_fuzzer.sh FUZZER SECONDS SEEDS

seconds = lambda cell: {int(n) for n in re.findall(r"(\d+) s\b", cell)}
table = [line.strip().strip("|").split("|") for line in open("docs/testing.md") if line[0] == "|"]
rows = [[cell.strip() for cell in row] for row in table]
column = rows[0].index
written = {row[0].strip("`"): row for row in rows[2:]}
if {k: seconds(row[column("time limit")]) for k, row in written.items()} != limits:
    sys.exit("docs/testing.md gives other time limits than the build: %s" % limits)
if seconds(written["fuzz"][column("what it checks")]) != fuzzing:
    sys.exit("docs/testing.md gives the fuzzers another time than the build: %s s" % fuzzing)
'

# libkresovar's ABI changes only on purpose: after one, describe it again with
#   abidw --no-corpus-path --short-locs --no-show-locs --no-comp-dir-path --headers-dir lib \
#         --drop-private-types --exported-interfaces-only --out-file lib/kresovar.abi build/lib/libkresovar.so.1
# The build tree's library, which has its debugging information; the packaged one is stripped.
echo "== libkresovar's ABI against lib/kresovar.abi"
abidiff lib/kresovar.abi build/lib/libkresovar.so.1

echo "== The suite under AddressSanitizer and UndefinedBehaviorSanitizer"
LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== The suite, the fuzzers and the Windows build"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== The fold and kresovar-fold for ARM64, under qemu-aarch64"
ctest --test-dir build-arm64 --output-on-failure -j"$jobs"
