#!/usr/bin/env bash
# Makes a fresh Wine prefix for the Windows build's tests, within a bounded
# time. Runs in a display of its own (with_display.sh).
set -euo pipefail
prefix=${1:?usage: wine_prefix.sh PREFIX}
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true' EXIT

# within SECONDS COMMAND...: runs the command, failing aloud at the limit.
within() {
    local limit=$1 status=0
    shift
    timeout "$limit" "$@" || status=$?
    [ "$status" -ne 124 ] || { echo "FAIL: '$*' did not finish within $limit s" >&2; exit 1; }
    [ "$status" -eq 0 ] || { echo "FAIL: '$*' ended with status $status" >&2; exit 1; }
}

within 300 wineboot --init
# The unit tests' windows come and go by the dozen: left unmanaged, Wine does
# not wait, a second each time, for a window manager that the display lacks.
for test in platform_test command_steps_test; do
    within 60 wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$test.exe\\X11 Driver" /v Managed /t REG_SZ /d N /f
done
within 60 wineserver --wait
[ -d "$prefix/drive_c/windows" ] || { echo "FAIL: no Wine prefix was made" >&2; exit 1; }
echo "Wine prefix ready: $prefix"
