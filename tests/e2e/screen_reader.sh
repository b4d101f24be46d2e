#!/usr/bin/env bash
# What a screen reader (Orca reads AT-SPI) sees: a frame named by the title,
# the text area named "Tekst", the buttons named by their captions; during
# the fold of a 20 MB text the buttons read as disabled, afterwards enabled
# again, with the focus on the text area. Runs on a session bus of its own
# (dbus-run-session), whose accessibility bus is started on demand.
source "$(dirname "$0")/lib.sh"
READER=("/usr/bin/python3" "$E2E_DIR/screen_reader.py")

# What a screen reader does first: it turns the desktop's accessibility on.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
    string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null
start_kresovar
cat >"$WORK/expected" <<'VIEW'
frame 'Kresovar – tekst bez polskich ogonków': 'Zamienia polskie litery z ogonkami na zwykłe litery łacińskie.'
text 'Tekst' enabled focused
push button 'Usuń ogonki' enabled
push button 'Wklej ze schowka' enabled
push button 'Kopiuj do schowka' enabled
push button 'WWW' enabled
push button 'Koniec' enabled
VIEW
# The program joins the bus, and its focus reaches it, after its window shows.
view_as_expected() {
    "${READER[@]}" view >"$WORK/view" 2>"$WORK/view.log" && cmp -s "$WORK/expected" "$WORK/view"
}
if ! wait_until "$DEADLINE" view_as_expected; then
    diff -u "$WORK/expected" "$WORK/view" >&2
    fail "the screen reader's view differs"
fi

polish_text 20 | clipboard_in
press PASTE
# The reader finds the controls first: once the fold has begun, the program
# answers only from its pumps.
"${READER[@]}" wait disabled 60 >"$WORK/reader" &
reader=$!
wait_until "$DEADLINE" grep -q ready "$WORK/reader" || fail "the screen reader did not find the controls"
press_only FOLD
wait "$reader" || fail "the buttons were not seen disabled during the fold"
"${READER[@]}" wait enabled 120 >/dev/null || fail "the buttons did not come back, or the text area has not the focus"
pass
