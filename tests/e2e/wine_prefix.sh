#!/usr/bin/env bash
# Makes a fresh Wine prefix for the Windows build's scenarios, in a display of
# its own, within a bounded time.
set -euo pipefail
prefix=${1:?usage: wine_prefix.sh PREFIX}
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 1 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n 1 "$work/display")"
timeout 300 wineboot --init
timeout 60 wineserver --wait
[ -d "$prefix/drive_c/windows" ] || { echo "no Wine prefix was made" >&2; exit 1; }
echo "Wine prefix ready: $prefix"
