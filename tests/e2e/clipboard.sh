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

# Multi-line Polish texts come back with their own line breaks, through the
# text area's own copy and through the copy button: lone line feeds among
# CR LF breaks, and a script's line feeds with a run of empty lines.
while read -r given folded; do
    printf "$given" | clipboard_in
    press PASTE
    printf "$folded" >"$WORK/expected"
    fold_and_expect "$WORK/expected"
    copy_with_button
    expect_clipboard "$WORK/expected"
done <<'ROWS'
Zażółć\040gęślą\040jaźń\r\nZAŻÓŁĆ\040GĘŚLĄ\nkoniec\r\n  Zazolc\040gesla\040jazn\r\nZAZOLC\040GESLA\nkoniec\r\n
echo\040łódź\n\n\nexit\0400\n  echo\040lodz\n\n\nexit\0400\n
ROWS

# Each text target an X11 program may offer, alone: UTF-8 kept whole,
# COMPOUND_TEXT decoded, STRING and TEXT as Latin-1, and one trailing NUL
# taken for the end of UTF8_STRING, STRING and TEXT. (Wine's clipboard and
# wl-copy choose the targets themselves.)
if [ -z "$WINDOWS_BUILD${KRESOVAR_WAYLAND:-}" ]; then
    while read -r target given expected; do
        printf "$given" | clipboard_in -t "$target"
        wait_until "$DEADLINE" clipboard_offers "$target" || fail "$target did not reach the clipboard"
        press PASTE
        printf "$expected" >"$WORK/expected"
        copy_with_button
        expect_clipboard "$WORK/expected"
    done <<'ROWS'
UTF8_STRING               a\0b\0                     a\0b
text/plain;charset=utf-8  \305\274\303\263\305\202w\0  \305\274\303\263\305\202w\0
COMPOUND_TEXT             za\033-B\277\363\263\346\0x  za\305\274\303\263\305\202\304\207\0x
STRING                    caf\351\0                  caf\303\251
TEXT                      tekst                      tekst
ROWS

    # Owners that list other targets than xclip: no TARGETS among them, a
    # listed target refused, a charset in capitals, text/plain alone, and
    # TARGETS itself refused, where UTF8_STRING is asked for unlisted. The
    # button and Ctrl+V in the text area take the same text.
    while read -r expected offers; do
        for paste in button ctrl+v; do
            args=()
            for offer in $offers; do args+=("$(printf "$offer")"); done
            rm -f "$WORK/owner"
            "$X11_WINDOW" offer-clipboard 60 "${args[@]}" >"$WORK/owner" &
            wait_until "$DEADLINE" grep -qs holding "$WORK/owner" || fail "could not take the clipboard"
            if [ $paste = button ]; then
                press PASTE
                copy_with_button
            else
                click_text_area
                keys ctrl+a ctrl+v
                wait_idle
                copy_text_area_with_keys
            fi
            kill $!
            printf "$expected" >"$WORK/expected"
            expect_clipboard "$WORK/expected"
            echo "$paste, $offers: $expected"
        done
    done <<'ROWS'
\305\274\303\263\305\202w  UTF8_STRING:\305\274\303\263\305\202w
caf\303\251            TARGETS UTF8_STRING STRING:caf\351
\305\274\303\263\305\202w  STRING:zolw text/plain;charset=UTF-8:\305\274\303\263\305\202w
tekst               COMPOUND_TEXT UTF8_STRING text/plain:tekst
\305\274\303\263\305\202w  !TARGETS UTF8_STRING:\305\274\303\263\305\202w STRING:zolw
caf\303\251            TARGETS UTF8_STRING:caf\351 STRING:caf\351
\305\274\357\277\275       TARGETS UTF8_STRING:\305\274\377 STRING:?\377
\357\273\277\304\205       TARGETS UTF8_STRING:\357\273\277\304\205
ROWS

    # Owners that list every text target and never finish an answer: by
    # INCR without the last part, by INCR a byte a second, or with no answer
    # at all. The paste gives up within its one deadline for all targets
    # together, says so, and the text stays as it was; or Escape ends it at
    # once, without a word (a copy clicked meanwhile would be dropped).
    for owner in +endless +trickle +silent; do
        for paste in button ctrl+v escape; do
            click_text_area
            keys ctrl+a
            type_text "stary"
            rm -f "$WORK/owner"
            "$X11_WINDOW" offer-clipboard 60 TARGETS {UTF8_STRING,"text/plain;charset=utf-8",COMPOUND_TEXT,STRING,TEXT,text/plain}:$owner >"$WORK/owner" &
            wait_until "$DEADLINE" grep -qs holding "$WORK/owner" || fail "could not take the clipboard"
            started=$SECONDS
            if [ $paste = ctrl+v ]; then keys ctrl+v; else press_only PASTE; fi
            if [ $paste = escape ]; then
                # Past the first half second, in which the window waits unseen.
                wait_until "$DEADLINE" grep -qs UTF8_STRING "$WORK/owner" || fail "the paste asked for no text"
                sleep 1
                keys Escape
            else
                expect_notice
            fi
            echo "$paste, $owner: refused after about $((SECONDS - started)) s"
            # Input that comes while the paste still waits is dropped.
            wait_until "$DEADLINE" grep -qs gone "$WORK/owner" || fail "the paste did not end"
            kill $!
            copy_with_button
            printf 'stary' >"$WORK/expected"
            expect_clipboard "$WORK/expected"
            ! notice_shown || fail "$paste, $owner: a notice after the paste was cancelled"
        done
    done
fi

# Another Windows program holds the clipboard open: for a second, which the
# paste waits out, and then for longer than a command waits, which paste
# and copy each say, leaving the text and the clipboard as they were.
if [ -n "$WINDOWS_BUILD" ]; then
    printf 'nowy' | clipboard_in
    for row in 1000:nowy 10000:stary; do
        click_text_area
        keys ctrl+a
        type_text "stary"
        wine "${HUNG_OWNER:?the Windows program that holds the clipboard}" hold "${row%:*}" >"$WORK/holder" &
        HOLDER=$!
        wait_until "$DEADLINE" grep -qs holding "$WORK/holder" || fail "could not open the clipboard"
        press_only PASTE
        [ "${row%:*}" = 1000 ] || { expect_notice; press_only COPY; expect_notice; }
        wait $HOLDER
        # A refused copy leaves the clipboard as it was. Keys that come while a
        # paste still waits are dropped, so the text area is read until it answers.
        printf 'nowy' >"$WORK/expected"
        expect_clipboard "$WORK/expected"
        printf "${row#*:}" >"$WORK/expected"
        click_text_area
        wait_until "$DEADLINE" selection_is ctrl+a "$(as_build_exports "$WORK/expected")" \
            || expect_clipboard "$WORK/expected" 0
    done
fi

# Only a picture on the clipboard: paste leaves the text area empty.
clipboard_in -t image/png <"$E2E_DIR/../../window/icon/kresovar.png"
wait_until "$DEADLINE" clipboard_offers image/png || fail "the picture did not reach the clipboard"
press PASTE
copy_with_button
expect_clipboard "$WORK/empty"

icon_moved() {
    local was="${ICON[*]}"
    window_shown && [ "${ICON[*]}" != "$was" ]
}
last_max_size() {
    grep -o 'set_max_size([0-9]*, [0-9]*)' "$WORK/kresovar.log" | tail -n 1
}
max_size_is() {
    [ "$(last_max_size)" = "set_max_size($1)" ]
}

if [ -n "${KRESOVAR_WAYLAND:-}" ]; then
    [ "$(app_id)" = io.github.kresovar.Kresovar ] || fail "app_id '$(app_id)', not the desktop id"
    # The title bar's maximise button (Qt draws one), pressed and pressed
    # again: a compositor that grants it must not end the program. It is
    # 633 pixels right of the icon; maximised, the window moves, and the
    # button is 40 pixels left of the screen's right edge.
    wait_until "$DEADLINE" window_shown || fail "the window is not to be seen"
    click_title_bar 633 7
    wait_until "$DEADLINE" icon_moved || fail "the window was not maximised"
    running || fail "maximising the window ended the program"
    click_title_bar $((1160 - ICON[0])) 7
    wait_until "$DEADLINE" grep -q unset_maximized "$WORK/kresovar.log" || fail "the maximise button was not reached"
    wait_until "$DEADLINE" max_size_is "680, 406" || fail "the window's size is not fixed again: $(last_max_size)"
    running || fail "restoring the window ended the program"
fi
pass
