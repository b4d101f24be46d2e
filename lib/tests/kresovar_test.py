"""The Python module over the cases of fold/'s tests and the look at an encoding."""
import os
import re
import unittest

import kresovar

HERE = os.path.dirname(os.path.abspath(__file__))
ESCAPES = {"r": b"\r", "n": b"\n", "t": b"\t", "\\": b"\\"}


def unescape(field):
    return b"".join(bytes([int(part[2:], 16)]) if part.startswith("\\x") else
                    ESCAPES[part[1]] if part.startswith("\\") else part.encode()
                    for part in re.split(r"(\\x[0-9a-f]{2}|\\.)", field) if part)


def table(name):
    with open(os.path.join(HERE, name), encoding="utf-8") as lines:
        return [line.rstrip("\n").split("\t") for line in lines if not line.startswith("#")]


class Fold(unittest.TestCase):
    def test_cases(self):
        for name, encoding, flags, text, expected in table("fold_cases.txt"):
            with self.subTest(name):
                text, expected = unescape(text), unescape(expected)
                self.assertEqual(kresovar.fold_bytes(text, encoding, flags == "decomposed"), expected)
                found = kresovar.detect(text)
                if found.encoding not in kresovar.ENCODINGS[:3]:
                    with self.assertRaises(kresovar.KresovarError) as raised:
                        kresovar.fold_bytes(text)
                    self.assertEqual(raised.exception.detection, found)
                elif found.encoding == encoding and flags == "-":
                    self.assertEqual(kresovar.fold_bytes(text), expected, "the strict rule")
                    if encoding == "utf-8":
                        self.assertEqual(kresovar.fold(text.decode()), expected.decode())

    def test_text_keeps_its_length_and_lone_surrogates(self):
        self.assertEqual(kresovar.fold("\ud801ł\udc05ŻÓŁW"), "\ud801l\udc05ZOLW")

    def test_misuse(self):
        self.assertRaises(ValueError, kresovar.fold_bytes, b"a", "latin-1")
        self.assertRaises(TypeError, kresovar.fold, b"a")


class Detect(unittest.TestCase):
    def test_cases(self):
        for name, verdict, pages, text, first_bad in table("detect_cases.txt"):
            with self.subTest(name):
                found = kresovar.detect(unescape(text))
                self.assertEqual(found.encoding, pages if verdict == "code-page" else verdict)
                self.assertEqual(found.pages, () if pages == "-" else (pages,))
                self.assertEqual(found.first_bad, None if first_bad == "-" else int(first_bad))
                self.assertTrue(found.reason)


if __name__ == "__main__":
    unittest.main()
