#!/usr/bin/env bash
# Typed Polish text is folded in place, the caret comes back to where it
# stood, and a close request from the window manager ends the program with 0.
source "$(dirname "$0")/lib.sh"

start_kresovar
click_text_area
type_text "zażółć gęślą jaźń"
keys Return
type_text "łódź"
keys Left

# The caret is back between "d" and "z": Shift+End selects only the "z".
printf 'z' >"$WORK/expected"
fold_and_expect "$WORK/expected" "$DEADLINE" shift+End
copy_text_area_with_keys
printf 'zazolc gesla jazn\nlodz' >"$WORK/expected"
expect_clipboard "$WORK/expected"

close_window
expect_exit 0
pass
