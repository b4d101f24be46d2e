#!/usr/bin/env bash
# Typed Polish text is folded in place, the caret comes back to where it
# stood, and a close request from the window manager ends the program with 0.
source "$(dirname "$0")/lib.sh"
CLOSE_REQUEST=${CLOSE_REQUEST:?path to close_request_x11}

start_kresovar
click "${TEXT_AREA[@]}"
type_text "zażółć gęślą jaźń"
keys Return
type_text "łódź"
keys Left

click "${FOLD_BUTTON[@]}"
# The caret is back between "d" and "z": what is typed now lands there.
type_text "X"
copy_text_area_with_keys
printf 'zazolc gesla jazn\nlodXz' >"$WORK/expected"
expect_clipboard "$WORK/expected"

"$CLOSE_REQUEST" "$WID"
expect_exit 0
pass
