#!/usr/bin/env bash
# Another program holds the clipboard and never answers: paste gives up after
# Qt's clipboard time-out, leaves the text area empty, and the program goes on.
source "$(dirname "$0")/lib.sh"

start_kresovar
click_text_area
type_text "stary"
"$X11_WINDOW" hold-clipboard 120 >"$WORK/holder" &
wait_until "$DEADLINE" grep -q holding "$WORK/holder" || fail "could not take the clipboard"

started=$SECONDS
press_only PASTE
wait_idle 60
echo "paste gave up after about $((SECONDS - started)) s"

# The program still works: typing and its own copy reach the text area.
click_text_area
type_text "nowy"
copy_text_area_with_keys
printf 'nowy' >"$WORK/expected"
expect_clipboard "$WORK/expected"
press_and_expect_exit EXIT 0
pass
