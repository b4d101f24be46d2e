#!/usr/bin/python3
"""kresovar-clipboard on a large clipboard, in a virtual X display of its own.

CHARACTERS of Polish text in CR LF lines are put on the clipboard by xclip;
the program reads them, folds them and takes the clipboard over, and xclip
reads the result back. Each run times that round trip beside its floor, the
same text passed twice through the clipboard between xclips, and the shell's
way, xclip -o | sed y/.../.../ | xclip -i, and the script
prints the medians, the ratio and the spread (lowest and highest) of both.
For the Windows build under Wine (WINEPREFIX set) it also times the program
on an empty clipboard: what starting it costs there.

    scripts/bench_clipboard.py build-release/clipboard/tool/kresovar-clipboard [CHARACTERS] [RUNS]
"""
import ctypes
import os
import statistics
import subprocess
import sys
import tempfile
import time

LINE = "Zażółć gęślą jaźń, pchnąć w tę łódź jeża lub ośm skrzyń fig.\r\n"
LETTERS, PLAIN = "ąćęłńóśźżĄĆĘŁŃÓŚŹŻ", "acelnoszzACELNOSZZ"


def start_display(folder):
    reader, writer = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                               "-noreset"], pass_fds=[writer], stderr=subprocess.DEVNULL)
    os.close(writer)
    os.environ["DISPLAY"] = ":" + os.read(reader, 16).decode().strip()
    os.environ["QT_QPA_PLATFORM"] = "xcb"
    return server


class ClipboardOwner:
    """The clipboard's owner window, asked of the X server without a request to the owner."""

    def __init__(self):
        self.x11 = ctypes.CDLL("libX11.so.6")
        self.x11.XOpenDisplay.restype = ctypes.c_void_p
        self.x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.x11.XInternAtom.restype = ctypes.c_ulong
        self.x11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.x11.XGetSelectionOwner.restype = ctypes.c_ulong
        self.display = self.x11.XOpenDisplay(None)
        self.clipboard = self.x11.XInternAtom(self.display, b"CLIPBOARD", 0)

    def __call__(self):
        return self.x11.XGetSelectionOwner(self.display, self.clipboard)


def clip(*arguments, **options):
    return subprocess.run(["xclip", "-selection", "clipboard", *arguments], check=True, **options)


def put(path, owner):
    """Puts the file on the clipboard; xclip takes it over only after it has returned."""
    before = owner()
    clip("-i", path)
    while owner() == before:
        time.sleep(0.001)


def floor(text_path, copy_path, owner):
    put(text_path, owner)
    start = time.perf_counter()
    with open(copy_path, "wb") as copy:
        clip("-o", stdout=copy)
    put(copy_path, owner)
    clip("-o", stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def round_trip(run, text_path, owner):
    """Read, fold, take over and read back; returns the seconds and what came back."""
    put(text_path, owner)
    before = owner()
    start = time.perf_counter()
    program = subprocess.Popen(run, stderr=subprocess.DEVNULL)
    # On Linux the program stays as the owner; under Wine it has ended once the text is there.
    while owner() in (before, 0) and program.poll() is None:
        time.sleep(0.001)
    if run[0] == "wine":
        program.wait()
    result = clip("-o", stdout=subprocess.PIPE).stdout
    seconds = time.perf_counter() - start
    subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=b"x", check=True)
    program.wait()
    return seconds, result


def sed_pipeline(text_path, owner):
    """The shell's way: xclip -o | sed y/.../.../ | xclip -i, then read back."""
    put(text_path, owner)
    before = owner()
    start = time.perf_counter()
    subprocess.run(f"xclip -selection clipboard -o | sed 'y/{LETTERS}/{PLAIN}/' | xclip -selection clipboard -i",
                   shell=True, check=True)
    while owner() == before:
        time.sleep(0.001)
    clip("-o", stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def empty_start(run, owner):
    put("/dev/null", owner)
    start = time.perf_counter()
    subprocess.run(run, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def show(name, values, unit=" s"):
    print(f"  {name:<46} median {statistics.median(values):7.3f}{unit}  "
          f"(min {min(values):.3f}, max {max(values):.3f})")


def main():
    program = os.path.realpath(sys.argv[1])
    characters = int(sys.argv[2]) if len(sys.argv) > 2 else 10_000_000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    wine = program.endswith(".exe")
    run = ["wine", program] if wine else [program]
    text = (LINE * (characters // len(LINE) + 1))[:characters]
    folded = text.translate(str.maketrans(LETTERS, PLAIN))
    # Wine's bridge gives each CR LF to X11 programs as LF.
    expected = (folded.replace("\r\n", "\n") if wine else folded).encode()
    with tempfile.TemporaryDirectory() as folder:
        server = start_display(folder)
        try:
            if wine:
                os.environ["WINEDEBUG"] = "-all"
                subprocess.run(["wineserver", "-p"], check=True)
            text_path, copy_path = os.path.join(folder, "text"), os.path.join(folder, "copy")
            with open(text_path, "w", newline="") as out:
                out.write(text)
            owner = ClipboardOwner()
            rounds, floors, seds, starts = [], [], [], []
            for _ in range(runs):
                floors.append(floor(text_path, copy_path, owner))
                seds.append(sed_pipeline(text_path, owner))
                seconds, result = round_trip(run, text_path, owner)
                if result != expected:
                    sys.exit(f"the clipboard does not hold the folded text: {len(result)} bytes, {result[:80]!r}, expected {len(expected)}")
                rounds.append(seconds)
                if wine:
                    starts.append(empty_start(run, owner))
        finally:
            if wine:
                subprocess.run(["wineserver", "-k"])
            server.kill()
    print(f"{os.path.basename(program)}: {characters:,} characters, {runs} paired runs, load {os.getloadavg()[0]:.2f}")
    show("read, fold, take over, read back", rounds)
    show("floor: the text twice through the clipboard", floors)
    show("ratio to the floor", [r / f for r, f in zip(rounds, floors)], "")
    show("xclip -o | sed y/.../ | xclip -i, read back", seds)
    show("ratio to the sed pipeline", [r / s for r, s in zip(rounds, seds)], "")
    if starts:
        show("the program on an empty clipboard", starts)


main()
