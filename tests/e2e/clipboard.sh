#!/usr/bin/env bash
# Paste, fold and copy through the system clipboard, with another program on
# its other side.
source "$(dirname "$0")/lib.sh"

start_kresovar
click_text_area
type_text "stary"

# Nothing on the clipboard: paste empties the text area, and copy then puts an empty text.
press PASTE
copy_with_button
: >"$WORK/empty"
expect_clipboard "$WORK/empty"

# A multi-line Polish text, with lone line feeds among the CR LF breaks.
printf 'Zażółć gęślą jaźń\r\nZAŻÓŁĆ GĘŚLĄ JAŹŃ\nkoniec\r\n' | clipboard_in
press PASTE
printf 'Zazolc gesla jazn\nZAZOLC GESLA JAZN\nkoniec\n' >"$WORK/expected"
fold_and_expect "$WORK/expected"
copy_with_button
printf 'Zazolc gesla jazn\r\nZAZOLC GESLA JAZN\r\nkoniec\r\n' >"$WORK/expected"
expect_clipboard "$WORK/expected"

# Only a picture on the clipboard: paste leaves the text area empty.
clipboard_in -t image/png <"$E2E_DIR/../../window/icon/kresovar.png"
wait_until "$DEADLINE" clipboard_offers image/png || fail "the picture did not reach the clipboard"
press PASTE
copy_with_button
expect_clipboard "$WORK/empty"
pass
