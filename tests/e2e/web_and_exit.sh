#!/usr/bin/env bash
# "WWW" hands the home page to the desktop's URL handler, or silently does
# nothing without one; "Koniec" ends the program with 0 whatever it holds.
source "$(dirname "$0")/lib.sh"

start_kresovar
click_text_area
type_text "ab"
press WWW
wait_until "$DEADLINE" test -s "$WORK/opened" || fail "no URL handler was started"
# The text area kept its text and caret and has the focus: typing goes on where it was.
type_text "c"
copy_text_area_with_keys
printf 'abc' >"$WORK/expected"
expect_clipboard "$WORK/expected"
[ "$(cat "$WORK/opened")" = "$KRESOVAR_HOMEPAGE" ] || fail "opened: $(cat "$WORK/opened")"
press_and_expect_exit EXIT 0

# No URL handler at all: no message, and the program goes on.
mkdir -p "$WORK/no-browser"
for command in /usr/bin/*; do
    case ${command##*/} in
    xdg-open | *www-browser | *firefox* | *chrom* | *mozilla* | *opera* | *konqueror* | links* | lynx | w3m | gio | kde-open* | gnome-open) ;;
    *) ln -s "$command" "$WORK/no-browser/" ;;
    esac
done
start_kresovar PATH="$WORK/no-browser" BROWSER= DEFAULT_BROWSER=
click_text_area
type_text "x"
windows_before=$(visible_windows)
press WWW
type_text "y"
copy_text_area_with_keys
printf 'xy' >"$WORK/expected"
expect_clipboard "$WORK/expected"
[ "$(visible_windows)" -eq "$windows_before" ] || fail "a window other than the main one is showing"
press_and_expect_exit EXIT 0
pass
