#!/usr/bin/env bash
# A platform operation that fails during the fold: the error report appears,
# the program waits for it to be dismissed, and then ends with status 1.
source "$(dirname "$0")/lib.sh"
KRESOVAR=${FAULTY_KRESOVAR:?the test build with a failing operation}
RUN=("$KRESOVAR" WriteText)

report_shows() {
    xdotool search --onlyvisible --name 'Kresovar – błąd' >/dev/null 2>&1
}

start_kresovar
click "${TEXT_AREA[@]}"
type_text "gęś"
xdotool mousemove --window "$WID" "${FOLD_BUTTON[@]}" click 1
wait_until "$DEADLINE" report_shows || fail "no error report appeared"
running || fail "the program ended before the report was dismissed"
report=$(xdotool search --onlyvisible --name 'Kresovar – błąd' | head -n 1)
xdotool windowfocus --sync "$report" key Return
expect_exit 1
pass
