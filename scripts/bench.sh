#!/usr/bin/env bash
# Builds in release mode and prints the benchmark tables: FoldText and
# FoldBytes on each fold path the processor offers against their copy floors;
# the window's commands through real widgets against theirs, and the CPU the
# window takes at rest; kresovar-fold in a pipe on each fold path against
# cat | cat and other filters; kresovar-clipboard on a clipboard of 10 M
# characters against the clipboard's own transfer; and the Windows build's
# commands under Wine against the EDIT control's own cost, and its
# kresovar-clipboard.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
BUILD_DIR=build-release BUILD_TYPE=Release scripts/build.sh -DBUILD_TESTING=OFF
build-release/fold/fold_benchmark --benchmark_enable_random_interleaving=true
QT_LOGGING_RULES='qt.text.font.db=false' build-release/window/commands_benchmark 2>&1 \
    | grep -v 'OpenType support missing'
for characters in 1000000 10000000; do
    scripts/bench_at_rest.sh build-release/window/kresovar "$characters" 6
done
/usr/bin/python3 scripts/bench_fold_pipeline.py build-release/cli/kresovar-fold
/usr/bin/python3 scripts/bench_clipboard.py build-release/clipboard/tool/kresovar-clipboard

scripts/build-windows.sh
prefix=$PWD/build-win/bench-wine-prefix
[ -d "$prefix/drive_c/windows" ] || tests/e2e/with_display.sh bash tests/e2e/wine_prefix.sh "$prefix"
WINEPREFIX=$prefix WINEDEBUG=-all tests/e2e/with_display.sh wine build-win/window/commands_benchmark_win32.exe
WINEPREFIX=$prefix /usr/bin/python3 scripts/bench_clipboard.py build-win/clipboard/tool/kresovar-clipboard.exe
