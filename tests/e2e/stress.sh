#!/usr/bin/env bash
# A burst of clicks on every button, "Koniec" included, while a large text is
# being folded: the fold happens once with the right result, no other command
# starts (the clipboard keeps another program's text, "WWW" opens nothing,
# the program runs on), and the buttons work again afterwards.
source "$(dirname "$0")/lib.sh"

# True once two looks at the text area agree; PASTED holds that look.
look_settled() {
    local look
    look=$(text_area_look) || true
    [ -n "$look" ] && [ "$look" = "${PASTED:-}" ] && return 0
    PASTED=$look
    return 1
}

# True once the fold is seen running, by the text area it empties, or seen
# ended, by another text shown with the buttons enabled: then TOO_SOON is set.
fold_seen() {
    local look
    running || fail "the program ended during the fold"
    look=$(text_area_look) || true
    [ "${look%% *}" = 1 ] && return 0
    [ -n "$look" ] && [ "$look" != "$PASTED" ] && buttons_enabled || return 1
    TOO_SOON="it ended before it was seen running"
}

clicks_during_fold() {
    polish_text "$1" >"$WORK/large"
    perl -CSD -Mutf8 -pe 'tr/ąćęłńóśźżĄĆĘŁŃÓŚŹŻ/acelnoszzACELNOSZZ/' <"$WORK/large" >"$WORK/folded"
    start_kresovar
    clipboard_in <"$WORK/large"
    press PASTE
    # Another program holds the clipboard: a copy during the fold would take it
    # from that program, which then ends; a paste would show in the text area.
    printf 'SCHOWEK' | clipboard_in
    wait_until "$DEADLINE" clipboard_holds SCHOWEK || fail "the other program did not take the clipboard"
    HOLDER=$(pgrep -n -x xclip)
    rm -f "$WORK/opened"

    # Three clicks on each button, fifteen in a few milliseconds.
    local burst=() button
    for button in FOLD PASTE COPY WWW EXIT; do
        local -n place="${button}_BUTTON"
        for _ in 1 2 3; do
            burst+=(mousemove --window "$WID" "${place[@]}" mousedown 1 mouseup 1)
        done
    done
    # The text area shows the pasted text until the fold has emptied it,
    # which may take longer than all the clicks: they go once it is empty.
    PASTED=
    wait_until "$DEADLINE" look_settled || fail "the pasted text does not settle on screen"
    [ "${PASTED%% *}" != 1 ] || fail "the pasted text does not show"
    press_only FOLD
    wait_until 120 fold_seen || fail "the fold neither emptied the text area nor ended"
    [ -z "$TOO_SOON" ] || return 0
    # Eight bursts, 50 ms apart: about 300 clicks a second for 0.4 s.
    for _ in $(seq 1 8); do
        xdotool "${burst[@]}" 2>/dev/null || break
        sleep 0.05
    done
    # Every click must reach the program while it folds, or it would meet
    # enabled buttons: the text area the fold emptied is still blank.
    running || fail "the program ended during the fold"
    if ! text_area_blank; then
        TOO_SOON="it ended before the last click"
        return
    fi
    echo "120 clicks sent during the fold of $1 MB"
}
with_growing_text clicks_during_fold

# Once it answers, the clicks have been handled, and a copy among them
# would have taken the clipboard: the Linux build takes it on the connection
# that answers, before the answer. Under Wine a thread of its own hands the
# change on to X, a moment later: there the other program's hold is looked
# at again after a second.
wait_idle 120
clipboard_holds SCHOWEK || fail "a copy took the clipboard during the fold"
[ -z "$WINDOWS_BUILD" ] || sleep 1
kill -0 "$HOLDER" 2>/dev/null || fail "a copy took the clipboard during the fold"
[ ! -e "$WORK/opened" ] || fail "\"WWW\" opened $(cat "$WORK/opened") during the fold"
running || fail "a click on Koniec ended the program during the fold"

# The buttons work again, and copy shows what the text area holds: the
# folded text, which a paste during the fold would have replaced. The fold
# pumps events, so the answer above may come before it ends, and a click on a
# button still disabled is lost: its end is seen by the buttons drawn enabled.
wait_until 120 buttons_enabled || fail "the buttons stay disabled after the fold"
copy_with_button
expect_clipboard "$WORK/folded" 120
pass
