#!/usr/bin/env bash
# The client area is 10200 x 6090 twips: 680 x 406 pixels at 96 dpi and, for
# the Windows build under Wine set to 192 dpi, 1360 x 812.
source "$(dirname "$0")/lib.sh"

client_size() {
    xdotool getwindowgeometry "$WID" | sed -n 's/.*Geometry: //p'
}

start_kresovar
[ "$(client_size)" = "680x406" ] || fail "client area $(client_size) at 96 dpi"
press_and_expect_exit EXIT 0

if [ -n "$WINDOWS_BUILD" ]; then
    set_dpi() {
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
    }
    # The prefix is shared with the other scenarios: put 96 dpi back whatever happens.
    reset_dpi() {
        [ -n "$KRESOVAR_PID" ] && kill "$KRESOVAR_PID" 2>/dev/null || true
        KRESOVAR_PID=
        set_dpi 96
        cleanup
    }
    trap reset_dpi EXIT
    set_dpi 192
    start_kresovar
    [ "$(client_size)" = "1360x812" ] || fail "client area $(client_size) at 192 dpi"
    xdotool mousemove --window "$WID" $((EXIT_BUTTON[0] * 2)) $((EXIT_BUTTON[1] * 2)) click 1
    expect_exit 0
fi
pass
