# The scenarios on a Wayland desktop: the program runs natively, on Qt's
# Wayland platform, in a weston compositor nested in the virtual X display;
# the keyboard drives it (Tab along the tab order, Space on a button), and
# wl-copy and wl-paste are the other program on the clipboard. lib.sh loads
# this when KRESOVAR_WAYLAND is set; these steps replace its X11 ones.

WESTON_PID=
# The control with the focus, by its place in the tab order.
TAB_ORDER=(TEXT FOLD PASTE COPY WWW EXIT)
FOCUS=0
# Where the window's icon is, at the left of its title bar.
ICON=()
# wl-copy and wl-paste take the keyboard for a moment and do not give it
# back; they mark it in a file, as they often run in a subshell.
FOCUS_LOST=$WORK/keyboard-lost

start_compositor() {
    export XDG_RUNTIME_DIR=$WORK/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    weston --backend=x11-backend.so --use-pixman --width=1200 --height=800 --socket=kresovar-wayland \
        --idle-time=0 ${KRESOVAR_XWAYLAND:+--xwayland} >"$WORK/weston.log" 2>&1 &
    WESTON_PID=$!
    wait_until "$DEADLINE" test -S "$XDG_RUNTIME_DIR/kresovar-wayland" || fail "weston did not start: $(tail "$WORK/weston.log")"
    # The compositor's own X window, which takes the keys and the pointer.
    WID=$(sed -n 's/.*window id \([0-9]*\).*/\1/p' "$WORK/weston.log" | head -n 1)
    xdotool windowfocus --sync "$WID"
    export WAYLAND_DISPLAY=kresovar-wayland QT_QPA_PLATFORM=wayland
}

# The window shows once its icon (yellow, in the title bar) is on the screen.
window_shown() {
    local box
    box=$(import -window root png:- 2>/dev/null | convert - -fill black +opaque '#FFFF00' -format %@ info: 2>/dev/null)
    # An icon-sized box; with no yellow at all, the box is empty.
    [[ "$box" =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] && ((BASH_REMATCH[1] >= 8 && BASH_REMATCH[2] >= 8)) || return 1
    ICON=("${BASH_REMATCH[3]}" "${BASH_REMATCH[4]}")
}

# The program's requests are logged (WAYLAND_DEBUG), its app_id among them.
start_kresovar() {
    env PATH="$WORK/bin:$PATH" WAYLAND_DEBUG=client "$@" "${RUN[@]}" 2>>"$WORK/kresovar.log" &
    KRESOVAR_PID=$!
    FOCUS=0
    if ! wait_until "$DEADLINE" window_shown; then
        running || fail "the program ended before its window appeared"
        fail "the window did not appear"
    fi
    take_keyboard
}

# click_title_bar DX DY: a click that far right of and below the icon, the
# pointer coming from outside the compositor's window, which sees it enter
# only then.
click_title_bar() {
    xdotool mousemove 1270 890 sleep 0.2 mousemove --window "$WID" $((ICON[0] + $1)) $((ICON[1] + $2)) \
        sleep 0.2 click 1 sleep 0.3
}

take_keyboard() {
    click_title_bar 300 6
    rm -f "$FOCUS_LOST"
}

keyboard_back() {
    [ ! -e "$FOCUS_LOST" ] || take_keyboard
}

# No ping reaches a Wayland client from outside; keys are taken in the order
# they were sent, and every scenario step waits for what it can see.
wait_idle() {
    running || fail "the program ended unexpectedly"
}

keys() {
    keyboard_back
    xdotool key --delay 30 "$@"
}

type_text() {
    keyboard_back
    xdotool type --delay 30 "$1"
}

# tab_to INDEX: Tab from the control with the focus to the one at INDEX in the tab order.
tab_to() {
    local tabs=()
    for _ in $(seq 1 $((($1 - FOCUS + 6) % 6))); do
        tabs+=(Tab)
    done
    [ ${#tabs[@]} -eq 0 ] || keys "${tabs[@]}"
    FOCUS=$1
}

# Tabs to the button, then Space.
press_only() {
    local target
    for target in "${!TAB_ORDER[@]}"; do
        [ "${TAB_ORDER[target]}" = "$1" ] && break
    done
    tab_to "$target"
    keys space
    # Paste leaves the focus on its button; every other command gives it to the text area.
    [ "$1" = PASTE ] || FOCUS=0
}

click_text_area() {
    tab_to 0
}

clipboard_out() {
    touch "$FOCUS_LOST"
    if [ "${1:-}" = -t ] && [ "$2" = TARGETS ]; then
        wl-paste --list-types 2>/dev/null
    else
        wl-paste --no-newline "$@" 2>/dev/null
    fi
}

clipboard_in() {
    touch "$FOCUS_LOST"
    if [ "${1:-}" = -t ]; then
        wl-copy --type "$2"
    else
        wl-copy
    fi
}

# The app_id with which the program's window announced itself.
app_id() {
    sed -n 's/.*set_app_id("\(.*\)").*/\1/p' "$WORK/kresovar.log" | head -n 1
}
