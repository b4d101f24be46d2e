#!/usr/bin/env bash
# The CPU the real window takes at rest, as a user leaves it: one line of N
# characters pasted from the clipboard, then a click in the text area, which
# takes the focus. Prints the clock ticks (1/100 s) of the process in each
# 5 s that follow, in a virtual X display of its own.
# usage: [SHOT=FILE.png] bench_at_rest.sh PATH-TO-KRESOVAR[.exe] CHARACTERS [WINDOWS]
set -euo pipefail
program=$(realpath "${1:?usage: bench_at_rest.sh PROGRAM CHARACTERS [WINDOWS]}")
characters=${2:?characters}
windows=${3:-6}
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; [[ $program != *.exe ]] || wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 1 400); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb

python3 -c "
import sys
words = 'Zażółć gęślą jaźń, pchnąć w tę łódź jeża lub ośm skrzyń fig; '
sys.stdout.write((words * ($characters // len(words) + 1))[:$characters])" >"$work/text"
xclip -selection clipboard -i "$work/text"

run=("$program")
[[ $program != *.exe ]] || run=(wine "$program")
"${run[@]}" 2>/dev/null &
pid=$!
pids+=($pid)
for _ in $(seq 1 400); do
    window=$(xdotool search --onlyvisible --pid "$pid" --name '^Kresovar' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    sleep 0.05
done
[ -z "${SHOT:-}" ] || import -window root -crop 700x450+0+0 "$SHOT"
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
# Under Wine the process that runs the program has its name, and is the
# newest of that name in this script's process group.
[[ $program != *.exe ]] || pid=$(pgrep -n -x -g "$(ps -o pgid= -p $$ | tr -d ' ')" "$(basename "$program" | cut -c1-15)")
xdotool windowmove "$window" 0 0
sleep 1
xdotool mousemove --window "$window" 68 388 click 1   # paste
# The measure is of the window with its text: wait until its line shows.
text_shows() { [ "$(import -window "$window" -crop 600x16+4+2 +repage png:- 2>/dev/null | convert - -format '%k' info:)" -gt 1 ]; }
for _ in $(seq 1 1200); do text_shows && break; sleep 0.1; done
text_shows || { echo "the pasted text did not show" >&2; exit 1; }
xdotool mousemove --window "$window" 340 184 click 1  # into the text area

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
echo "$(basename "$program"), one line of $characters characters: ticks of CPU in each 5 s after the paste"
before=$(ticks)
for i in $(seq 1 "$windows"); do
    sleep 5
    now=$(ticks)
    echo "  $((i * 5 - 5))–$((i * 5)) s: $((now - before))"
    before=$now
done
[ -z "${SHOT:-}" ] || import -window root -crop 700x450+0+0 "$SHOT"
