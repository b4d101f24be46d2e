#!/usr/bin/env bash
# A burst of clicks on every button, "Koniec" included, while a 20 MB text is
# being folded: exactly one fold happens, no other command starts, the result
# is right, and the buttons come back enabled.
source "$(dirname "$0")/lib.sh"

perl -CO -Mutf8 -e '
    my $line = "Zażółć gęślą jaźń, pchnąć w tę łódź jeża lub ośm skrzyń fig.\r\n";
    print $line x int(20_000_000 / length($line));' >"$WORK/large"
perl -CSD -Mutf8 -pe 'tr/ąćęłńóśźżĄĆĘŁŃÓŚŹŻ/acelnoszzACELNOSZZ/; s/\r\n/\n/' <"$WORK/large" >"$WORK/folded"

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

# Once the fold is over, select all in the text area and read the selection
# through the X11 primary selection, leaving the clipboard alone. (A click in
# the text area is harmless even during the fold: it only moves the caret.)
primary_is_folded() {
    xdotool mousemove --window "$WID" "${TEXT_AREA[@]}" click 1 key ctrl+a
    # Selecting 20 MB takes the program a moment: let it finish first.
    wait_idle 120
    timeout 30 xclip -selection primary -t UTF8_STRING -o 2>/dev/null >"$WORK/primary" && cmp -s "$WORK/primary" "$WORK/folded"
}
wait_until 120 primary_is_folded || fail "the text area does not hold the folded text"
running || fail "a click on Koniec ended the program during the fold"
expect_clipboard "$WORK/other" 0

# The buttons work again: copy puts the folded text on the clipboard.
click "${COPY_BUTTON[@]}"
perl -pe 's/\n/\r\n/' <"$WORK/folded" >"$WORK/folded.crlf"
expect_clipboard "$WORK/folded.crlf" 60
pass
