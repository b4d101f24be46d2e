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

# offer TARGET[:TEXT]...: another program owns the clipboard and offers these.
offer() {
    rm -f "$WORK/owner" # the last owner's words must not stand for this one's
    "$X11_WINDOW" offer-clipboard "$DEADLINE" TARGETS "$@" >"$WORK/owner" &
    wait_until "$DEADLINE" grep -q holding "$WORK/owner" || fail "could not offer $*"
}
# offered: each target offered but the protocol's own, with its bytes.
offered() {
    clipboard_out -t TARGETS | grep -vx -e TARGETS -e MULTIPLE -e TIMESTAMP | while read -r target; do
        printf '%s=%s\n' "$target" "$(clipboard_out -t "$target" | cat -v)"
    done | sort
}
# expect_offered TARGET=BYTES...: the clipboard offers exactly these.
expect_offered() {
    printf '%s\n' "$@" | sort >"$WORK/expected"
    wait_until "$DEADLINE" eval 'offered | cmp -s - "$WORK/expected"' || fail "offered: $(offered | diff - "$WORK/expected")"
}
# texts TEXT [TARGET...]: TEXTS holds the rows of the UTF-8 text targets, and these, for TEXT.
texts() {
    TEXTS=()
    for target in UTF8_STRING text/plain 'text/plain;charset=utf-8' "${@:2}"; do TEXTS+=("$target=$1"); done
}

# Windows, through Wine's bridge: HTML and RTF folded beside an image kept; a file copy left as it was.
if [ -n "$WINDOWS_BUILD" ]; then
    # Another program holds the clipboard open for longer than the program
    # waits: it says so and ends with 2, the clipboard as it was.
    put 'Łódź'
    wine "${HUNG_OWNER:?the Windows program that holds the clipboard}" hold 10000 >"$WORK/holder" &
    HOLDER=$!
    wait_until "$DEADLINE" grep -qs holding "$WORK/holder" || fail "could not open the clipboard"
    run
    expect_notice
    expect_exit 2
    wait $HOLDER
    program_sees || fail "the clipboard was changed"
    # --help in the console of the program that started it, as characters.
    script -qc "wine cmd /c start /wait '$(winepath -w "$KRESOVAR")' --help" /dev/null | grep -q 'ą ć ę' \
        || fail "--help does not reach the console"
    rtf="{\rtf1\ansi\ansicpg1250 \'a3\'f3d\'9f}"
    offer 'text/html:<b>Łódź</b>' "text/rtf:$rtf" 'image/png:PNG' 'application/x-office:Łódź' 'UTF8_STRING:Łódź'
    run
    expect_exit 0
    printf 'Lodz' >"$WORK/folded"
    expect_clipboard "$WORK/folded"
    offered >"$WORK/offered"
    for row in 'text/html=<b>Lodz</b>' 'text/rtf={\rtf1\ansi\ansicpg1250 Lodz}' 'image/png=PNG' 'UTF8_STRING=Lodz'; do
        grep -qxF "$row" "$WORK/offered" || fail "not offered: $row, but: $(cat "$WORK/offered")"
    done
    ! grep -q '^application/x-office=' "$WORK/offered" || fail "an office format kept"
    offer 'text/uri-list:file:///tmp/za%C5%BC.txt' 'UTF8_STRING:/tmp/zaż.txt'
    run
    expect_exit 1
    expect_offered 'text/uri-list=file:///tmp/za%C5%BC.txt' 'UTF8_STRING=/tmp/zaM-EM-<.txt'
    pass; exit
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

# A newer copy made while the owner is slow to answer stays: status 1.
offer '!SLOW:UTF8_STRING' 'UTF8_STRING:Łódź'
run
wait_until "$DEADLINE" grep -qx UTF8_STRING "$WORK/owner" || fail "the program did not read the text"
printf 'abc' | clipboard_in
expect_exit 1
expect_offered UTF8_STRING=abc
grep -q 'nowszego' "$WORK/kresovar.log" || fail "no line says the newer copy was left"

# A file copy is left as it was, with one line that says it holds files.
offer 'x-special/gnome-copied-files:copy file:///home/u/za%C5%BC.txt' 'text/uri-list:file:///home/u/za%C5%BC.txt' \
    'UTF8_STRING:/home/u/zaż.txt'
run
expect_exit 1
expect_offered 'x-special/gnome-copied-files=copy file:///home/u/za%C5%BC.txt' \
    'text/uri-list=file:///home/u/za%C5%BC.txt' 'UTF8_STRING=/home/u/zaM-EM-<.txt'
grep -q 'pliki' "$WORK/kresovar.log" || fail "no line says the clipboard holds files"

# HTML is folded with its references, an image kept byte for byte, an
# office format dropped; the text is offered in every text target.
offer 'text/html:<b>Łódź &oacute;&#x15b;&amp;</b>' 'image/png:PNG' 'application/x-office:Łódź' 'UTF8_STRING:Łódź óś&'
run
texts 'Lodz os&' STRING TEXT COMPOUND_TEXT
expect_offered "${TEXTS[@]}" 'image/png=PNG' 'text/html=<b>Lodz os&amp;</b>'
running || fail "the program did not keep the clipboard"
# A clear ends it too, and the copy after it is the other program's.
"$X11_WINDOW" clear-clipboard
expect_exit 0
put 'abc'

# STRING and TEXT only where the text fits Latin-1.
put 'Łódź — 3 €'
run
texts 'Lodz M-bM-^@M-^T 3 M-bM-^BM-,'
expect_offered "${TEXTS[@]}" 'COMPOUND_TEXT=Lodz ^[%GM-bM-^@M-^T^[%@ 3 ^[-bM-$'
put 'abc'
expect_exit 0

# Two runs at once: the clipboard holds the folded text, and both end at the
# next copy, the one that found the other's take newer with status 1.
printf 'Lodz' >"$WORK/folded"
for round in $(seq 20); do
    put 'Łódź'
    run; FIRST=$KRESOVAR_PID
    run; SECOND=$KRESOVAR_PID
    expect_clipboard "$WORK/folded"
    put 'abc'
    for KRESOVAR_PID in $FIRST $SECOND; do
        wait_until "$DEADLINE" not_running || fail "round $round: a run still keeps the clipboard"
        status=0
        wait "$KRESOVAR_PID" || status=$?
        [ "$status" -le 1 ] || fail "round $round: status $status"
    done
    KRESOVAR_PID=
done

# A clipboard manager started after the take gets the text, also at a signal's end.
# xfce4-clipman is one by SAVE_TARGETS, parcellite by reading the clipboard
# into its history and restoring it once it is empty; each in a home of its own.
mkdir "$WORK/home"
for row in 'xfce4-clipman:"$X11_WINDOW" owned CLIPBOARD_MANAGER' \
    'parcellite:grep -qa Lodz "$WORK/home/.local/share/parcellite/history"'; do
    manager=${row%%:*}
    put 'Łódź €'
    run
    texts 'Lodz M-bM-^BM-,'
    expect_offered "${TEXTS[@]}" 'COMPOUND_TEXT=Lodz ^[-bM-$'
    HOME=$WORK/home XDG_DATA_HOME= XDG_CONFIG_HOME= dbus-run-session -- sh -c 'echo $$ >"$1"; exec "$2"' - "$WORK/manager.pid" "$manager" >"$WORK/$manager.log" 2>&1 &
    MANAGER=$!
    wait_until "$DEADLINE" test -s "$WORK/manager.pid" || fail "$manager did not start"
    wait_until "$DEADLINE" eval "${row#*:} 2>/dev/null" || fail "$manager did not start"
    kill -TERM "$KRESOVAR_PID"
    expect_exit 143 3
    wait_until "$DEADLINE" eval '[ "$(clipboard_out -t UTF8_STRING)" = "Lodz €" ]' || fail "$manager did not keep the text"
    kill "$(cat "$WORK/manager.pid")"
    wait "$MANAGER" || true
    rm "$WORK/manager.pid"
done

# A display that does not answer is reported on standard error.
for display in DISPLAY=:1999 WAYLAND_DISPLAY=nowhere; do
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY "$display" "$KRESOVAR" 2>"$WORK/report" || status=$?
    [ "$status" = 2 ] && grep -q 'Brak serwera X11' "$WORK/report" && ! grep -q 'Błąd nr' "$WORK/report" \
        || fail "$display: status $status, $(cat "$WORK/report")"
done

# A signal ends the wait as the program's own end does, which asks a
# clipboard manager come meanwhile to save the text; one come during the
# read ends it before the take, and the clipboard stays as it was.
printf 'Lodz' >"$WORK/folded"
for row in TERM:143 HUP:129 TERM:143:read; do
    if [ "${row##*:}" = read ]; then
        offer '!SLOW:UTF8_STRING' 'UTF8_STRING:Łódź'
        run
        wait_until "$DEADLINE" grep -qx UTF8_STRING "$WORK/owner" || fail "the program did not read the text"
        kill -TERM "$KRESOVAR_PID"
        expect_exit 143
        expect_offered 'UTF8_STRING=M-EM-^AM-CM-3dM-EM-:'
        continue
    fi
    put 'Łódź'
    run
    expect_clipboard "$WORK/folded"
    rm -f "$WORK/manager"
    "$X11_WINDOW" hold-clipboard "$DEADLINE" CLIPBOARD_MANAGER >"$WORK/manager" &
    wait_until "$DEADLINE" grep -q holding "$WORK/manager" || fail "could not stand in for a clipboard manager"
    kill -"${row%:*}" "$KRESOVAR_PID"
    expect_exit "${row#*:}"
    kill $! && grep -qx SAVE_TARGETS "$WORK/manager" || fail "SIG${row%:*}: no clipboard manager was asked to save the text: $(tr "\n" " " <"$WORK/manager")"
done

# The X server gone during a read is a failure, not an empty clipboard.
offer '!SLOW:UTF8_STRING' 'UTF8_STRING:Łódź'
run
wait_until "$DEADLINE" grep -qx UTF8_STRING "$WORK/owner" || fail "the program did not start to read before the server went"
kill "$XVFB_PID"
expect_exit 2
grep -q 'serwerem X11' "$WORK/kresovar.log" || fail "no line says the X server has gone"
XVFB_PID=

pass
