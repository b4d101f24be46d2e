# Shared steps of the end-to-end scenarios. Each scenario runs the real
# program in an X display of its own (xvfb-run), clicks and types with
# xdotool, and uses the clipboard through xclip, as another program would.
# Waits poll with a deadline; none relies on a fixed sleep alone.
set -euo pipefail

KRESOVAR=${1:?usage: scenario.sh PATH-TO-KRESOVAR}
KRESOVAR=$(realpath "$KRESOVAR")
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
WORK=$(mktemp -d)
DEADLINE=${DEADLINE:-20}
KRESOVAR_PID=
WID=

# Window-relative centres of the controls, in pixels at 96 dpi.
TEXT_AREA=(340 184)
FOLD_BUTTON=(204 388)
PASTE_BUTTON=(68 388)
COPY_BUTTON=(340 388)
WWW_BUTTON=(476 388)
EXIT_BUTTON=(612 388)

cleanup() {
    [ -n "$KRESOVAR_PID" ] && kill "$KRESOVAR_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
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

find_window() {
    WID=$(xdotool search --onlyvisible --pid "$KRESOVAR_PID" --name '^Kresovar' 2>/dev/null | head -n 1) || true
    [ -n "$WID" ]
}

# start_kresovar [NAME=VALUE...]: starts the program with those variables set
# and waits for its window.
start_kresovar() {
    env "$@" "$KRESOVAR" &
    KRESOVAR_PID=$!
    wait_until "$DEADLINE" find_window || fail "the window did not appear"
    xdotool windowmove "$WID" 0 0
    xdotool windowfocus --sync "$WID" || true
}

click() {
    xdotool mousemove --window "$WID" "$1" "$2" click 1
}

# type_text TEXT: types into the text area (a click first puts the pointer and focus there).
type_text() {
    xdotool type --delay 30 --window "$WID" "$1"
}

keys() {
    xdotool key --delay 30 "$@"
}

# Selects all of the text area and copies it with the text area's own keys.
copy_text_area_with_keys() {
    keys ctrl+a ctrl+c
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

# expect_clipboard FILE [SECONDS]: waits until the clipboard holds exactly the file's bytes.
expect_clipboard() {
    if ! wait_until "${2:-$DEADLINE}" clipboard_is "$1"; then
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

# expect_exit STATUS: waits for the program to end and checks its exit status.
expect_exit() {
    wait_until "$DEADLINE" bash -c "! kill -0 $KRESOVAR_PID 2>/dev/null" || fail "the program did not end"
    local status=0
    wait "$KRESOVAR_PID" || status=$?
    KRESOVAR_PID=
    [ "$status" -eq "$1" ] || fail "exit status $status, expected $1"
}

# The program's own windows that are visible now (a message box would add one).
visible_windows() {
    xdotool search --onlyvisible --pid "$KRESOVAR_PID" '' 2>/dev/null | wc -l
}

pass() {
    echo "PASS: $(basename "$0")"
}
