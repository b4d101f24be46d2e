#!/usr/bin/python3
"""The home page in headless Chromium through Selenium: its look at 1280 and 375 px
(screenshots left in SCREENSHOT-FOLDER), then its own fold by keyboard alone.

    page_test.py DOCS-FOLDER SCREENSHOT-FOLDER KRESOVAR-FOLD [frames]

With "frames", only the frames of edits at the page's limits, against a plain text area's.
"""
import glob, functools
import json
import http.server
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.wait import WebDriverWait

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        self.server.asked.append(self.path)


def serve(folder):
    """A folder served on a port of its own; the server keeps the paths it was asked for."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=folder))
    server.asked, server.url, server.folder = [], f"http://127.0.0.1:{server.server_port}/", folder
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def chromium():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={tempfile.mkdtemp()}"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def own(url, page):
    return url.startswith(page) and os.path.isfile(os.path.join(DOCS, url[len(page):].split("?v=")[0] or "index.html"))


def look(browser, page):
    for name, width in (("desktop", 1280), ("phone", 375)):
        browser.set_window_size(width, 900)
        browser.get(page)
        lang, inner, scroll = browser.execute_script("return [document.documentElement.lang, innerWidth,"
                                                     " document.documentElement.scrollWidth]")
        check(lang == "pl" and scroll <= inner, f"{name}: lang={lang}, {scroll} px wide in a {inner} px window")
        broken = browser.execute_script("return [...document.images].filter(i => !i.naturalWidth).map(i => i.src)"
                                        ".concat([...document.links].map(a => a.hash).filter(hash => hash"
                                        " && !document.getElementById(hash.slice(1))))")
        check(not broken, f"{name}: images that do not load, anchors with no target: {broken}")
        local = browser.execute_script("return [...document.querySelectorAll('a[href], link[href], img[src]')]"
                                       ".map(e => (e.href || e.src).split('#')[0])")
        check(all(own(url, page) for url in local if url.startswith(page)), f"{name}: links to no file: {local}")
        browser.save_screenshot(os.path.join(SHOTS, f"home-page-{name}.png"))
    check(not browser.execute_cdp_cmd("Page.getInstallabilityErrors", {})["installabilityErrors"], "not installable")
    page = "".join(open(os.path.join(DOCS, name), encoding="utf-8").read() for name in ("index.html", "service-worker.js"))
    release = f'href="https://github.com/kresovar/kresovar/releases/download/v{VERSION}/'
    check(set(re.findall(r"\d+\.\d+", page)) == {VERSION} and f"{release}kresovar_{VERSION}_amd64.deb" in page
          and f"{release}kresovar-{VERSION}-x64.msi" in page, f"versions or downloads other than CMake's {VERSION}")
    stale = subprocess.run([RELEASE_SCRIPT, "--check", DOCS], capture_output=True, text=True).stderr
    check(not stale, stale)


def permit(browser, page, setting):
    # The clipboard is refused to a page without the focus, which a headless window need not have.
    browser.execute_cdp_cmd("Emulation.setFocusEmulationEnabled", {"enabled": True})
    for name in ("clipboard-read", "clipboard-write"):
        browser.execute_cdp_cmd("Browser.setPermission", {"origin": page.rstrip("/"), "setting": setting,
                                                          "permission": {"name": name}})


def clipboard(browser, text=None):
    """The clipboard's text, or None once `text` is written there; a write refused is a failure."""
    result = browser.execute_async_script("const [text, done] = arguments; (text === null ? navigator.clipboard.readText()"
                                          " : navigator.clipboard.writeText(text)).then(done, e => done(`${e}`))", text)
    check(text is None or result is None, f"{text!r} not put on the clipboard: {result}")
    return result


def press(browser, caption):
    """Tabs from the text area to the button, and presses it with Space."""
    browser.execute_script("document.getElementById('tekst').focus()")
    for _ in range(("Wklej ze schowka", "Usuń ogonki", "Kopiuj do schowka").index(caption) + 1):
        browser.switch_to.active_element.send_keys(Keys.TAB)
    check(browser.switch_to.active_element.text == caption, f"Tab does not reach {caption}")
    browser.switch_to.active_element.send_keys(" ")


def type_keys(browser, *keys):
    for key in keys:
        browser.switch_to.active_element.send_keys(key)


def until(browser, condition):
    try:
        return WebDriverWait(browser, 10, poll_frequency=0.05).until(lambda _: condition())
    except TimeoutException:
        return False


def area(browser, script="", *args):
    return browser.execute_script(f"const area = document.getElementById('tekst'); {script}"
                                  "; return [area.value, area.selectionStart, area.selectionEnd,"
                                  " document.activeElement === area, komunikat.textContent]", *args)


REFUSED, EMPTY, TO_LF = ("Przeglądarka nie daje dostępu do schowka: ", "Schowek nie zawiera tekstu.",
                         "Końce wierszy wrócą jako LF: były różne albo samotne CR.")
FOR_GOOD = "Tej zmiany nie da się cofnąć: tekst jest za długi."
COPIED = "Skopiowano do schowka."
# Clipboard, message after the paste, selection, text after the fold (caret at the selection's start), copied text.
ROWS = [
    ("Zażółć gęślą jaźń", "", (3, 9), "Zazolc gesla jazn", "Zazolc gesla jazn"),
    ("ŁÓDŹ\r\nśrem\r\n", "", (6, 6), "LODZ\nsrem\n", "LODZ\r\nsrem\r\n"),
    ("a\nże", "", (2, 4), "a\nze", "a\nze"),
    ("a\rż", TO_LF, (0, 3), "a\nz", "a\nz"),
    ("a\nb\r\nć", TO_LF, (1, 1), "a\nb\nc", "a\nb\nc"),
    ("", EMPTY, (0, 0), "", ""),
    ("é č \u0105\u0328 😀 Ę\u00a0\t", "", (6, 9), "é č a\u0328 😀 E\u00a0\t", "é č a\u0328 😀 E\u00a0\t"),
]
# Ctrl+V after the keys, the text and message after it, the clipboard after Ctrl+A, Ctrl+C.
KEYED = [
    ("ź\nż", Keys.CONTROL + "a", "ź\nż", "", "ź\nż"),
    ("\r\nx", Keys.CONTROL + Keys.END, "ź\nż\nx", TO_LF, "ź\nż\nx"),
    ("ą\r\nb", Keys.CONTROL + "a", "ą\nb", "", "ą\r\nb"),
]
UNDO, REDO = Keys.CONTROL + "z", Keys.CONTROL + Keys.SHIFT + "z"
FOLD = Keys.TAB * 2 + " "  # from the text area to "Usuń ogonki", which gives the focus back
# 101 letters typed, each folded: 202 steps for Ctrl+Z.
FOLDS = ("for (let i = 0; i < 101; ++i) { tekst.focus(); document.execCommand('insertText', false, 'ą'); usun.click(); }",)
# Pastes (by the button, by Ctrl+V after keys, or dropped), then Ctrl+Z and redo (or a script, or a DevTools command
# and its arguments, in a tuple): what "Kopiuj do schowka" writes then; and before it, where given, the selection (or
# None), whether it breaks anywhere, the message.
STEPS = [
    ([("", "ą\nb\nc"), ("", "x\r\ny")], [UNDO], "ą\nb\nc"),
    ([("", "x\r\ny"), ("", "ą\nb\nc")], [UNDO], "x\r\ny"),
    ([("", "ą\nb\nc"), ("", "x\r\ny")], [UNDO, REDO], "x\r\ny"),
    ([("", "ą\r\nb"), (Keys.CONTROL + Keys.END, "\nc")], [UNDO], "ą\r\nb"),
    # Ctrl+Z takes back thousands of line breaks of either form, each step with its own form.
    ([("", "x"), ("", "a\r\n" * 500)], [UNDO], "x"),
    ([("", "y"), ("", "a\n" * 5000)], [UNDO], "y"),
    ([("", "yz"), (Keys.END, "q\n"), ("", "a\r\n" * 5001)], [UNDO, UNDO, REDO], "yzq\n", ((4, 4), False, "")),
    ([("", "yz"), (Keys.END, "ą\n" * 501)], [FOLD, UNDO, REDO], "yz" + "a\n" * 501),
    ([("", "yz"), (Keys.END, "ą\n" * 501)], [FOLD, "q", UNDO, REDO], "yz" + "a\n" * 501 + "q"),
    ([("", "x\ny"), ("", "ą\r\nb")], [FOLDS, Keys.CONTROL + "z" * 203], "x\ny"),
    ([("", "abcdefghij"), (Keys.HOME + Keys.RIGHT * 2 + Keys.SHIFT + Keys.RIGHT * 6, "XY")], [UNDO], "abcdefghij",
     ((2, 8), False, "")),
    ([("", "ą b"), ("drop", "x\r\ny")], [], "x\r\nyą b"),
    ([("", "ą b"), ("drop", "x\r\ny")], [UNDO], "ą b", ((3, 3), False, "")),
    # A control character ends no run; Ctrl+Z brings the long one back with its breaking.
    ([("", "ą\x01" * 501), ("", "x")], [UNDO], "ą\x01" * 501, (None, True, "")),
    # Typing goes back as one step; all the way back and forth passes a long run with its breaking.
    ([("", "ą" * 3000), ("", "a\r\n" * 501)], ["xy", Keys.CONTROL + "z" * 300, Keys.CONTROL + "y" * 300],
     "a\r\n" * 501 + "xy", ((1004, 1004), False, "")),
    ([("", "ab"), (Keys.END, "cd")], ["ef", Keys.BACKSPACE * 3, UNDO, UNDO], "abcd", ((4, 4), False, "")),
    # Not after the caret moved by keys, by a script or by an undo, nor after a key that changed nothing; Delete runs.
    ([("", "x")], [Keys.END + "ab" + Keys.LEFT + Keys.RIGHT + "c" + Keys.BACKSPACE, UNDO, "d", UNDO, UNDO], "xab",
     ((3, 3), False, "")),
    ([("", "xyz")], [Keys.END + "ab" + Keys.DELETE, ("tekst.setSelectionRange(4, 4)",), "c", UNDO,
                     Keys.HOME + Keys.DELETE * 2, UNDO], "xyzab", ((0, 0), False, "")),
    ([("", "x")], [Keys.END, *(("Input.imeSetComposition", {"text": text, "selectionStart": len(text),
                                                            "selectionEnd": len(text)}) for text in ("z", "zó")),
                   ("Input.insertText", {"text": "żółw"}), UNDO], "x", ((1, 1), False, "")),
    # Offsets count a CR LF pasted by the button as the one unit the text area keeps, also in a cut.
    ([("", "ab"), ("", "a\r\nb\r\nc")], [("tekst.setSelectionRange(1, 3)",), Keys.CONTROL + "x", UNDO, REDO], "a\r\nc",
     ((1, 1), False, "")),
    # The oldest steps go once the record would hold more than it may; a step larger than that cannot go back.
    ([("", "ą" * 60)], [("KEPT.units = 130",), FOLD, "x", UNDO, UNDO, UNDO], "ą" * 60),
    ([("", "ab"), ("", "ą" * 60)], [("KEPT.units = 100",), FOLD, UNDO], "a" * 60, (None, False, FOR_GOOD)),
]


# Whether a text with a long run was ever shown, by the page's writes or the browser's edits, before its class.
BARE = """const own = Object.getOwnPropertyDescriptor(HTMLTextAreaElement.prototype, 'value');
const bare = text => window.bare ||= hasLongRun(text) && !tekst.classList.contains('anywhere');
Object.defineProperty(tekst, 'value', {get() { return own.get.call(this); },
                                       set(text) { bare(text); own.set.call(this, text); }});
tekst.addEventListener('input', () => bare(tekst.value), true);"""


def drop(browser, data, id="tekst"):
    """A text or files dragged from another program and dropped at the start of the text area."""
    x, y = browser.execute_script(f"{id}.scrollIntoView(); const box = {id}.getBoundingClientRect();"
                                  " return [box.x + 3, box.y + 3]")
    for kind in ("dragEnter", "dragOver", "drop"):
        browser.execute_cdp_cmd("Input.dispatchDragEvent", {"type": kind, "x": x, "y": y,
                                                            "data": {"items": [], "dragOperationsMask": 1, **data}})


def use(browser, page):
    permit(browser, page, "granted")
    before, selected = "", (0, 0)
    for pasted, said, selection, folded, copied in ROWS:
        clipboard(browser, pasted)
        press(browser, "Wklej ze schowka")
        kept = pasted.replace("\r\n", "\n").replace("\r", "\n")
        check(until(browser, lambda: [area(browser)[i] for i in (0, 3, 4)] == [kept, True, said]),
              f"{pasted!r} pasted as {area(browser)}")
        area(browser, "area.setSelectionRange(...arguments)", *selection)
        press(browser, "Usuń ogonki")
        check(area(browser) == [folded, selection[0], selection[0], True, ""],
              f"after the fold of {pasted!r}: {area(browser)}")
        press(browser, "Kopiuj do schowka")
        check(until(browser, lambda: clipboard(browser) == copied and area(browser)[4] == COPIED),
              f"{pasted!r} copied as {clipboard(browser)!r}, saying {area(browser)[4]!r}")
        # Ctrl+Z takes back the fold, or the paste where the fold changed nothing, and puts back the selection.
        before, selected = (kept, selection) if folded != kept else (before, selected)
        type_keys(browser, UNDO)
        check(area(browser)[:3] == [before, *selected], f"{pasted!r}: Ctrl+Z gives {area(browser)}")
    permit(browser, page, "denied")
    # A refused paste leaves the selection Ctrl+Z left; copy selects its 13 units; on a touch screen no keys are named;
    # the fold clears the message.
    for caption, expected, *touch in (("Wklej ze schowka", [6, 9, True, REFUSED + "wklej tekst klawiszami Ctrl+V."]),
                                      ("Kopiuj do schowka", [0, 13, True, REFUSED + "tekst jest zaznaczony, skopiuj go"
                                                                                    " klawiszami Ctrl+C."]),
                                      ("Wklej ze schowka", [0, 13, True, REFUSED + "wklej tekst, przytrzymując palec"
                                                                                   " w polu tekstu."], True),
                                      ("Usuń ogonki", [0, 0, True, ""])):
        browser.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": bool(touch)})
        press(browser, caption)
        check(until(browser, lambda: area(browser)[1:] == expected), f"{caption} refused: {area(browser)}")
    permit(browser, page, "granted")
    for pasted, keys, kept, said, copied in KEYED:
        clipboard(browser, pasted)
        type_keys(browser, keys, Keys.CONTROL + "v")
        check(area(browser)[::4] == [kept, said], f"Ctrl+V of {pasted!r}: {area(browser)}")
        type_keys(browser, Keys.CONTROL + "a", Keys.CONTROL + "c")
        check(until(browser, lambda: clipboard(browser) == copied), f"Ctrl+C after {pasted!r}: {clipboard(browser)!r}")
    # Each text the area shows with a run that needs the long-line class has it already.
    browser.execute_script(BARE)
    for pastes, keys, copied, *seen in STEPS:
        for before, pasted in pastes:
            clipboard(browser, pasted)
            if before == "drop":
                drop(browser, {"items": [{"mimeType": "text/plain", "data": pasted}]})
            else:
                type_keys(browser, before, Keys.CONTROL + "v") if before else press(browser, "Wklej ze schowka")
            until(browser, lambda: pasted.replace("\r\n", "\n") in area(browser)[0])
        for key in keys:
            type_keys(browser, key) if isinstance(key, str) else browser.execute_script(key[0]) if len(
                key) == 1 else browser.execute_cdp_cmd(*key)
        now = area(browser)[1:] + [browser.execute_script("return tekst.classList.contains('anywhere')")]
        check(not browser.execute_script("return [window.bare, window.bare = false][0]"),
              f"{pastes!r:.60} {keys}: a long run shown before its class")
        for selection, wide, said in seen:
            check(selection in (None, tuple(now[:2])) and now[3:] == [said, wide], f"{pastes!r:.60} {keys}: {now}")
        press(browser, "Kopiuj do schowka")
        check(until(browser, lambda: clipboard(browser) == copied), f"{pastes!r:.60} {keys}: {clipboard(browser)!r:.60}")
    errors = [entry["message"] for entry in browser.get_log("browser") if entry["level"] == "SEVERE"]
    check(not errors, f"console errors: {errors}")


# Edits of a text at the page's limit, by a button or by keys, beside the same edit in a plain text area (keys, or a
# script), with the length of the text each leaves: typing over a line of a million letters, then Ctrl+Z, Ctrl+Y and
# Ctrl+Z, a cut and Ctrl+Z, and a drop. A plain text area too breaks a long run anywhere, or takes minutes to lay it out.
EDGE = 1_000_000
DROPPED = 100_000  # Chromium's test drag takes no more
ALL, PASTE, CUT = Keys.CONTROL + "a", Keys.CONTROL + "v", Keys.CONTROL + "x"
FRAMES = [("paste", "Wklej ze schowka", (ALL, PASTE), EDGE), ("typing", (ALL, "x"), (ALL, "x"), 1),
          ("Ctrl+Z", (UNDO,), (UNDO,), EDGE), ("Ctrl+Y", (Keys.CONTROL + "y",), (Keys.CONTROL + "y",), 1),
          ("Ctrl+Z", (UNDO,), (UNDO,), EDGE), ("cut", (ALL, CUT), (ALL, CUT), 0), ("Ctrl+Z", (UNDO,), (UNDO,), EDGE),
          ("fold", "Usuń ogonki", "plain.value = foldText(plain.value)", EDGE),
          ("copy", "Kopiuj do schowka", (ALL, Keys.CONTROL + "c"), EDGE),
          ("drop", {"items": [{"mimeType": "text/plain", "data": "ą" * DROPPED}]}, None, EDGE + DROPPED)]
# A million characters in 500 lines: pasted, folded and the fold taken back, beside a plain text area given each text.
LINES = [('"ż"*1998+"\\n" ×500', ("ż" * 1998 + "\n") * 500), ("the same with CR LF", ("ż" * 1997 + "\r\n") * 500),
         ("prose, 500 lines", ("Zażółć gęślą jaźń, pójdź kińże tę chmurność w głąb flaszy. " * 33 + "\n") * 500)]
LINE_EDITS = [("paste", "Wklej ze schowka", (ALL, PASTE)),
              ("fold", "Usuń ogonki", "window.given = plain.value; plain.value = foldText(given)"),
              ("Ctrl+Z", (UNDO,), "plain.value = given")]
LONGEST = """const [id, length, since, done] = arguments, frames = [];
new PerformanceObserver(list => frames.push(...list.getEntries())).observe({type: 'long-animation-frame', buffered: true});
(async () => {
    while (document.getElementById(id).value.length !== length) await new Promise(next => setTimeout(next, 20));
    await new Promise(next => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(next, 100))));
    done(Math.max(0, ...frames.filter(frame => frame.startTime >= since).map(frame => frame.duration)));
})();"""


def longest(browser, act, id, length):
    """The longest frame from the act to the text of `length` in the text area `id` drawn."""
    since = browser.execute_script("return performance.now()")
    if isinstance(act, tuple):
        browser.execute_script(f"{id}.focus()")
        type_keys(browser, *act)
    elif isinstance(act, dict):
        drop(browser, act, id)
    else:
        press(browser, act) if id == "tekst" else browser.execute_script(act)
    return browser.execute_async_script(LONGEST, id, length, since)


def frames(browser, page):
    """Each edit's longest frame beside that of the same edit in a plain text area, printed as a ratio (the bound of
    200 ms or 1.25 times is read from the print, docs/performance.md): the test fails only on a freeze, a frame over
    the larger of 2 s and five times the plain text area's, which a shared machine's load does not make. The least
    of five rounds each, since load on a shared machine only adds, the two sides taking turns, each on a
    fresh page, since a page's edits share one history."""
    browser.set_script_timeout(120)
    texts = [("a line of a million ą", "ą" * EDGE, FRAMES)]
    texts += [(name, text, [(*edit, len(text.replace("\r\n", "\n"))) for edit in LINE_EDITS]) for name, text in LINES]
    for name, text, edits in texts:
        clipboard(browser, text)
        times = {"tekst": [], "plain": []}
        for id in ("tekst", "plain") * 5:
            browser.get(page)
            browser.execute_script("document.querySelector('.note').after(Object.assign("
                                   "document.createElement('textarea'), {id: 'plain', className: 'anywhere'}))")
            times[id].append([longest(browser, edit[1 + (id == "plain")] or edit[1], id, edit[3]) for edit in edits])
        for (edit, *_), *rounds in zip(edits, *times["tekst"], *times["plain"]):
            mine, theirs = min(rounds[:5]), min(rounds[5:])
            print(f"frames: {name}: {edit} {mine:.0f} ms, a plain text area {theirs:.0f} ms, {mine / max(theirs, 1):.2f}")
            check(mine <= max(2000, 5 * theirs), f"{name}: {edit}: a frame of {mine:.0f} ms, a plain one's {theirs:.0f} ms")


def agree(browser):
    """Every UTF-16 code unit folded by the page as kresovar-fold folds it."""
    folded = struct.unpack("<65536H", subprocess.run([FOLD], input=struct.pack("<65537H", 0xFEFF, *range(65536)),
                                                     capture_output=True, check=True).stdout[2:])
    browser.execute_script("document.getElementById('tekst').value = String.fromCharCode(...Array(65536).keys())")
    press(browser, "Usuń ogonki")
    page = browser.execute_script("const v = document.getElementById('tekst').value;"
                                  " return Array.from({length: v.length}, (_, i) => v.charCodeAt(i))")
    expected = [0x0A if unit == 0x0D else unit for unit in folded]  # a text area keeps a lone CR as LF
    check(page == expected, f"{sum(a != b for a, b in zip(page, expected))} units differ from kresovar-fold")


def release_of(folder):
    return re.search(r'RELEASE = "(\w+)"', open(os.path.join(folder, "service-worker.js")).read())[1]


def caches_now(browser):
    return browser.execute_async_script("caches.keys().then(arguments[0])")


# What a page of the second release sees of it: the title, the style and a mark from each script, on the page and in
# the worker the page starts (none comes from the first release's within a second).
SECOND = [True, "2", ["kresovar.js", "code-pages.js", "byte-fold.js", "file-fold.js"], ["code-pages.js", "byte-fold.js"]]


def whole(browser, folder, case):
    """The page, its scripts and the scripts of the worker it starts, all of the release in `folder`."""
    seen = browser.execute_async_script(
        "const done = arguments[0], tag = new URL(document.scripts[0].src).searchParams.get('v');"
        " const worker = new Worker(`byte-fold.js?v=${tag}`, {name: 'marks'}), seen = marks => done([tag, document.title.startsWith("
        "'Nowa'), getComputedStyle(document.documentElement).getPropertyValue('--release').trim(), self.marks || [],"
        " marks]); worker.onmessage = ({data}) => seen(data); setTimeout(seen, 1000, [])")
    expected = [release_of(folder)] + (SECOND if "<title>Nowa" in open(os.path.join(folder, "index.html")).read()
                                       else [False, "", [], []])
    check(seen == expected, f"{case}: a page sees {seen}, not {expected}")


def update(browser):
    """The state a new worker reaches: redundant where its install failed, or activated."""
    return browser.execute_async_script(
        "const done = arguments[0]; navigator.serviceWorker.getRegistration().then(async reg => { await reg.update();"
        " const worker = reg.installing || reg.waiting; if (!worker) return done(null); const end = () =>"
        " ['redundant', 'activated'].includes(worker.state) && done(worker.state); worker.onstatechange = end; end(); })")


def releases(browser, site):
    """Two releases from one server: the second uploaded in part, then with an icon missing, then whole. A failed
    install leaves the first whole; each open page keeps its own release; a release's cache goes once none of its
    pages is open."""
    first, second = (shutil.copytree(site.folder, os.path.join(tempfile.mkdtemp(), "docs")) for _ in range(2))
    marks = {"kresovar.css": ":root { --release: 2; }\n"}
    marks.update((name, f";self.marks = (self.marks || []).concat('{name}');\n") for name in SECOND[2])
    marks["byte-fold.js"] += "if (self.name === 'marks') postMessage(self.marks);\n"
    for name, mark in marks.items():
        open(os.path.join(second, name), "a", encoding="utf-8").write(mark)
    page = open(os.path.join(second, "index.html"), encoding="utf-8").read()
    # The second release drops a file that the first one's pages still show.
    page = re.sub(r'\n *<img src="screenshot-windows.png[^>]*>', "", page.replace("<title>", "<title>Nowa "))
    open(os.path.join(second, "index.html"), "w", encoding="utf-8").write(page)
    subprocess.run([RELEASE_SCRIPT, second], check=True)
    # A worker changed alone is of the same release: its failed install must not take the cache it shares.
    open(os.path.join(first, "service-worker.js"), "a", encoding="utf-8").write("// changed alone\n")
    old, new = (f"kresovar-{release_of(folder)}" for folder in (first, second))
    for case, names, state in (("the same release's worker, an icon missing", [], "redundant"),
                               ("index and worker alone", ["index.html", "service-worker.js"], "redundant"),
                               ("an icon missing", next(os.walk(second))[2], "redundant"),
                               ("whole", ["kresovar-maskable.png"], "activated")):
        for name in names:
            shutil.copy(os.path.join(second, name), site.folder)
        if case.startswith("the same release's"):
            shutil.copy(os.path.join(first, "service-worker.js"), site.folder)
        if "an icon missing" in case:
            os.remove(os.path.join(site.folder, "kresovar-maskable.png"))
        elif case == "index and worker alone":
            shutil.copy(os.path.join(first, "kresovar-maskable.png"), site.folder)
        reached = update(browser)
        check(reached == state, f"{case}: the new release's worker is {reached}, not {state}")
        if state == "redundant":
            browser.refresh()
        banner = lambda: browser.find_element("id", "nowa-wersja").is_displayed()
        announced = until(browser, banner) if state == "activated" else banner()
        expected = {old, new} if state == "activated" else {old}
        check(announced == (state == "activated") and set(caches_now(browser)) == expected,
              f"{case}: caches {caches_now(browser)}, the new release announced: {announced}")
        whole(browser, first, case)
    os.remove(os.path.join(site.folder, "screenshot-windows.png"))
    check(browser.execute_async_script("const done = arguments[0], image = new Image(); image.onload = () => done(true);"
                                       " image.onerror = () => done(false); image.src = document.querySelector("
                                       "'img[src*=\"screenshot-windows\"]').src + '&again'"),
          "the old release's page is not given its file that the new release dropped")
    old_tab = browser.current_window_handle
    browser.switch_to.new_window("tab")
    browser.get(site.url)
    whole(browser, second, "a new tab")
    new_tab = browser.current_window_handle
    browser.switch_to.window(old_tab)
    whole(browser, first, "the old tab beside a new one")
    browser.close()
    browser.switch_to.window(new_tab)
    check(until(browser, lambda: browser.refresh() or caches_now(browser) == [new]),
          f"the old release's cache outlives its page: {caches_now(browser)}")


# Shared from another app, as the query of the manifest's share target: the text area's text after it, the element with
# the focus and the message.
SHARED = [
    ("title=Tytu%C5%82&text=Za%C5%BC%C3%B3%C5%82%C4%87%0D%0Ag%C4%99%C5%9Bl%C4%85&url=https%3A%2F%2Fx.pl%2F%C5%BC",
     "Zazolc\ngesla\nhttps://x.pl/z", "kopiuj", TO_LF),
    ("title=Tytu%C5%82+%C5%BC&text=&url=", "Tytul z", "kopiuj", ""),
    ("text=", "", "tekst", "Udostępniono pusty tekst."),
]


def share(browser, site):
    """The share target opened as a phone opens it: the text folded, gone from the address, never sent to a server."""
    action = urllib.parse.urljoin(site.url, json.load(open(os.path.join(DOCS, "kresovar.webmanifest")))["share_target"]["action"])
    for query, text, focus, said in SHARED:
        browser.get(f"{action}?{query}")
        seen = [area(browser)[0], focused(browser), area(browser)[4], browser.current_url]
        sent = [path for path in site.asked if "?" in path and "v=" not in path]
        check(seen == [text, focus, said, action] and not sent, f"shared {query}: {seen}, the server saw {sent}")


def offline(browser, site, elsewhere):
    # One cache, this release's.
    cached = browser.execute_async_script("const [name, done] = arguments; setTimeout(done, 10000, null);"
                                          " navigator.serviceWorker.ready.then(() => caches.keys()).then(async names =>"
                                          " done(names.join() === name ? (await (await caches.open(name)).keys())"
                                          ".map(k => k.url) : names))", f"kresovar-{release_of(DOCS)}") or ["no worker"]
    loaded = browser.execute_script("return performance.getEntriesByType('resource').map(e => e.name.split('?v=')[0])")
    own = {site.url + name for name in next(os.walk(DOCS))[2] if name != "service-worker.js" and not name.endswith(".md")}
    check(set(cached) == own and set(loaded) <= own, f"the worker caches {cached}, the page loaded {loaded}")
    releases(browser, site)
    # The policy stops a script that tries to send the text elsewhere.
    browser.execute_async_script("fetch(arguments[0], {method: 'POST', body: 'tekst'}).catch(() => {});"
                                 " new Image().src = arguments[0]; setTimeout(arguments[1], 500)", elsewhere.url)
    check(not elsewhere.asked, f"another origin was asked for {elsewhere.asked}")
    share(browser, site)
    site.shutdown()
    site.server_close()
    share(browser, site)
    browser.refresh()
    check(area(browser, "area.value = 'Zażółć'")[0] == "Zażółć", "no page once the server has stopped")
    press(browser, "Usuń ogonki")
    check(area(browser)[0] == "Zazolc", "no fold once the server has stopped")
    files(browser, [row for row in CHOSEN if row[0] == "Kraków.srt"])
    # Opened as a file the page has no worker, but folds a text of more lines than the browser edits quickly.
    browser.get("file://" + os.path.abspath(os.path.join(DOCS, "index.html")))
    check(area(browser, "area.value = 'Zażółć\\n'.repeat(501); usun.click()")[0] == "Zazolc\n" * 501,
          "no fold as a file")
    errors = [entry["message"] for entry in browser.get_log("browser") if "Uncaught" in entry["message"]]
    check(not errors, f"the page as a file: {errors}")


# Files chosen on the page, each folded as kresovar-fold folds it: the fuzzers' seeds, whole and without the byte
# that sets the fuzzer's mode; Polish words in each code page; text that tells no code page, or two; text that -e
# refuses as a code page for its UTF-8 start (within kresovar-fold's first buffer or not), or that mixes UTF-8 with a
# code page; counts of letters. Beside them, the message's ending where it matters, and the answer where the page asks
# and it is not UTF-8 or kresovar-fold reads it as a code page.
HERE = os.path.dirname(os.path.abspath(__file__))
SEEDS, WORDS = os.path.join(HERE, "../../fold/fuzz/corpus_bytes"), os.path.join(HERE, "../../cli/tests/words")
POLISH, SPANISH = (open(os.path.join(WORDS, name), encoding="utf-8").read() for name in ("polish.txt", "spanish.txt"))
CHOSEN = [(name + cut, open(os.path.join(SEEDS, name), "rb").read()[len(cut):]) for name in sorted(os.listdir(SEEDS))
          for cut in ("", "-")]
CHOSEN += [(f"słowa-{codec}.txt", POLISH.encode(codec)) for codec in ("cp1250", "iso8859_2", "cp852")] + [
    ("Kraków.srt", "Kraków i Łódź\r\n".encode("cp1250")), ("ł.srt", "Mały kłos\r\n".encode("cp1250")),
    ("remis.txt", "aąła a±ła a±ła a±ła".encode("cp1250")), ("urwane.txt", b"\xc5" + "żółć\xc4".encode()[:-1]),
    ("mieszany.txt", "Zażółć ".encode() + "gęślą".encode("cp1250")), ("hiszpański.txt", SPANISH.encode("cp1252")),
    ("obraz.png", b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR" + "ą".encode()), ("napisy_" + "do_filmu_o_łodzi" * 9 + ".srt", b"x"),
    ("wielkie.txt", "WSPÓŁPRACA\nMĘŻCZYZNA\nKSIĘŻYC\nPÓŁKA\nZażółć gęślą jaźń\n".encode("cp1250")),
    ("daleko.txt", "ó".encode() + b" " * 300_000 + "gęślą".encode("cp1250")),
    ("blisko.txt", b"a" * 100_000 + "ó".encode() + b" " * 200_000 + "gęślą".encode("cp1250")),
    ("daleko-ó.txt", b"a" * 262_143 + "ó".encode() + b" " * 300_000 + "gęślą".encode("cp1250")),
    ("m3.txt", "Zażółć gęślą jaźń\n".encode("cp1250") * 5 + "Zażółć gęślą jaźń\n".encode())]
CHOSEN += [(f"{count}.txt", "ą".encode() * count) for count in (1, 2, 5, 12, 22, 1234, 12345)]
ENDINGS = {"1.txt": "1 literę", "2.txt": "2 litery", "5.txt": "5 liter", "12.txt": "12 liter", "22.txt": "22 litery",
           "1234.txt": "1234 litery", "12345.txt": "12\u00a0345 liter"}
CHANGED = ": plik zmienił się na dysku — wybierz go jeszcze raz."
BINARY, ONE, FOLDER = (": to nie jest plik tekstowy, więc strona go nie zmienia.",
                       "Strona zmienia jeden plik naraz: upuść tylko jeden.", ": to folder, a strona zmienia tylko pliki.")
ANSWERS = {"blisko.txt": "utf-8+windows-1250", "m3.txt": "utf-8"}
LABELS = {"utf-8": "UTF-8", "windows-1250": "Windows-1250", "iso-8859-2": "ISO-8859-2", "ibm852": "CP852"}
LABELS.update({"utf-8+" + page: "UTF-8 i " + LABELS[page] for page in list(LABELS)[1:]})
SAID = "const said = document.getElementById('plik-komunikat').textContent; return !said.endsWith('…') && said"
RUN = "const run = steps => { let step; while (!(step = steps.next()).done); return step.value; };"


NAMED = re.compile(r"kresovar-fold: (.*): (?:not UTF-8 \(byte \d+\); it reads as (.*?) — .*|UTF-8 and (.*) mixed: .*)$")


def reads_as(stderr):
    """The files kresovar-fold says are not UTF-8 and names code pages for, each with them as "X or Y"."""
    return {match[1]: match[2] or match[3] for match in map(NAMED.match, stderr.splitlines()) if match}


def kresovar_fold(data, *options):
    run = subprocess.run([FOLD, *options], input=data, capture_output=True)
    return run.stdout, [page for page in reads_as(run.stderr.decode()).get("-", "").split(" or ") if page], run.stderr


def choose(browser, path, data, drop):
    """The file chosen with the button or dropped on the text area: the message, and the encodings it asks about."""
    open(path, "wb").write(data)
    browser.execute_script("document.getElementById('plik-komunikat').textContent = ''")
    if drop:  # the page takes the drag over and the drop from the browser, which would open the file
        taken = browser.execute_script("const drop = new DataTransfer(); drop.items.add(new File([Uint8Array.from("
                                       "arguments[0])], arguments[1])); return ['dragover', 'drop'].map(type => !tekst"
                                       ".dispatchEvent(new DragEvent(type, {dataTransfer: drop, bubbles: true,"
                                       " cancelable: true})))", list(data), os.path.basename(path))
        check(taken == [True, True], f"{path}: the drag over and the drop are taken: {taken}")
    else:
        browser.find_element("id", "plik").send_keys(path)
    said = until(browser, lambda: browser.execute_script(SAID)) or ""
    check(browser.execute_script("return scrollX + innerWidth >= document.documentElement.scrollWidth"),
          f"{path}: wider than the window")
    return said, browser.execute_script(
        "return [...document.querySelectorAll('#plik-pytanie:not([hidden]) button')].map(b => b.textContent)")


def answer_with(browser, label):
    """The question answered from the keyboard: the message after it."""
    browser.execute_script("document.getElementById('plik-komunikat').textContent = ''")
    browser.find_element("xpath", f"//div[@id='plik-pytanie']/button[.='{label}']").send_keys(" ")
    return until(browser, lambda: browser.execute_script(SAID)) or ""


def focused(browser):
    return browser.execute_script("return document.activeElement.id")


def saving(browser):
    return browser.find_element("id", "plik-zapisz").is_displayed()


def files(browser, chosen):
    """Asks only where kresovar-fold names no code page, or two that fold the file otherwise, and -e would take one,
    or where the page does not take the code page for the UTF-8 beside it (ANSWERS);
    says the encoding and the letters; saves the result under the file's name; breaks no policy."""
    folder, saved = tempfile.mkdtemp(), tempfile.mkdtemp()
    browser.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": saved})
    errors = [entry["message"] for entry in browser.get_log("browser") if "Uncaught" in entry["message"]]
    asking = None
    for number, (name, data) in enumerate(chosen):
        said, asked = choose(browser, os.path.join(folder, name), data, number % 2)
        expected, pages, stderr = kresovar_fold(data)
        if b": binary (byte" in stderr:
            check(said == name + BINARY and not asked and not saving(browser), f"{name}: binary, yet {said!r}")
            continue
        mixed = b" mixed: use -e utf-8+" in stderr
        # Those that -e refuses for the UTF-8 at the start are not offered alone; alike, they are folded in.
        refused = [page for page in pages if b"UTF-8 or UTF-16" in kresovar_fold(data, "-e", page)[2]]
        pages = pages if mixed else [page for page in pages if page not in refused]
        differ = len({kresovar_fold(data, "-e", page)[0] for page in pages}) > 1
        unnamed = bool(stderr) and not pages
        check(bool(asked) == (mixed or unnamed or differ or name in ANSWERS) and not (asked and saving(browser))
              and asked[:len(pages)] == [LABELS[("utf-8+" if mixed else "") + page] for page in pages][:len(asked)]
              if not mixed else asked == ["UTF-8"] + [LABELS["utf-8+" + page] for page in pages],
              f"{name}: kresovar-fold names {pages}{' mixed' if mixed else ''}, the page asks {asked}: {said!r}")
        answer = ANSWERS.get(name) or ("utf-8+" + pages[0] if mixed else pages[0] if pages else "utf-8")
        if asked:
            said = answer_with(browser, LABELS[answer])
            check(focused(browser) == "plik-zapisz", f"{name}: the focus is on {focused(browser)!r} after the answer")
            asking = asking or (name, data)
        expected = kresovar_fold(data, "-e", answer)[0] if asked or pages else expected
        width = 2 if data[:2] in (b"\xff\xfe", b"\xfe\xff") else 1
        label = "UTF-16" if width == 2 else " albo ".join(LABELS[page] for page in pages if not asked) or LABELS[answer]
        count = len(data) - len(expected) if label == "UTF-8" else sum(
            data[i:i + width] != expected[i:i + width] for i in range(0, len(data), width))
        check(said.replace("\u00a0", "").startswith(f"{name}: {label}, zamieniono {count} " if "+" not in answer
                                                    else f"{name}: {label}, zamieniono ")
              and said.endswith(ENDINGS.get(name, "")), f"{name}: {said!r}, not {label} and {count} letters")
        browser.find_element("id", "plik-zapisz").click()
        path = os.path.join(saved, name)
        check(until(browser, lambda: os.path.exists(path) and open(path, "rb").read() == expected),
              f"{name}: saved otherwise than kresovar-fold folds it")
        os.path.exists(path) and os.remove(path)
    # A file changed on disk before the answer is to be chosen again.
    if asking:
        path = os.path.join(folder, asking[0])
        choose(browser, path, asking[1], False)
        open(path, "ab").write(b"!")
        said = answer_with(browser, "UTF-8")
        check(said == asking[0] + CHANGED and focused(browser) == "plik-wybierz", f"changed before the answer: {said!r}")
    # Two files at once, or a folder, dropped: refused.
    for paths, expected in (([os.path.join(folder, chosen[0][0])] * 2, ONE), ([saved], os.path.basename(saved) + FOLDER)):
        drop(browser, {"files": paths})
        check(until(browser, lambda: str(browser.execute_script(SAID)).endswith(expected)) and not saving(browser),
              f"{paths} dropped: {browser.execute_script(SAID)!r}")
    errors += [entry["message"] for entry in browser.get_log("browser") if "Uncaught" in entry["message"]
               or "Content Security Policy" in entry["message"]]
    check(not errors, f"files: {errors}")


def code_pages(browser):
    """Each code page's fold of all 256 bytes; the code pages that every pair of high bytes read as, side by side
    after a letter and one between letters, and then after a long run of the two: the page's and kresovar-fold's."""
    for page in LABELS:
        folded = browser.execute_script(RUN + "return [...run(foldBytes(Uint8Array.from(arguments[0]), arguments[1]))"
                                        ".output]", list(range(256)), page)
        check(bytes(folded) == kresovar_fold(bytes(range(256)), "-e", page)[0], f"{page}: folded otherwise")
    probes = [bytes([120, a, b, 32, 121, b, 122, 32] + [a, b] * 5 * (twice - 1) + [32]) for twice in (1, 2)
              for a in range(128, 256) for b in range(a if twice == 1 else 128, 256)]
    # Ą (A5) in C6 A5, a sequence of UTF-8, is Ľ in ISO-8859-2: Windows-1250 alone is named.
    probes.append("ĆĄ ĆĄ ĆĄ ĆĄ. Mężczyzna łże, że żółw ćwiczy noca? Nie: mężczyzna ćwiczy, żółw leży. Łódka płynie, ręce"
                  " mężczyzny pełne żółtych kwiatów, córka też.".encode("cp1250"))
    folder = tempfile.mkdtemp()
    paths = [os.path.join(folder, str(n)) for n in range(len(probes))]
    for path, probe in zip(paths, probes):
        open(path, "wb").write(probe)
    named = reads_as(subprocess.run(["xargs", "-0", FOLD, "--check"], input="\0".join(paths), capture_output=True,
                                    text=True).stderr)
    page = browser.execute_script(RUN + "return arguments[0].map(probe => run(encodingOf(Uint8Array.from(probe)))"
                                  ".readsAs.join(' or '))", [list(probe) for probe in probes])
    wrong = [(probe.hex(), mine, named.get(path, "")) for probe, path, mine in zip(probes, paths, page)
             if mine != named.get(path, "")]
    check(not wrong, f"{len(wrong)} files read as other code pages than kresovar-fold says, first {wrong[:3]}")
    # The committed sample of cli/tests/polish, in each code page: the same pages named, or none.
    codecs = {"windows-1250": "cp1250", "iso-8859-2": "iso8859_2", "ibm852": "cp852", "windows-1252": "cp1252",
              "iso-8859-1": "latin_1", "cp850": "cp850"}
    pieces = []
    for sample in sorted(glob.glob(os.path.join(HERE, "../../cli/tests/polish/*.txt"))):
        for line in open(sample, encoding="utf-8").read().splitlines():
            for codec in codecs.values():
                try:
                    pieces.append(line.encode(codec))
                except UnicodeEncodeError:
                    pass
    paths = [os.path.join(folder, f"sample-{n}") for n in range(len(pieces))]
    for path, piece in zip(paths, pieces):
        open(path, "wb").write(piece)
    named = reads_as(subprocess.run(["xargs", "-0", FOLD, "--check"], input="\0".join(paths), capture_output=True,
                                    text=True).stderr)
    page = browser.execute_script(RUN + "return arguments[0].map(probe => run(encodingOf(Uint8Array.from(probe)))"
                                  ".readsAs.join(' or '))", [list(piece) for piece in pieces])
    wrong = [(piece, mine, named.get(path, "")) for piece, path, mine in zip(pieces, paths, page) if mine != named.get(path, "")]
    check(not wrong and any(page), f"{len(wrong)} of {len(pieces)} sample pieces read otherwise than kresovar-fold says,"
                                   f" first {wrong[:3]}")


def main():
    # The page's files dated July 2017, as a server may send them.
    aged = shutil.copytree(DOCS, os.path.join(tempfile.mkdtemp(), "docs"))
    for name in os.listdir(aged):
        os.utime(os.path.join(aged, name), (1_500_000_000, 1_500_000_000))
    site, elsewhere = serve(aged), serve(tempfile.mkdtemp())
    browser = chromium()
    try:
        if ALONE == ["frames"]:
            permit(browser, site.url, "granted")
            frames(browser, site.url)
        else:
            look(browser, site.url)
            use(browser, site.url)
            agree(browser)
            code_pages(browser)
            files(browser, CHOSEN)
            offline(browser, site, elsewhere)
            files(browser, [row for row in CHOSEN if row[0].endswith((".txt", ".srt"))])  # on the page's thread
    finally:
        browser.quit()
    if failures:
        sys.exit(1)
    print("PASS: page_test.py")


if __name__ == "__main__":
    DOCS, SHOTS, FOLD, *ALONE = sys.argv[1:]
    RELEASE_SCRIPT = os.path.join(DOCS, "..", "scripts", "page_release.py")
    VERSION = re.search(r"project\([^)]*VERSION\s+([\d.]+)", open(os.path.join(DOCS, "..", "CMakeLists.txt")).read())[1]
    main()
