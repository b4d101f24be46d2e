#!/usr/bin/env bash
# Builds in release mode and prints the benchmark tables: FoldText against
# the copy floor, the window's commands through real widgets against theirs,
# and kresovar-fold in a pipe against cat | cat and other filters.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh -DBUILD_TESTING=OFF
build-release/fold/fold_benchmark --benchmark_color=false
QT_LOGGING_RULES='qt.text.font.db=false' build-release/window/commands_benchmark --benchmark_color=false 2>&1 \
    | grep -v 'OpenType support missing'
/usr/bin/python3 scripts/bench_fold_pipeline.py build-release/cli/kresovar-fold
