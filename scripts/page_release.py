#!/usr/bin/python3
"""Names the home page's release by its content: every file that index.html and the web app manifest list, with its
hash, goes into service-worker.js, and the release's tag (a hash of those hashes) into index.html's own links as
?v=TAG. Run it after any change to a file of the page; with --check it changes nothing and fails if it would.

    page_release.py [--check] [DOCS-FOLDER]
"""
import hashlib
import json
import os
import re
import sys

# A link to a file of the page: no scheme, no anchor alone; any tag it has.
LINK = re.compile(r'((?:src|href)=")([^"#:?]+)(?:\?v=[0-9a-f]*)?(")')
BLOCK = re.compile(r"(// Written by scripts/page_release.py[^\n]*\n)const RELEASE = .*?\nconst FILES = \{.*?\};\n", re.S)


def digest(data):
    return hashlib.sha256(data).hexdigest()[:16]


def files_of(docs, index):
    """The files the page lists, in the order it lists them: its links, then the manifest's icons."""
    names = [name for _, name, _ in LINK.findall(index)]
    manifest = [name for name in names if name.endswith(".webmanifest")]
    for name in manifest:
        names += [icon["src"] for icon in json.load(open(os.path.join(docs, name), encoding="utf-8")).get("icons", [])]
    return list(dict.fromkeys(["index.html"] + names))


def release(docs):
    """index.html and service-worker.js as this release writes them."""
    index = open(os.path.join(docs, "index.html"), encoding="utf-8", newline="").read()
    # index.html is hashed with its links' tags left empty, so that its hash does not depend on itself.
    hashes = {name: digest(LINK.sub(r"\g<1>\g<2>?v=\g<3>", index).encode() if name == "index.html"
                           else open(os.path.join(docs, name), "rb").read()) for name in files_of(docs, index)}
    tag = digest("".join(f"{name} {value}\n" for name, value in hashes.items()).encode())
    worker = open(os.path.join(docs, "service-worker.js"), encoding="utf-8", newline="").read()
    block = f'const RELEASE = "{tag}";\nconst FILES = {json.dumps(hashes, indent=4)};\n'
    return LINK.sub(rf"\g<1>\g<2>?v={tag}\g<3>", index), BLOCK.sub(lambda m: m[1] + block, worker, count=1)


def main(argv):
    check = argv[:1] == ["--check"]
    docs = (argv[1:] if check else argv)[:1] or [os.path.join(os.path.dirname(__file__), "..", "docs")]
    docs = docs[0]
    stale = []
    for name, text in zip(("index.html", "service-worker.js"), release(docs)):
        path = os.path.join(docs, name)
        if open(path, encoding="utf-8", newline="").read() != text:
            stale.append(name)
            if not check:
                open(path, "w", encoding="utf-8", newline="").write(text)
    if check and stale:
        sys.exit(f"page_release.py: {' and '.join(stale)} name another release; run scripts/page_release.py")


if __name__ == "__main__":
    main(sys.argv[1:])
