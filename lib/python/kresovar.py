"""The fold of the 18 Polish letters with a diacritic to plain Latin letters,
through libkresovar.so.1 (or the library that KRESOVAR_LIBRARY names).

>>> kresovar.fold("Zażółć gęślą jaźń")
'Zazolc gesla jazn'
"""
import ctypes
import os
from typing import NamedTuple, Optional, Tuple

__version__ = "1.0.0"
ENCODINGS = ("utf-8", "utf-16le", "utf-16be", "windows-1250", "iso-8859-2", "ibm852")
_VERDICTS = ("utf-8", "utf-16le", "utf-16be", "code-page", "not-utf-8", "binary", "mixed")
_DECOMPOSED = 1


class _Detection(ctypes.Structure):
    _fields_ = [("verdict", ctypes.c_int), ("pages", ctypes.c_uint),
                ("first_bad", ctypes.c_size_t), ("reason", ctypes.c_char_p)]


_lib = ctypes.CDLL(os.environ.get("KRESOVAR_LIBRARY") or "libkresovar.so.1")
_lib.kresovar_fold.argtypes = [ctypes.c_int, ctypes.c_uint, ctypes.c_void_p, ctypes.c_size_t,
                               ctypes.c_void_p, ctypes.c_size_t]
_lib.kresovar_fold.restype = ctypes.c_ssize_t
_lib.kresovar_detect.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(_Detection)]
_lib.kresovar_error_name.restype = ctypes.c_char_p
_lib.kresovar_version.restype = ctypes.c_char_p


class Detection(NamedTuple):
    """What bytes are: `encoding` is one of ENCODINGS (the first of `pages`
    for a code page), "not-utf-8" or "binary"; `pages` the code pages that
    read them alike; `first_bad` the offset of the first byte that is not
    UTF-8, None if there is none; `reason` says why."""
    encoding: str
    pages: Tuple[str, ...]
    first_bad: Optional[int]
    reason: str


class KresovarError(ValueError):
    """Bytes that fold_bytes does not fold without an encoding: `detection` says what they are."""
    def __init__(self, detection: Detection):
        super().__init__(detection.reason)
        self.detection = detection


def _checked(result: int) -> int:
    if result < 0:
        raise (MemoryError if result == -6 else ValueError)(_lib.kresovar_error_name(result).decode())
    return result


def fold_bytes(data: bytes, encoding: Optional[str] = None, decomposed: bool = False) -> bytes:
    """The bytes folded in `encoding`; without one, only UTF-8 and UTF-16
    with its byte order mark are folded, and KresovarError tells what other
    bytes are. Bytes with nothing to fold come back as they are."""
    data = bytes(data)
    if encoding is None:
        found = detect(data)
        if found.encoding not in ENCODINGS[:3]:
            raise KresovarError(found)
        encoding = found.encoding
    if encoding not in ENCODINGS:
        raise ValueError("no such encoding: %r; one of %s" % (encoding, ", ".join(ENCODINGS)))
    out = ctypes.create_string_buffer(len(data))
    size = _checked(_lib.kresovar_fold(ENCODINGS.index(encoding), _DECOMPOSED if decomposed else 0,
                                       data, len(data), out, len(data)))
    return out.raw[:size]


def fold(text: str) -> str:
    """The text with each of the 18 letters replaced by its plain letter: as
    long as the text, every other character where it was."""
    if not isinstance(text, str):
        raise TypeError("fold takes a str; fold_bytes takes bytes")
    if text.isascii():
        return text
    return fold_bytes(text.encode("utf-8", "surrogatepass"), "utf-8").decode("utf-8", "surrogatepass")


def detect(data: bytes) -> Detection:
    """What the bytes are, as kresovar-fold tells it before it folds them."""
    data = bytes(data)
    found = _Detection()
    _checked(_lib.kresovar_detect(data, len(data), ctypes.byref(found)))
    pages = tuple(name for number, name in enumerate(ENCODINGS) if found.pages >> number & 1)
    verdict = _VERDICTS[found.verdict]
    return Detection(pages[0] if verdict == "code-page" else verdict, pages,
                     found.first_bad if found.first_bad < len(data) else None, found.reason.decode())


def library_version() -> str:
    """The version of the library in use, as kresovar-fold --version gives it."""
    return _lib.kresovar_version().decode()
