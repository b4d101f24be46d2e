#!/usr/bin/env bash
# A burst of clicks on every button, "Koniec" included, while a 20 MB text is
# being folded: exactly one fold happens, no other command starts, the result
# is right, and the buttons come back enabled.
source "$(dirname "$0")/lib.sh"

perl -CO -Mutf8 -e '
    my $line = "Zażółć gęślą jaźń, pchnąć w tę łódź jeża lub ośm skrzyń fig.\r\n";
    print $line x int(20_000_000 / length($line));' >"$WORK/large"
perl -CSD -Mutf8 -pe 'tr/ąćęłńóśźżĄĆĘŁŃÓŚŹŻ/acelnoszzACELNOSZZ/' <"$WORK/large" >"$WORK/folded"
printf 'Zazolc gesla jazn, pchnac w te lodz jeza lub osm skrzyn fig.' >"$WORK/folded_line"

start_kresovar
clipboard_in <"$WORK/large"
click "${PASTE_BUTTON[@]}"
# Another program's text: a paste or a copy during the fold would show here.
printf 'SCHOWEK' | clipboard_in
printf 'SCHOWEK' >"$WORK/other"
expect_clipboard "$WORK/other"

# Three clicks on each button, fifteen in a few milliseconds.
burst=()
for button in FOLD PASTE COPY WWW EXIT; do
    declare -n place="${button}_BUTTON"
    for _ in 1 2 3; do
        burst+=(mousemove --window "$WID" "${place[@]}" mousedown 1 mouseup 1)
    done
done
xdotool mousemove --window "$WID" "${FOLD_BUTTON[@]}" click 1
# Eight bursts, 50 ms apart: about 300 clicks a second for the first 0.4 s of
# a fold that takes well over a second here.
for _ in $(seq 1 8); do
    xdotool "${burst[@]}"
    sleep 0.05
done
echo "120 clicks sent"

# Once the fold is over, a line of the text area, selected with the keys, is
# folded; it is read through the X11 primary selection, leaving the clipboard
# alone. (A click in the text area is harmless even during the fold, which
# leaves the text area enabled: it only moves the caret.)
line_is_folded() {
    xdotool mousemove --window "$WID" "${TEXT_AREA[@]}" click 1 key Home shift+End
    wait_idle 120
    timeout 10 xclip -selection primary -t UTF8_STRING -o 2>/dev/null >"$WORK/primary" \
        && cmp -s "$WORK/primary" "$WORK/folded_line"
}
wait_until 120 line_is_folded || fail "the text area does not hold the folded text"
running || fail "a click on Koniec ended the program during the fold"
expect_clipboard "$WORK/other" 0

# The buttons work again: copy puts the whole folded text on the clipboard.
click "${COPY_BUTTON[@]}"
expect_clipboard "$WORK/folded" 120
pass
