#!/usr/bin/python3
"""The page's fold in headless Chromium, on Polish prose in lines of 80
characters: the table lookup alone (foldText) on 10 M characters, and the whole
"Usuń ogonki" command on 1 M and 10 M, from the key press to the next frame
drawn, the text area's write-back included. Beside the command, its floor: the
text area given a text of the same length that needs no fold, to the next
frame. Medians of 7 rounds, lowest and highest beside them. Also prints the
weight of the page's files. Last, "Wklej ze schowka" of 1 M × "ą", one line.

    page_bench.py DOCS-FOLDER
"""
import os
import sys

sys.path.insert(0, os.path.dirname(__file__))
from page_test import chromium, permit, serve  # noqa: E402

DOCS = sys.argv[1]

MEASURE = """
const [size, what, done] = arguments;
const line = what === "paste" ? "ą" : "Zażółć gęślą jaźń. Pójdź, kińże tę chmurność w głąb flaszy! Łódź, Śrem i Źródła.\\n";
const text = line.repeat(Math.ceil(size / line.length)).slice(0, size);
const plain = foldText(text);
const area = document.getElementById("tekst");
const frame = () => new Promise(drawn => requestAnimationFrame(() => setTimeout(drawn)));
(async () => {
    const times = [];
    if (what === "paste")
        await navigator.clipboard.writeText(text);
    for (let round = 0; round < 7; ++round) {
        area.value = what === "paste" ? "" : text;
        area.focus();
        area.setSelectionRange(0, 0);
        await frame();
        const start = performance.now();
        if (what === "lookup")
            foldText(text);
        else if (what === "paste")
            for (document.getElementById("wklej").click(); area.value.length < size;) await frame();
        else if (what === "floor")
            area.value = plain, await frame();
        else
            document.getElementById("usun").click(), await frame();
        times.push(performance.now() - start);
    }
    done(times.sort((a, b) => a - b));
})();
"""


def main():
    site = serve(DOCS)
    browser = chromium()
    try:
        browser.set_script_timeout(600)
        browser.get(site.url)
        permit(browser, site.url, "granted")
        print("| what | characters | median ms | lowest–highest ms |\n|---|---|---|---|")
        for what, size in (("lookup", 10_000_000), ("command", 1_000_000), ("floor", 1_000_000),
                           ("command", 10_000_000), ("floor", 10_000_000), ("paste", 1_000_000)):
            times = browser.execute_async_script(MEASURE, size, what)
            print(f"| {what} | {size:,} | {times[3]:.0f} | {times[0]:.0f}–{times[-1]:.0f} |")
    finally:
        browser.quit()
        site.shutdown()
    files = ["index.html", "kresovar.css", "kresovar.js", "kresovar.svg", "kresovar.webmanifest", "service-worker.js"]
    page = sum(os.path.getsize(os.path.join(DOCS, name)) for name in files)
    shots = sum(os.path.getsize(os.path.join(DOCS, name)) for name in ("screenshot.png", "screenshot-windows.png"))
    print(f"page: {page} bytes ({', '.join(files)}), with its two screenshots {page + shots} bytes")


if __name__ == "__main__":
    main()
