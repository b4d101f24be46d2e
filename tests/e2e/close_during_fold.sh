#!/usr/bin/env bash
# The window manager asks the window to close while a large text is being
# folded, seen running by its emptied text area: the program ends by itself
# with status 0 and, in the sanitizer build, with no report.
source "$(dirname "$0")/lib.sh"

# The fold empties the text area and shows it empty until the result is
# written back, which keeps the program busy for a while: a blank text area
# and no answer to a ping mean the fold is running.
text_area_blank() {
    [ "$(import -window "$WID" -crop 560x300+40+30 +repage png:- 2>/dev/null | convert - -format '%k' info:)" = 1 ]
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
    wait_until 60 text_area_blank && wait_until 60 busy && close_window && text_area_blank \
        || TOO_SOON="the fold was not seen running until the close arrived"
}
with_growing_text close_during_fold
expect_exit 0 120
pass
