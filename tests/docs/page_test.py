#!/usr/bin/python3
"""The home page in a real browser: headless Chromium, driven through
chromedriver, loads docs/index.html from a local web server, at a desktop
width and at a phone's 375 px. It checks that the page declares lang="pl",
logs no console error, never overflows sideways, that every image loads and
every local link and anchor resolves; and it leaves a screenshot of each
width in the folder given, for a person to look at.

    page_test.py DOCS-FOLDER SCREENSHOT-FOLDER
"""
import base64
import functools
import http.server
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import urllib.request

DOCS, SHOTS = sys.argv[1], sys.argv[2]
failures = []


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(folder):
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", free_port()), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return f"http://127.0.0.1:{server.server_port}/"


class Browser:
    """Just enough of the WebDriver protocol over HTTP."""

    def __init__(self):
        port = free_port()
        self.driver = subprocess.Popen(["chromedriver", f"--port={port}"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        self.base = f"http://127.0.0.1:{port}"
        for _ in range(100):
            try:
                self.call("GET", "/status")
                break
            except OSError:
                time.sleep(0.1)
        self.profile = tempfile.mkdtemp()
        arguments = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     f"--user-data-dir={self.profile}"]
        capabilities = {"browserName": "chrome", "goog:loggingPrefs": {"browser": "ALL"},
                        "goog:chromeOptions": {"binary": "/usr/bin/chromium", "args": arguments}}
        self.session = self.call("POST", "/session", {"capabilities": {"alwaysMatch": capabilities}})["sessionId"]

    def call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=60) as response:
            return json.load(response)["value"]

    def command(self, method, path, body=None):
        return self.call(method, f"/session/{self.session}{path}", body)

    def run(self, script):
        return self.command("POST", "/execute/sync", {"script": script, "args": []})

    def close(self):
        try:
            self.command("DELETE", "")
        finally:
            self.driver.kill()


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def main():
    page = serve(DOCS)
    browser = Browser()
    try:
        for name, width in (("desktop", 1280), ("phone", 375)):
            browser.command("POST", "/window/rect", {"width": width, "height": 900})
            browser.command("POST", "/url", {"url": page})
            browser.run("return document.readyState")
            check(browser.run("return document.documentElement.lang") == "pl", "the page does not declare lang=pl")
            inner, scroll = browser.run("return [window.innerWidth, document.documentElement.scrollWidth]")
            check(scroll <= inner, f"{name}: the page is {scroll} px wide in a {inner} px window")
            broken = browser.run("return [...document.images].filter(i => !i.complete || !i.naturalWidth)"
                                 ".map(i => i.getAttribute('src'))")
            check(not broken, f"{name}: images that do not load: {broken}")
            anchors = browser.run("return [...document.querySelectorAll('a[href^=\"#\"]')]"
                                  ".map(a => a.getAttribute('href')).filter(h => !document.getElementById(h.slice(1)))")
            check(not anchors, f"{name}: anchors with no target: {anchors}")
            local = browser.run("return [...document.querySelectorAll('a[href], link[href], img[src]')]"
                                ".map(e => e.href || e.src).filter(u => u.startsWith(location.origin))")
            for url in local:
                try:
                    urllib.request.urlopen(url.split("#")[0], timeout=10).close()
                except OSError as error:
                    check(False, f"{name}: {url} does not resolve: {error}")
            errors = [entry["message"] for entry in browser.command("POST", "/se/log", {"type": "browser"})
                      if entry["level"] == "SEVERE"]
            check(not errors, f"{name}: console errors: {errors}")
            shot = os.path.join(SHOTS, f"home-page-{name}.png")
            with open(shot, "wb") as out:
                out.write(base64.b64decode(browser.command("GET", "/screenshot")))
            print(f"{name} ({width} px): {len(local)} local links and images resolve; screenshot {shot}")
    finally:
        browser.close()
    if failures:
        sys.exit(1)
    print("PASS: page_test.py")


if __name__ == "__main__":
    main()
