#!/usr/bin/env bash
# A platform operation that fails during the fold: the error report appears,
# the program waits for it to be dismissed, and then ends with status 1.
source "$(dirname "$0")/lib.sh"
FAULTY=${FAULTY_KRESOVAR:?the test build with a failing operation}
RUN=(${WINDOWS_BUILD:+wine} "$FAULTY" WriteText)

report_shown() {
    REPORT=$(xdotool search --onlyvisible --name 'Kresovar – błąd' 2>/dev/null | head -n 1)
    [ -n "$REPORT" ]
}

start_kresovar
click_text_area
type_text "gęś"
press_only FOLD
wait_until "$DEADLINE" report_shown || fail "no error report appeared"
# The report waits for the user: a second later the program still runs.
sleep 1
running || fail "the program ended before the report was dismissed"
xdotool windowfocus --sync "$REPORT" key Return
expect_exit 1

# No display that answers: a Polish message on standard error and status 2,
# where Qt alone would abort.
[ -z "$WINDOWS_BUILD" ] || { pass; exit; }
for display in DISPLAY=:1999 WAYLAND_DISPLAY=nowhere; do
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$display" "$KRESOVAR" 2>"$WORK/report" || status=$?
    [ "$status" = 2 ] && grep -q 'Nie udało się otworzyć okna programu' "$WORK/report" \
        && ! grep -q 'Błąd nr' "$WORK/report" || fail "$display: status $status, $(cat "$WORK/report")"
done
pass
