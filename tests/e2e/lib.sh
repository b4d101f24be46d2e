# Shared steps of the end-to-end scenarios. Each scenario runs the real
# program in a virtual X display of its own, clicks with xdotool, types, and
# uses the clipboard through xclip, as another program would. The same
# scenarios drive the Linux build, under Wine the Windows build
# (kresovar.exe), and, with KRESOVAR_WAYLAND set, the Linux build on a Wayland
# compositor (wayland.sh). Waits poll with a deadline; none relies on a fixed
# sleep alone.
set -euo pipefail

KRESOVAR=${1:?usage: scenario.sh PATH-TO-KRESOVAR-OR-KRESOVAR.EXE}
KRESOVAR=$(realpath "$KRESOVAR")
WINDOWS_BUILD=
RUN=("$KRESOVAR")
if [[ "$KRESOVAR" == *.exe ]]; then
    WINDOWS_BUILD=1
    RUN=(wine "$KRESOVAR")
    export WINEPREFIX=${KRESOVAR_WINEPREFIX:?a Wine prefix made by wine_prefix.sh}
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # A Wine server left running by a program without a display (the
    # command-line tests) would give this program no display: it ends first.
    wineserver -w
fi
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WORK=$(mktemp -d)
DEADLINE=${DEADLINE:-20}
X11_WINDOW=${X11_WINDOW:?path to the x11_window tool}
KRESOVAR_PID=
WID=
XVFB_PID=

# Window-relative centres of the controls, in pixels at 96 dpi.
TEXT_AREA=(340 184)
FOLD_BUTTON=(204 388)
PASTE_BUTTON=(68 388)
COPY_BUTTON=(340 388)
WWW_BUTTON=(476 388)
EXIT_BUTTON=(612 388)

cleanup() {
    [ -n "$KRESOVAR_PID" ] && kill "$KRESOVAR_PID" 2>/dev/null || true
    # Wine's clipboard bridge belongs to the display its server started with.
    # Wait for it to be gone, so that the next scenario starts a server of its own.
    if [ -n "$WINDOWS_BUILD" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    # A display server still on its way out could take the socket of the next
    # scenario's server, which may get the same display number.
    [ -z "${WESTON_PID:-}" ] || kill "$WESTON_PID" 2>/dev/null || true
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait_until 10 xvfb_ended || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$WORK/kresovar.log" ]; then
        echo "--- the program's error output:" >&2
        tail -n 40 "$WORK/kresovar.log" >&2
    fi
    exit 1
}

# wait_until SECONDS COMMAND...: true once the command succeeds, false at the deadline.
wait_until() {
    local limit=$1
    shift
    local end=$((SECONDS + limit))
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
}

xvfb_ended() {
    ! kill -0 "$XVFB_PID" 2>/dev/null
}

# The server picks a free display itself and names it once it is ready. It
# must not reset when its last client leaves, as happens whenever a scenario
# ends the program and starts it again: a client connecting during the reset
# would be turned away.
start_display() {
    Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset 3>"$WORK/display" 2>"$WORK/xvfb.log" &
    XVFB_PID=$!
    wait_until "$DEADLINE" test -s "$WORK/display" || fail "Xvfb did not start: $(cat "$WORK/xvfb.log")"
    export DISPLAY=":$(head -n 1 "$WORK/display")"
    export QT_QPA_PLATFORM=xcb
}

find_window() {
    WID=$(xdotool search --onlyvisible --pid "$KRESOVAR_PID" --name '^Kresovar' 2>/dev/null | head -n 1) || true
    [ -n "$WID" ]
}

# start_kresovar [NAME=VALUE...]: starts the program with those variables set
# and waits for its window.
start_kresovar() {
    env PATH="$WORK/bin:$PATH" "$@" "${RUN[@]}" 2>>"$WORK/kresovar.log" &
    KRESOVAR_PID=$!
    wait_until "$DEADLINE" window_or_end
    if [ -z "$WID" ]; then
        xvfb_ended && fail "the display server has gone: $(cat "$WORK/xvfb.log")"
        running || fail "the program ended before its window appeared"
        fail "the window did not appear"
    fi
    xdotool windowmove "$WID" 0 0
    xdotool windowfocus --sync "$WID" || true
    wait_idle
    # Wine drops the first key it is sent if that key's mapping changed after
    # its start, as typing's do; a Shift press, which types nothing, goes first.
    if [ -n "$WINDOWS_BUILD" ]; then
        keys shift
        wait_idle
    fi
}

window_or_end() {
    find_window || not_running
}

not_running() {
    ! kill -0 "$KRESOVAR_PID" 2>/dev/null
}

# Waits until the program is back in its event loop, done with what it was
# given. A program that ends meanwhile fails the scenario at once.
wait_idle() {
    local end=$((SECONDS + ${1:-$DEADLINE}))
    until "$X11_WINDOW" ping "$WID" 1 2>/dev/null; do
        running || fail "the program ended unexpectedly"
        ((SECONDS < end)) || fail "the program does not answer"
    done
}

# The fold pumps events, so it answers a ping before it ends; the buttons it
# disables are drawn enabled (a black label, not a grey one) only once it
# has ended and the event loop paints them.
buttons_enabled() {
    local label=100x12+$((FOLD_BUTTON[0] - 50))+$((FOLD_BUTTON[1] - 6))
    [ "$(timeout 10 import -window "$WID" -crop "$label" +repage png:- 2>/dev/null \
        | convert - -colorspace gray -format '%[fx:minima.intensity < 0.3]' info:)" = 1 ]
}

# What the text area shows: the number of its colours and a checksum of its
# pixels. (import waits for ever on a window that has gone.)
text_area_look() {
    timeout 10 import -window "$WID" -crop 560x300+40+30 +repage png:- 2>/dev/null \
        | convert - -format '%k %#' info:
}

# The fold empties the text area and shows it empty until the result is
# written back: a blank text area means the fold is running.
text_area_blank() {
    local look
    look=$(text_area_look) || true
    [ "${look%% *}" = 1 ]
}

# press BUTTON: clicks a button (FOLD, PASTE, COPY, WWW or EXIT) and waits
# until its command has run; the program must still be running then.
press() {
    press_only "$1"
    wait_idle 120
}

# press_only BUTTON: clicks a button and returns at once.
press_only() {
    local -n place="$1_BUTTON"
    xdotool mousemove --window "$WID" "${place[@]}" click 1
}

# press_and_expect_exit BUTTON STATUS: clicks a button that ends the program.
press_and_expect_exit() {
    press_only "$1"
    expect_exit "$2"
}

# Under Wine, a click where the previous one was may not focus the text
# area: the clicks alternate between two places.
TEXT_AREA_CLICKS=0
click_text_area() {
    local shift=$((TEXT_AREA_CLICKS++ % 2 * 40))
    xdotool mousemove --window "$WID" $((TEXT_AREA[0] + shift)) $((TEXT_AREA[1] + shift)) click 1
    wait_idle 120
}

# expect_notice: the notice that a command was refused (not the error
# report) appears, and is dismissed as the user would.
notice_shown() {
    NOTICE=$(xdotool search --onlyvisible --name 'Kresovar – uwaga' 2>/dev/null | head -n 1)
    [ -n "$NOTICE" ]
}
expect_notice() {
    wait_until "$DEADLINE" notice_shown || fail "no notice appeared"
    xdotool windowfocus --sync "$NOTICE" key Return
    [ -z "$WID" ] || wait_idle
}

# copy_with_button: puts a marker on the clipboard first, so that a copy
# that writes nothing cannot pass for one that writes the expected text.
copy_with_button() {
    printf 'ZNACZNIK' | clipboard_in
    wait_until "$DEADLINE" clipboard_holds ZNACZNIK || fail "the marker did not reach the clipboard"
    press COPY
}

clipboard_holds() {
    [ "$(clipboard_out)" = "$1" ]
}

clipboard_offers() {
    clipboard_out -t TARGETS | grep -qx "$1"
}

close_window() {
    "$X11_WINDOW" close "$WID"
}

# type_text TEXT: types into the focused control, Polish letters included.
type_text() {
    "$X11_WINDOW" type "$WID" "$1" || fail "could not type $1"
}

keys() {
    xdotool key --delay 30 "$@"
}

# Selects all of the text area and copies it with the text area's own keys
# (which write each line break as LF).
copy_text_area_with_keys() {
    keys ctrl+a ctrl+c
}

# selection_is KEY FILE: selects with KEY in the text area, copies, and compares.
selection_is() {
    keys "$1" ctrl+c
    # One copy at a time: a large text's copies, queued while a fold runs,
    # would each take seconds once it has ended.
    wait_idle 120
    clipboard_is "$2"
}

# fold_and_expect FILE [SECONDS] [SELECT-KEY]: clicks "Usuń ogonki" and waits
# until what SELECT-KEY (ctrl+a unless given) selects in the text area, copied
# with its own keys, is the file's text. The fold pumps events, so a ping
# would be answered before it ends; the keys reach the text area only once the
# fold has ended and given it the focus back.
fold_and_expect() {
    press_only FOLD
    local expected
    expected=$(as_build_exports "$1")
    if ! wait_until "${2:-$DEADLINE}" selection_is "${3:-ctrl+a}" "$expected"; then
        expect_clipboard "$1" 0
    fi
    wait_idle 120
}

clipboard_out() {
    xclip -selection clipboard -o "$@" 2>/dev/null
}

clipboard_in() {
    xclip -selection clipboard -i "$@"
}

clipboard_is() {
    clipboard_out >"$WORK/clipboard" && cmp -s "$WORK/clipboard" "$1"
}

# The file's text as the build puts it on the X11 clipboard: Wine's bridge
# turns each CR LF of a Windows program into LF.
as_build_exports() {
    if [ -n "$WINDOWS_BUILD" ]; then
        perl -pe 's/\r\n/\n/g' <"$1" >"$1.exported"
        echo "$1.exported"
    else
        echo "$1"
    fi
}

# expect_clipboard FILE [SECONDS]: waits until the clipboard holds exactly the
# file's bytes (with the build's line breaks).
expect_clipboard() {
    set -- "$(as_build_exports "$1")" "${2:-$DEADLINE}"
    if ! wait_until "$2" clipboard_is "$1"; then
        echo "expected $(wc -c <"$1") bytes:" >&2
        head -c 300 "$1" | od -c | head -n 8 >&2
        echo "clipboard holds $(wc -c <"$WORK/clipboard" 2>/dev/null || echo 0) bytes:" >&2
        head -c 300 "$WORK/clipboard" 2>/dev/null | od -c | head -n 8 >&2
        fail "the clipboard does not hold what was expected"
    fi
}

running() {
    kill -0 "$KRESOVAR_PID" 2>/dev/null
}

# expect_exit STATUS [SECONDS]: waits for the program to end and checks its exit status.
expect_exit() {
    wait_until "${2:-$DEADLINE}" not_running || fail "the program did not end"
    local status=0
    wait "$KRESOVAR_PID" || status=$?
    KRESOVAR_PID=
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
    no_sanitizer_report
}

no_sanitizer_report() {
    ! grep -qE 'Sanitizer|runtime error:' "$WORK/kresovar.log" 2>/dev/null \
        || fail "a sanitizer reported a fault"
}

# polish_text MEGABYTES: about that many megabytes of one Polish line, in CR LF lines.
polish_text() {
    perl -CO -Mutf8 -e 'my $line = "Zażółć gęślą jaźń, pchnąć w tę łódź jeża lub ośm skrzyń fig.\r\n";
        print $line x int($ARGV[0] * 1_000_000 / length($line));' "$1"
}

# with_growing_text STEP: runs STEP MEGABYTES, a step that needs a fold to
# outlast it and sets TOO_SOON when the fold did not; on a busy machine,
# where clicks come slowly, it tries again with twice and four times the text.
with_growing_text() {
    local megabytes
    for megabytes in 20 40 80; do
        TOO_SOON=
        "$1" "$megabytes"
        [ -n "$TOO_SOON" ] || return 0
        ended_well || fail "the program ended with status $STATUS during the fold of $megabytes MB"
        echo "the fold of $megabytes MB ended too soon ($TOO_SOON): again with a larger text"
        kill "$KRESOVAR_PID" 2>/dev/null || true
        wait "$KRESOVAR_PID" 2>/dev/null || true
        [ -z "$WINDOWS_BUILD" ] || wineserver -w 2>/dev/null || true
    done
    fail "the fold ended too soon even for $megabytes MB: $TOO_SOON"
}

# ended_well: true while the program runs, or once it has ended with status 0.
ended_well() {
    running && return 0
    STATUS=0
    wait "$KRESOVAR_PID" || STATUS=$?
    KRESOVAR_PID=
    ((STATUS == 0))
}

# The windows visible on the display now (a message box would add one).
visible_windows() {
    xdotool search --onlyvisible --name '' 2>/dev/null | wc -l
}

start_display
if [ -n "${KRESOVAR_WAYLAND:-}" ]; then
    source "$E2E_DIR/wayland.sh"
    start_compositor
fi

# The desktop's URL handler, as the program finds it: a stand-in that records
# every address it is asked to open.
mkdir -p "$WORK/bin"
cat >"$WORK/bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$*" >>"$WORK/opened"
SCRIPT
chmod +x "$WORK/bin/xdg-open"

pass() {
    no_sanitizer_report
    echo "PASS: $(basename "$0")"
}
