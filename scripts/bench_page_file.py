#!/usr/bin/python3
"""The home page's fold of a 50 MB file in headless Chromium, over http (in a
worker) and opened as a file (on the page's thread, in slices): from the file
chosen to the message that says what was done, and the longest task the page's
thread ran meanwhile (the longest of the long tasks the browser reports, and the
longest gap between the ticks of a 10 ms timer). Polish prose in UTF-8 and in
Windows-1250; medians of 5 rounds, lowest and highest beside them.

    scripts/bench_page_file.py
"""
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "docs"))
from page_test import chromium, serve  # noqa: E402

DOCS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs")
SIZE = 50_000_000
LINE = "Zażółć gęślą jaźń. Pójdź, kińże tę chmurność w głąb flaszy! Łódź, Śrem i Źródła.\r\n"

MEASURE = """
window.result = null;
const said = document.getElementById("plik-komunikat");
const times = {longTask: 0, gap: 0};
new PerformanceObserver(list => list.getEntries().forEach(task => {
    times.longTask = Math.max(times.longTask, task.duration);
})).observe({type: "longtask"});
let tick = performance.now();
const ticks = setInterval(() => {
    const now = performance.now();
    times.gap = Math.max(times.gap, now - tick);
    tick = now;
}, 10);
document.getElementById("plik").addEventListener("change", () => times.start = performance.now(), {capture: true});
new MutationObserver(() => {
    if (said.textContent.endsWith("…") || !times.start)
        return;
    times.total = performance.now() - times.start;
    clearInterval(ticks);
    setTimeout(() => window.result = [times.total, times.longTask, times.gap, said.textContent], 200);
}).observe(said, {childList: true, characterData: true, subtree: true});
"""


def main():
    folder = tempfile.mkdtemp()
    text = (LINE * (SIZE // len(LINE.encode()) + 1))
    for name, data in (("utf-8.srt", text.encode()[:SIZE]), ("windows-1250.srt", text.encode("cp1250")[:SIZE])):
        open(os.path.join(folder, name), "wb").write(data)
    site = serve(DOCS)
    browser = chromium()
    try:
        browser.set_script_timeout(300)
        print("| opened | file | total ms | longest long task ms | longest timer gap ms |\n|---|---|---|---|---|")
        for opened, url in (("http", site.url), ("file://", "file://" + os.path.join(DOCS, "index.html"))):
            for name in ("utf-8.srt", "windows-1250.srt"):
                rounds = []
                for _ in range(5):
                    browser.get(url)
                    browser.execute_script(MEASURE)
                    browser.find_element("id", "plik").send_keys(os.path.join(folder, name))
                    while not (result := browser.execute_script("return window.result")):
                        time.sleep(0.1)
                    rounds.append(result)
                said = rounds[-1][3]
                cells = []
                for column in range(3):
                    values = sorted(r[column] for r in rounds)
                    cells.append(f"{statistics.median(values):.0f} ({values[0]:.0f}–{values[-1]:.0f})")
                print(f"| {opened} | {name} ({said}) | " + " | ".join(cells) + " |")
    finally:
        browser.quit()
        site.shutdown()


if __name__ == "__main__":
    main()
