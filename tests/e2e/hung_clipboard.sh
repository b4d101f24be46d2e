#!/usr/bin/env bash
# Another program holds the clipboard and does not answer. On X11 it never
# answers: the paste gives up at its deadline, says so, and leaves the text
# as it was. On Windows it offers its text to be rendered on request, hangs
# and then ends, and paste waits for it as Wine makes every program wait:
# the paste gives no text and empties the text area, which Ctrl+Z takes
# back. Either way the program goes on.
source "$(dirname "$0")/lib.sh"

start_kresovar
click_text_area
type_text "stary"
if [ -n "$WINDOWS_BUILD" ]; then
    wine "${HUNG_OWNER:?the Windows program that hangs}" >"$WORK/holder" &
else
    "$X11_WINDOW" hold-clipboard 120 >"$WORK/holder" &
fi
HOLDER=$!
wait_until "$DEADLINE" grep -qs holding "$WORK/holder" || fail "could not take the clipboard"

started=$SECONDS
press_only PASTE
if [ -n "$WINDOWS_BUILD" ]; then
    wait_idle 60
    ! kill -0 "$HOLDER" 2>/dev/null || fail "the paste did not wait for the hung program"
else
    expect_notice
fi
echo "paste gave up after about $((SECONDS - started)) s"
! xdotool search --onlyvisible --name 'Kresovar – błąd' >/dev/null 2>&1 || fail "the paste ended in the error report"

click_text_area
[ -z "$WINDOWS_BUILD" ] || keys ctrl+z
copy_text_area_with_keys
printf 'stary' >"$WORK/expected"
expect_clipboard "$WORK/expected"
press_and_expect_exit EXIT 0
pass
