#!/usr/bin/env bash
# Paste, fold and copy through the system clipboard, with xclip as the other program.
source "$(dirname "$0")/lib.sh"

start_kresovar
click "${TEXT_AREA[@]}"
type_text "stary"

# Nothing on the clipboard: paste empties the text area, and copy then puts an empty text.
click "${PASTE_BUTTON[@]}"
click "${COPY_BUTTON[@]}"
: >"$WORK/empty"
expect_clipboard "$WORK/empty"

# A multi-line Polish text, with lone line feeds among the CR LF breaks.
printf 'Zażółć gęślą jaźń\r\nZAŻÓŁĆ GĘŚLĄ JAŹŃ\nkoniec\r\n' | clipboard_in
click "${PASTE_BUTTON[@]}"
printf 'Zazolc gesla jazn\nZAZOLC GESLA JAZN\nkoniec\n' >"$WORK/expected"
fold_and_expect "$WORK/expected"
click "${COPY_BUTTON[@]}"
printf 'Zazolc gesla jazn\r\nZAZOLC GESLA JAZN\r\nkoniec\r\n' >"$WORK/expected"
expect_clipboard "$WORK/expected"

# Only a picture on the clipboard: paste leaves the text area empty.
clipboard_in -t image/png <"$E2E_DIR/../../window/icon/kresovar.png"
wait_until "$DEADLINE" bash -c "xclip -selection clipboard -o -t TARGETS | grep -q image/png" \
    || fail "xclip did not take the clipboard"
click "${PASTE_BUTTON[@]}"

# Copy of the empty text area: an empty text, and the picture is gone.
click "${COPY_BUTTON[@]}"
expect_clipboard "$WORK/empty"
targets=$(clipboard_out -t TARGETS)
grep -qx UTF8_STRING <<<"$targets" || fail "no text on the clipboard: $targets"
! grep -q image <<<"$targets" || fail "the picture survived the copy: $targets"

running || fail "the program ended"
pass
