#!/usr/bin/python3
"""The home page in headless Chromium, driven with Selenium, from a local web
server. At a desktop width and at a phone's 375 px: lang="pl", no console error,
no sideways overflow, every image, local link and anchor resolves, and a
screenshot of each width is left in SCREENSHOT-FOLDER for a person to look at.
Then the page's own fold, by keyboard alone: paste, fold and copy with the
clipboard granted and refused, the caret after the fold, all 65,536 UTF-16 code
units against kresovar-fold, the page after its web server has stopped, and no
request to another origin.

    page_test.py DOCS-FOLDER SCREENSHOT-FOLDER KRESOVAR-FOLD
"""
import http.server
import json
import os
import struct
import subprocess
import sys
import tempfile
import threading

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.wait import WebDriverWait

REFUSED = "Przeglądarka nie daje dostępu do schowka: "
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


class Server(http.server.ThreadingHTTPServer):
    """A folder served on a port of its own, with the paths it was asked for."""

    def __init__(self, folder):
        asked = self.asked = []

        class Handler(http.server.SimpleHTTPRequestHandler):
            extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                              ".webmanifest": "application/manifest+json"}

            def __init__(self, *args, **kwargs):
                super().__init__(*args, directory=folder, **kwargs)

            def log_message(self, *args):
                asked.append(self.path)

        super().__init__(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self.server_port}/"
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def stop(self):
        self.shutdown()
        self.server_close()


def chromium():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={tempfile.mkdtemp()}"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def look(browser, page):
    for name, width in (("desktop", 1280), ("phone", 375)):
        browser.set_window_size(width, 900)
        browser.get(page)
        check(browser.execute_script("return document.documentElement.lang") == "pl", "lang is not pl")
        inner, scroll = browser.execute_script("return [innerWidth, document.documentElement.scrollWidth]")
        check(scroll <= inner, f"{name}: the page is {scroll} px wide in a {inner} px window")
        broken = browser.execute_script("return [...document.images].filter(i => !i.naturalWidth).map(i => i.src)")
        check(not broken, f"{name}: images that do not load: {broken}")
        anchors = browser.execute_script("return [...document.querySelectorAll('a[href^=\"#\"]')]"
                                         ".map(a => a.hash.slice(1)).filter(id => !document.getElementById(id))")
        check(not anchors, f"{name}: anchors with no target: {anchors}")
        local = browser.execute_script("return [...document.querySelectorAll('a[href], link[href], img[src]')]"
                                       ".map(e => (e.href || e.src).split('#')[0]).filter(u => u.startsWith(location.origin))")
        missing = [url for url in local if not os.path.isfile(os.path.join(DOCS, url[len(page):] or "index.html"))]
        check(not missing, f"{name}: local links to no file: {missing}")
        browser.save_screenshot(os.path.join(SHOTS, f"home-page-{name}.png"))
    check(not browser.execute_cdp_cmd("Page.getInstallabilityErrors", {})["installabilityErrors"], "not installable")


def permit(browser, page, setting):
    for name in ("clipboard-read", "clipboard-write"):
        browser.execute_cdp_cmd("Browser.setPermission", {"origin": page.rstrip("/"), "setting": setting,
                                                          "permission": {"name": name}})


def clipboard(browser, text=None):
    return browser.execute_async_script("const done = arguments[1]; (arguments[0] === null ? navigator.clipboard.readText()"
                                        " : navigator.clipboard.writeText(arguments[0])).then(done, e => done(String(e)))", text)


CAPTIONS = ["Wklej ze schowka", "Usuń ogonki", "Kopiuj do schowka"]


def press(browser, caption):
    """Tabs from the text area or a button to the button, and presses it with Space."""
    here = browser.switch_to.active_element.text
    forward = CAPTIONS.index(caption) > (CAPTIONS.index(here) if here in CAPTIONS else -1)
    for _ in range(3):
        if browser.switch_to.active_element.text == caption:
            break
        browser.switch_to.active_element.send_keys(Keys.TAB if forward else Keys.SHIFT + Keys.TAB)
    check(browser.switch_to.active_element.text == caption, f"Tab does not reach {caption}")
    browser.switch_to.active_element.send_keys(" ")


def until(browser, condition):
    """Whether the condition holds within 10 s: paste and copy end after their key press."""
    try:
        return WebDriverWait(browser, 10).until(lambda _: condition()) or True
    except TimeoutException:
        return False


def area(browser, script="", *args):
    return browser.execute_script(f"const area = document.getElementById('tekst'); {script}"
                                  "; return [area.value, area.selectionStart, area.selectionEnd,"
                                  " document.activeElement === area, document.getElementById('komunikat').textContent]",
                                  *args)


# The clipboard, a selection before the fold, then the text area after the fold
# (its caret at the selection's start) and the clipboard after the copy.
ROWS = [
    ("Zażółć gęślą jaźń", (3, 9), "Zazolc gesla jazn", "Zazolc gesla jazn"),
    ("ŁÓDŹ\r\nśrem\r\n", (6, 6), "LODZ\nsrem\n", "LODZ\r\nsrem\r\n"),
    ("a\nże", (2, 4), "a\nze", "a\nze"),
    ("a\rż", (0, 3), "a\nz", "a\nz"),
    ("é ü č ř \u0105\u0328 😀 Ę\u00a0\t", (10, 13), "é ü č ř a\u0328 😀 E\u00a0\t", "é ü č ř a\u0328 😀 E\u00a0\t"),
]


def use(browser, page):
    permit(browser, page, "granted")
    area(browser, "area.focus()")
    for pasted, selection, folded, copied in ROWS:
        clipboard(browser, pasted)
        press(browser, "Wklej ze schowka")
        check(until(browser, lambda: area(browser)[0] == pasted.replace("\r\n", "\n").replace("\r", "\n")),
              f"{pasted!r} pasted as {area(browser)}")
        area(browser, "area.setSelectionRange(...arguments)", *selection)
        press(browser, "Usuń ogonki")
        check(area(browser)[:4] == [folded, selection[0], selection[0], True],
              f"after the fold of {pasted!r}: {area(browser)}")
        press(browser, "Kopiuj do schowka")
        check(until(browser, lambda: clipboard(browser) == copied), f"{pasted!r} copied as {clipboard(browser)!r}")
    permit(browser, page, "denied")
    press(browser, "Wklej ze schowka")
    check(until(browser, lambda: area(browser)[3:] == [True, REFUSED + "wklej tekst klawiszami Ctrl+V."]),
          f"paste refused: {area(browser)}")
    press(browser, "Kopiuj do schowka")
    everything = [0, len(ROWS[-1][2].encode("utf-16-le")) // 2, True]
    check(until(browser, lambda: area(browser)[1:] == everything + [REFUSED + "tekst jest zaznaczony, skopiuj go"
                                                                    " klawiszami Ctrl+C."]), f"copy refused: {area(browser)}")
    permit(browser, page, "granted")
    clipboard(browser, "ź\r\nż")
    permit(browser, page, "denied")
    for keys in (Keys.CONTROL + "a", Keys.CONTROL + "v", Keys.CONTROL + "a", Keys.CONTROL + "c"):
        browser.switch_to.active_element.send_keys(keys)
    permit(browser, page, "granted")
    check(until(browser, lambda: area(browser)[0] == "ź\nż" and clipboard(browser) == "ź\r\nż"),
          f"Ctrl+V, Ctrl+C: {area(browser)}")
    errors = [entry["message"] for entry in browser.get_log("browser") if entry["level"] == "SEVERE"]
    check(not errors, f"console errors: {errors}")


def agree(browser):
    """Every UTF-16 code unit folded by the page as kresovar-fold folds it."""
    units = struct.pack("<65536H", *range(65536))
    folded = struct.unpack("<65536H", subprocess.run([FOLD], input=b"\xff\xfe" + units, capture_output=True,
                                                     check=True).stdout[2:])
    browser.execute_script("const area = document.getElementById('tekst');"
                           " area.value = String.fromCharCode(...Array(65536).keys()); area.focus()")
    press(browser, "Usuń ogonki")
    page = browser.execute_script("const v = document.getElementById('tekst').value;"
                                  " return Array.from({length: v.length}, (_, i) => v.charCodeAt(i))")
    # The text area keeps a lone CR as LF.
    expected = [0x0A if unit == 0x0D else unit for unit in folded]
    check(page == expected, f"{sum(a != b for a, b in zip(page, expected))} units differ from kresovar-fold")


def offline(browser, site, elsewhere):
    cached = browser.execute_async_script("setTimeout(arguments[0], 10000, null); navigator.serviceWorker.ready"
                                          ".then(() => caches.open('kresovar')).then(c => c.keys())"
                                          ".then(keys => arguments[0](keys.map(k => k.url)))") or ["no worker"]
    loaded = browser.execute_script("return performance.getEntriesByType('resource').map(e => e.name)")
    foreign = [url for url in cached if not url.startswith(site.url) or not os.path.isfile(
        os.path.join(DOCS, url[len(site.url):] or "index.html"))]
    check(not foreign and set(loaded) - {site.url + "service-worker.js"} <= set(cached),
          f"the worker caches {cached}, the page loaded {loaded}")
    events = [json.loads(entry["message"])["message"] for entry in browser.get_log("performance")]
    sent = [event["params"]["request"]["url"] for event in events if event["method"] == "Network.requestWillBeSent"
            and event["params"]["documentURL"].startswith(site.url)]
    check(sent and all(url.startswith(site.url) for url in sent), f"requests to another origin: {sent}")
    # The policy stops a script that tries to send the text elsewhere.
    browser.execute_async_script("fetch(arguments[0], {method: 'POST', body: 'tekst'}).catch(() => {});"
                                 " new Image().src = arguments[0]; setTimeout(arguments[1], 500)", elsewhere.url)
    check(not elsewhere.asked, f"another origin was asked for {elsewhere.asked}")
    site.stop()
    browser.refresh()
    check(area(browser, "area.value = 'Zażółć'; area.focus()")[0] == "Zażółć", "no page once the server has stopped")
    press(browser, "Usuń ogonki")
    check(area(browser)[0] == "Zazolc", "no fold once the server has stopped")


def main():
    site, elsewhere = Server(DOCS), Server(tempfile.mkdtemp())
    browser = chromium()
    try:
        look(browser, site.url)
        use(browser, site.url)
        agree(browser)
        offline(browser, site, elsewhere)
    finally:
        browser.quit()
    if failures:
        sys.exit(1)
    print("PASS: page_test.py")


if __name__ == "__main__":
    DOCS, SHOTS, FOLD = sys.argv[1:4]
    main()
