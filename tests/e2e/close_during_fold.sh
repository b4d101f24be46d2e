#!/usr/bin/env bash
# The window manager asks the window to close while a large text is being
# folded, seen running by its emptied text area: the program ends by itself
# with status 0 and, in the sanitizer build, with no report.
source "$(dirname "$0")/lib.sh"

# A blank text area and no answer to a ping mean the fold is running.
blank_or_ended() {
    ! running || text_area_blank
}
still_running() {
    running || fail "the program ended during the fold"
}
busy() {
    ! "$X11_WINDOW" ping "$WID" 0.2 2>/dev/null
}

close_during_fold() {
    polish_text "$1" | clipboard_in
    start_kresovar
    press PASTE
    ! text_area_blank || fail "the pasted text does not show"
    press_only FOLD
    # Seen emptied and busy, and still emptied once the close has been sent.
    wait_until 60 blank_or_ended && wait_until 60 busy && still_running && close_window && text_area_blank \
        || TOO_SOON="the fold was not seen running until the close arrived"
}
with_growing_text close_during_fold
expect_exit 0 120
pass
