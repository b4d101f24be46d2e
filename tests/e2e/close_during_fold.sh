#!/usr/bin/env bash
# The window manager asks the window to close while a 20 MB text is being
# folded, at several moments of the fold: each time the program ends by
# itself with status 0, and (in the sanitizer build) with no report.
source "$(dirname "$0")/lib.sh"

perl -CO -Mutf8 -e '
    my $line = "Zażółć gęślą jaźń, pchnąć w tę łódź jeża lub ośm skrzyń fig.\r\n";
    print $line x int(20_000_000 / length($line));' >"$WORK/large"
clipboard_in <"$WORK/large"

for delay in 0 0.2 0.5 1 1.5 2.5; do
    start_kresovar
    click "${PASTE_BUTTON[@]}"
    xdotool mousemove --window "$WID" "${FOLD_BUTTON[@]}" click 1
    sleep "$delay"
    close_window
    expect_exit 0
    echo "closed ${delay} s into the fold: ended cleanly"
done
pass
