#!/usr/bin/env bash
# Another program holds the clipboard and never answers: paste gives up after
# Qt's clipboard time-out, leaves the text area empty, and the program goes on.
source "$(dirname "$0")/lib.sh"

start_kresovar
click "${TEXT_AREA[@]}"
type_text "stary"
"$X11_WINDOW" hold-clipboard 120 >"$WORK/holder" &
wait_until "$DEADLINE" grep -q holding "$WORK/holder" || fail "could not take the clipboard"

started=$SECONDS
xdotool mousemove --window "$WID" "${PASTE_BUTTON[@]}" click 1
wait_idle 60
echo "paste gave up after about $((SECONDS - started)) s"
running || fail "the program ended"

# The program still works: typing and its own copy reach the text area.
click "${TEXT_AREA[@]}"
type_text "nowy"
copy_text_area_with_keys
printf 'nowy' >"$WORK/expected"
expect_clipboard "$WORK/expected"
click "${EXIT_BUTTON[@]}"
expect_exit 0
pass
