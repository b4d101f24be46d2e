#!/usr/bin/env bash
# The keys of the text area and of a button. After each key a marker letter
# is typed, so that where it lands shows where the focus went; the text is
# then read with the text area's own select-all and copy. No key ends the
# program or clicks a button, but Space on a button and (with a window
# manager's help, so on the Windows build alone) Alt+F4.
source "$(dirname "$0")/lib.sh"

start_kresovar

# where KEYS: the text (line breaks as the clipboard shows them) after "ąb"
# is typed into an empty text area, then, in the text area or on "Usuń
# ogonki" reached with Tab, KEYS are pressed one after the other, and then
# the marker "x" typed.
# Ctrl+Z first, while the text area has had no other text.
rows=(
    "text  ctrl+z        x"
    "text  Escape        ąbx"
    "text  Return        ąb|x"
    "text  shift+Return  ąb|x"
    "text  ctrl+Return   ąb|x"
    "text  Tab           ąb"
    "text  shift+Tab     ąb"
    "text  ctrl+a        x"
    "fold  space         abx"
    "fold  Return        ąb"
    "fold  Escape        ąb"
    "text  Left,Tab,shift+Tab  ąxb"
    "fold  space,ctrl+z,ctrl+End  ąbx"
    "fold  space,ctrl+z,ctrl+shift+z  abx"
    "fold  space,ctrl+z,ctrl+y  abx"
    "fold  space,Menu,Down,Return,ctrl+End  ąbx"
    "text  ctrl+a,Delete,Tab,space,ctrl+z,ctrl+End  ąbx"
    "text  Tab,Tab,space,shift+Tab,shift+Tab,ctrl+z,ctrl+End  ąbx"
    # Ctrl+Y has nothing to redo once Shift+Insert has put text in; Ctrl+Z
    # after a paste into an emptied text area brings back the empty text.
    "text  ctrl+a,ctrl+Insert,End,Tab,space,ctrl+z,shift+Insert,ctrl+y,ctrl+End  ąbąbx"
    "text  ctrl+a,ctrl+Insert,Delete,Tab,Tab,space,shift+Tab,shift+Tab,ctrl+z  x"
)
# An empty clipboard pasted: an empty text area with no undo history. The
# program's own copy of the emptied text area empties the clipboard: a text
# put there by another X client could reach Wine's clipboard only after the
# paste had read the one before it.
empty_text_area() {
    click_text_area
    keys ctrl+a Delete
    press COPY
    press PASTE
}

for row in "${rows[@]}"; do
    read -r where key expected <<<"$row"
    empty_text_area
    click_text_area
    type_text "ąb"
    [ "$where" = text ] || keys Tab
    for one in ${key//,/ }; do
        keys "$one"
        # The text area takes no key while a fold runs: one that starts it
        # is followed by a wait for its end. Under Wine, a key sent too soon
        # after a change of focus is still lost without the pause.
        wait_idle
        wait_until "$DEADLINE" buttons_enabled || fail "the buttons stay disabled after $where $key"
        [ -z "$WINDOWS_BUILD" ] || sleep 0.3
    done
    running || fail "$where $key ended the program"
    keys x
    wait_idle
    click_text_area
    copy_text_area_with_keys
    printf '%s' "${expected//|/$'\n'}" >"$WORK/expected"
    expect_clipboard "$WORK/expected"
    echo "$where $key: ${expected//|/⏎}"
done

# Another program's window takes the focus and gives it back: typing goes on
# where the caret was.
empty_text_area
click_text_area
type_text "ab"
keys Left
"$X11_WINDOW" take-focus 1 >"$WORK/other" &
wait_until "$DEADLINE" grep -q focused "$WORK/other" || fail "no other window took the focus"
wait "$!"
"$X11_WINDOW" activate "$WID"
wait_idle
keys x
copy_text_area_with_keys
printf 'axb' >"$WORK/expected"
expect_clipboard "$WORK/expected"
echo "back from another window: typing goes on at the caret"

if [ -n "$WINDOWS_BUILD" ]; then
    keys alt+F4
    expect_exit 0
    echo "alt+F4 closes the window"
fi
pass
