#!/usr/bin/env python3
"""The model of Polish that names a code page, and the corpus that measures it.

Built from Debian 12 packages, fetched with apt-get download into a cache
(build/polish-corpus, or $POLISH_CORPUS):

  scripts/polish_model.py model      writes fold/polish_model.h (scripts/page_tables.sh puts it in docs/code-pages.js)
  scripts/polish_model.py sample     writes cli/tests/polish/*.txt, the committed sample
  scripts/polish_model.py measure KRESOVAR-FOLD
                                     the recall and false-alarm tables of docs/performance.md

Text: Polish from manpages-pl and the pl translations of PACKAGES; the other
languages from manpages-cs/-hu/-ro/-es/-pt-br/-sv/-de/-fr and the same
translations (Slovak, Croatian and Slovenian have translations only). Each
language's files are split by a hash of their name: half build the model,
half are cut into the pieces that measure it.

The model: each character is a symbol (a letter, case folded, or a class of
space, digit, punctuation, other sign, control); the cost of a bigram is
-log2 of its probability given the symbol before, in eighths of a bit, in
two tables: Polish, and the other languages pooled. A reading of a stream is
scored on the bigrams next to its bytes from 0x80 up: Polish readings by the
Polish table, every reading by the other one (see code_page_detect.cpp).
"""
import collections, glob, gzip, hashlib, math, os, re, struct, subprocess, sys, unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CACHE = os.environ.get("POLISH_CORPUS", os.path.join(ROOT, "build", "polish-corpus"))
MANPAGES = {"pl": "manpages-pl", "cs": "manpages-cs", "hu": "manpages-hu", "ro": "manpages-ro", "es": "manpages-es",
            "pt_BR": "manpages-pt-br", "sv": "manpages-sv", "de": "manpages-de", "fr": "manpages-fr"}
PACKAGES = ["coreutils", "tar", "sed", "grep", "findutils", "bash", "wget", "gettext", "gettext-base", "libc-l10n",
            "apt", "dpkg", "diffutils", "man-db", "libgtk-3-common", "libglib2.0-data", "shared-mime-info",
            "xdg-user-dirs"]
POLISH_PAGES = ["windows-1250", "iso-8859-2", "ibm852"]
OTHER_PAGES = ["windows-1252", "iso-8859-1", "cp850"]
CODECS = {"windows-1250": "cp1250", "iso-8859-2": "iso8859_2", "ibm852": "cp852", "windows-1252": "cp1252",
          "iso-8859-1": "latin_1", "cp850": "cp850"}
# Which languages were written in which pages.
CENTRAL = ["cs", "sk", "hr", "sl", "hu", "ro"]
WESTERN = ["es", "pt_BR", "sv", "de", "fr"]
LANGUAGES = ["pl"] + CENTRAL + WESTERN
# Sizes in bytes: an SMS line, a subtitle cue, a CSV row, a paragraph, a whole file (cut to 5 KB).
SIZES = {"sms": 60, "cue": 100, "csv": 90, "paragraph": 300, "file": 5000}


def fetch():
    """The packages, unpacked into CACHE/root."""
    root = os.path.join(CACHE, "root")
    if os.path.isdir(root):
        return root
    os.makedirs(os.path.join(CACHE, "debs"), exist_ok=True)
    subprocess.run(["apt-get", "download", "wpolish", *MANPAGES.values(), *PACKAGES],
                   cwd=os.path.join(CACHE, "debs"), check=True)
    for deb in sorted(glob.glob(os.path.join(CACHE, "debs", "*.deb"))):
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
    return root


TROFF_ESCAPES = re.compile(r"\\f(\[[^]]*\]|\(..|.)|\\s[-+]?\d|\\\*(\[[^]]*\]|\(..|.)|\\[&|^%:ec]|\\\(..|\\\[[^]]*\]")


def troff_text(source):
    lines = []
    for line in source.splitlines():
        if line.startswith((".", "'")) and not re.match(r"^\.(B|I|BR|BI|IB|RB|IR|RI|SH|SS|TP|IP) ", line):
            continue
        line = re.sub(r"^\.\w+ ", "", line)
        line = line.replace("\\-", "-").replace("\\ ", " ").replace("\\(em", "—").replace("\\(en", "–")
        line = TROFF_ESCAPES.sub("", line).replace('"', "")
        lines.append(line)
    text = "\n".join(lines)
    return re.sub(r"\n{3,}", "\n\n", text)


def mo_strings(path):
    data = open(path, "rb").read()
    magic, = struct.unpack("<I", data[:4])
    order = "<" if magic == 0x950412DE else ">"
    _, count, _, translations = struct.unpack(order + "4I", data[4:20])
    strings = []
    for i in range(count):
        length, offset = struct.unpack(order + "2I", data[translations + 8 * i: translations + 8 * i + 8])
        for text in data[offset: offset + length].split(b"\0"):
            try:
                strings.append(text.decode("utf-8"))
            except UnicodeDecodeError:
                pass
    return "\n".join(s for s in strings[1:] if s)  # the first is the header


def documents():
    """(language, name, text) for every file of the corpus."""
    root = fetch()
    for language, package in MANPAGES.items():
        folder = {"pt_BR": "pt_BR"}.get(language, language)
        for path in sorted(glob.glob(os.path.join(root, "usr/share/man", folder, "man*", "*.gz"))):
            try:
                text = troff_text(gzip.open(path).read().decode("utf-8"))
            except (UnicodeDecodeError, OSError):
                continue
            yield language, os.path.relpath(path, root), text
    for language in LANGUAGES:
        for path in sorted(glob.glob(os.path.join(root, "usr/share/locale", language, "LC_MESSAGES", "*.mo"))):
            yield language, os.path.relpath(path, root), mo_strings(path)


def for_model(name):
    return hashlib.sha256(name.encode()).digest()[0] % 2 == 0


# The symbols: 0 space, 1 digit, 2 punctuation, 3 other sign, 4 control or undefined, then a-z and each
# letter from 0x80 up of the six code pages, case folded.
def alphabet():
    letters = set()
    for codec in CODECS.values():
        for byte in range(0x80, 0x100):
            try:
                character = bytes([byte]).decode(codec)
            except UnicodeDecodeError:
                continue
            if character.isalpha():
                letters.add(character.lower())
    return ["␠", "0", ".", "¤", "␀"] + [chr(c) for c in range(ord("a"), ord("z") + 1)] + sorted(letters - set("abcdefghijklmnopqrstuvwxyz"))


SYMBOLS = alphabet()
INDEX = {s: i for i, s in enumerate(SYMBOLS)}
PUNCTUATION = set("‚„…‘’“”•–—«»·")


def symbol(character):
    if character.isspace():
        return 0
    if character.isdigit():
        return 1
    lower = character.lower()
    if lower in INDEX and len(lower) == 1 and lower.isalpha():
        return INDEX[lower]
    if character < "\x80" and character.isprintable():
        return 2 if not character.isalpha() else 3
    if character in PUNCTUATION:
        return 2
    if unicodedata.category(character)[0] == "C":
        return 4
    return 3


def byte_symbols(page):
    out = []
    for byte in range(256):
        try:
            out.append(symbol(bytes([byte]).decode(CODECS[page])))
        except UnicodeDecodeError:
            out.append(4)
    return out


def count(texts):
    counts = collections.Counter()
    for text in texts:
        previous = 0
        for character in text:
            current = symbol(character)
            counts[previous, current] += 1
            previous = current
        counts[previous, 0] += 1
    return counts


def costs(counts, k=0.5):
    size = len(SYMBOLS)
    totals = collections.Counter()
    for (a, _), n in counts.items():
        totals[a] += n
    table = []
    for a in range(size):
        row = []
        for b in range(size):
            p = (counts[a, b] + k) / (totals[a] + k * size)
            row.append(min(255, round(-math.log2(p) * 8)))
        table.append(row)
    return table


def model():
    polish, other = [], []
    for language, name, text in documents():
        if for_model(name):
            (polish if language == "pl" else other).append(text)
    words = open(os.path.join(fetch(), "usr/share/dict/polish"), encoding="utf-8").read().split()
    polish.append(" ".join(words[::7]))  # the word list, for letters prose seldom puts side by side
    tables = [costs(count(polish)), costs(count(other))]
    pages = POLISH_PAGES + OTHER_PAGES
    size = len(SYMBOLS)
    with open(os.path.join(ROOT, "fold", "polish_model.h"), "w") as out:
        out.write("#pragma once\n// Generated by scripts/polish_model.py model: do not edit.\n"
                  "// The model of Polish that names a code page; see code_page_detect.cpp.\n\n"
                  "#include <array>\n#include <cstdint>\n\nnamespace polish_model {\n\n")
        out.write(f"inline constexpr unsigned kSymbols = {size};\n")
        out.write("// Symbols: " + " ".join(SYMBOLS).encode("ascii", "backslashreplace").decode() + "\n")
        out.write("// Each byte's symbol in windows-1250, iso-8859-2, ibm852, windows-1252, iso-8859-1, cp850.\n")
        out.write(f"inline constexpr std::array<std::array<std::uint8_t, 256>, {len(pages)}> kByteSymbol = {{{{\n")
        for page in pages:
            out.write("    {{" + ",".join(map(str, byte_symbols(page))) + "}},\n")
        out.write("}};\n// The cost of symbol b after a, in eighths of a bit: Polish, and the other languages.\n")
        out.write(f"inline constexpr std::array<std::array<std::uint8_t, {size * size}>, 2> kCost = {{{{\n")
        for table in tables:
            out.write("    {{" + ",".join(str(c) for row in table for c in row) + "}},\n")
        out.write("}};\n\n} // namespace polish_model\n")


def cut(text, size):
    """Pieces of about `size` bytes of UTF-8, cut at word boundaries."""
    words = re.findall(r"\S+\s*", text)
    piece = ""
    for word in words:
        if len((piece + word).encode()) > size and piece:
            yield piece.strip()
            piece = ""
        piece += word
    if piece.strip() and len(piece.encode()) > size // 2:
        yield piece.strip()


def pieces(limit=None):
    """(language, size, piece) for the test half of the corpus."""
    for language, name, text in documents():
        if for_model(name):
            continue
        for size, bytes_ in SIZES.items():
            if size == "file":
                chunks = [text[:bytes_]] if len(text.encode()) > 500 else []
            elif size == "paragraph":
                chunks = [p for chunk in re.split(r"\n\s*\n", text) for p in cut(" ".join(chunk.split()), bytes_)]
            else:
                chunks = [p for line in text.splitlines() for p in cut(line, bytes_)]
            for chunk in chunks[:limit]:
                yield language, size, chunk


POLISH_LETTERS = set("ąćęłńóśźżĄĆĘŁŃÓŚŹŻ")


def rows(limit):
    """The measured rows: Polish in its three pages, the others in theirs."""
    for language, size, text in pieces(limit):
        pages = POLISH_PAGES if language in ["pl"] + CENTRAL else OTHER_PAGES
        for page in pages:
            try:
                encoded = text.encode(CODECS[page])
            except UnicodeEncodeError:
                continue
            if language == "pl" and not POLISH_LETTERS & set(text):
                continue
            if language != "pl" and max(encoded, default=0) < 0x80:
                continue
            yield language, size, page, text, encoded


def measure(binary, limit=None):
    """Runs kresovar-fold -c on every piece, and prints the tables."""
    import tempfile
    results = collections.defaultdict(lambda: [0, 0])  # (language, size, page) -> [right or wrong named, all]
    with tempfile.TemporaryDirectory() as folder:
        batch = []

        def run():
            names = [os.path.join(folder, str(i)) for i in range(len(batch))]
            for name, (_, _, _, _, encoded) in zip(names, batch):
                open(name, "wb").write(encoded)
            said = subprocess.run([binary, "-c", *names], capture_output=True).stderr.decode()
            named = {}
            for line in said.splitlines():
                match = re.match(r"kresovar-fold: (\S+): not UTF-8 \(byte \d+\); it reads as (.*?) — ", line)
                if match:
                    named[match.group(1)] = match.group(2).split(" or ")
            for name, (language, size, page, text, encoded) in zip(names, batch):
                pages = named.get(name, [])
                if language == "pl":
                    # Right: every page named reads every byte as the true page does.
                    right = bool(pages) and all(encoded.decode(CODECS[p], "replace") == text for p in pages)
                    hit = right
                else:
                    hit = bool(pages)
                cell = results[language, size, page]
                cell[0] += hit
                cell[1] += 1
            batch.clear()

        for row in rows(limit):
            batch.append(row)
            if len(batch) == 2000:
                run()
        if batch:
            run()
    return results


def table(results):
    lines = ["| | " + " | ".join(SIZES) + " |", "|---|" + "---|" * len(SIZES)]
    for language in LANGUAGES:
        for page in (POLISH_PAGES if language in ["pl"] + CENTRAL else OTHER_PAGES):
            cells = []
            for size in SIZES:
                hit, total = results.get((language, size, page), [0, 0])
                cells.append(f"{100 * hit / total:.1f}% of {total}" if total else "–")
            what = "recall" if language == "pl" else "false alarms"
            lines.append(f"| {language} {page} ({what}) | " + " | ".join(cells) + " |")
    return "\n".join(lines)


def sample(per_row=30):
    """A few dozen pieces per row, in UTF-8, for cli/tests/polish/."""
    folder = os.path.join(ROOT, "cli", "tests", "polish")
    os.makedirs(folder, exist_ok=True)
    chosen = collections.defaultdict(list)
    for language, size, text in pieces(200):
        if size == "file":
            continue
        pages = POLISH_PAGES if language in ["pl"] + CENTRAL else OTHER_PAGES
        key = (language, "short" if size != "paragraph" else "paragraph")
        line = " ".join(text.split())
        if language == "pl" and not POLISH_LETTERS & set(line):
            continue
        if any(ord(c) > 0x7F for c in line) and len(chosen[key]) < per_row * 4:
            try:
                [line.encode(CODECS[p]) for p in pages]
            except UnicodeEncodeError:
                continue
            chosen[key].append(line)
    for (language, kind), lines in chosen.items():
        step = max(1, len(lines) // per_row)
        with open(os.path.join(folder, f"{language}-{kind}.txt"), "w", encoding="utf-8") as out:
            out.write("\n".join(lines[::step][:per_row]) + "\n")


if __name__ == "__main__":
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "model":
        model()
    elif command == "sample":
        sample()
    elif command == "measure":
        limit = int(sys.argv[3]) if len(sys.argv) > 3 else None
        print(table(measure(sys.argv[2], limit)))
    else:
        sys.exit(__doc__)
