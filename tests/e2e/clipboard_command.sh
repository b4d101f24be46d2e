#!/usr/bin/env bash
# kresovar-clipboard with another program on the clipboard's other side:
# xclip on X11 and, through Wine's bridge, for the Windows build; wl-copy and
# wl-paste on a Wayland session, which the program reaches through XWayland.
# A Polish text is folded in place and kept until another program takes the
# clipboard (Windows keeps it itself); a clipboard with nothing to fold is
# left as it was.
source "$(dirname "$0")/lib.sh"
if [ -n "${KRESOVAR_WAYLAND:-}" ]; then
    wait_until "$DEADLINE" grep -q 'xserver listening' "$WORK/weston.log" || fail "weston started no XWayland"
    XWAYLAND=$(sed -n 's/.*xserver listening on display //p' "$WORK/weston.log")
    RUN=(env DISPLAY="$XWAYLAND" "${RUN[@]}")
fi

run() { "${RUN[@]}" "$@" >/dev/null 2>>"$WORK/kresovar.log" & KRESOVAR_PID=$!; }

# put TEXT [TARGET]: puts the text on the clipboard, and waits until the program's own display has it.
put() {
    printf "$1" | tee "$WORK/given" | clipboard_in ${2:+-t "$2"}
    wait_until "$DEADLINE" program_sees ${2:+-t "$2"} || fail "the text did not reach the clipboard"
}
program_sees() { DISPLAY=${XWAYLAND:-$DISPLAY} xclip -selection clipboard -o "$@" 2>/dev/null | cmp -s - "$WORK/given"; }

# left_alone STATUS [ARGUMENT...]: the program ends with STATUS, and the clipboard offers what it did.
left_alone() {
    clipboard_out -t TARGETS >"$WORK/before" || true
    run "${@:2}"
    expect_exit "$1"
    { clipboard_out -t TARGETS || true; } | cmp -s - "$WORK/before" || fail "the clipboard was changed"
}

left_alone 1
put 'abc\r\n'
left_alone 0

# Arguments: --help and --version answer, any other is an error; none touches the clipboard.
put 'Łódź'
for row in 0:--help 0:--version 2:--fold 2:--help:--version; do
    IFS=: read -ra arguments <<<"$row"
    left_alone "${arguments[@]}"
done
"${RUN[@]}" --help | grep -q '^Usage: kresovar-clipboard ' || fail "--help shows no usage"
[ -n "$WINDOWS_BUILD" ] || ! "${RUN[@]}" --version >/dev/full 2>/dev/null || fail "--version to a full disk succeeded"
[ "$("${RUN[@]}" --version | tr -d '\r')" = "kresovar-clipboard $KRESOVAR_VERSION" ] || fail "--version"

# Folded in place; a second run finds nothing to fold and leaves the first,
# which owns the clipboard, waiting until another program takes it.
put 'Zażółć gęślą jaźń\r\nŁÓDŹ\n'
printf 'Zazolc gesla jazn\r\nLODZ\n' >"$WORK/folded"
run
expect_clipboard "$WORK/folded"
FIRST=$KRESOVAR_PID
[ -n "$WINDOWS_BUILD" ] || left_alone 0
KRESOVAR_PID=$FIRST
put 'abc'
expect_exit 0

# Another program holds the clipboard open for longer than the program
# waits: it says so and ends with 2, the clipboard as it was.
if [ -n "$WINDOWS_BUILD" ]; then
    put 'Łódź'
    wine "${HUNG_OWNER:?the Windows program that holds the clipboard}" hold 10000 >"$WORK/holder" &
    HOLDER=$!
    wait_until "$DEADLINE" grep -qs holding "$WORK/holder" || fail "could not open the clipboard"
    run
    expect_notice
    expect_exit 2
    wait $HOLDER
    program_sees || fail "the clipboard was changed"
fi

# The rest once, on X11, where xclip offers the bytes as given and no bridge is a clipboard manager.
[ -z "$WINDOWS_BUILD${XWAYLAND:-}" ] || { pass; exit; }

# A byte order mark at the start is a character like any other, kept.
put '\xef\xbb\xbf\xc5\x81\xc3\xb3d\xc5\xba'
printf '\xef\xbb\xbfLodz' >"$WORK/folded"
run
expect_clipboard "$WORK/folded"
put 'abc'
expect_exit 0

# Bytes that are not UTF-8 cannot be read exactly: there is no text to fold.
for target in UTF8_STRING 'text/plain;charset=utf-8'; do
    put '\xff\xc4\x85\xed\xa0\x80x' "$target"
    left_alone 1
done

# A display that does not answer is reported on standard error.
for display in DISPLAY=:1999 WAYLAND_DISPLAY=nowhere; do
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY "$display" "$KRESOVAR" 2>"$WORK/report" || status=$?
    [ "$status" = 2 ] && grep -q 'Brak serwera X11' "$WORK/report" && ! grep -q 'Błąd nr' "$WORK/report" \
        || fail "$display: status $status, $(cat "$WORK/report")"
done

# A signal ends the wait as the program's own end does, which asks a
# clipboard manager come meanwhile to save the text.
printf 'Lodz' >"$WORK/folded"
for row in TERM:143 HUP:129; do
    put 'Łódź'
    run
    expect_clipboard "$WORK/folded"
    "$X11_WINDOW" hold-clipboard "$DEADLINE" CLIPBOARD_MANAGER >"$WORK/manager" &
    wait_until "$DEADLINE" grep -q holding "$WORK/manager" || fail "could not stand in for a clipboard manager"
    kill -"${row%:*}" "$KRESOVAR_PID"
    expect_exit "${row#*:}"
    kill $! && grep -qx SAVE_TARGETS "$WORK/manager" || fail "SIG${row%:*}: no clipboard manager was asked to save the text"
done

pass
