"use strict";
// Kresovar's fold for other programs: fold(string), foldBytes(bytes, encoding)
// and detect(bytes), as docs/library.md gives them. A classic script, with no
// import or export, for a page or a worker after code-pages.js and
// byte-fold.js, whose tables and look at an encoding it uses; in Node (the npm
// package, whose index.mjs re-exports it) it runs those two files itself.
// Everything is inside a block, so that nothing clashes with the page's names.
{
    const BYTE_ENCODINGS = ["utf-8", "utf-16le", "utf-16be"];

    // The page's tables and its look at an encoding, from the page's globals or,
    // in Node, from the two files beside this one, run in a context of their own.
    const page = typeof encodingOf === "function"
        ? {FOLD_LETTERS, FOLD_PLAIN, CODE_PAGES, encodingOf}
        : (() => {
            const {readFileSync} = require("fs"), {join} = require("path"), vm = require("vm");
            const context = vm.createContext({importScripts() {}, self: {}});
            for (const file of ["code-pages.js", "byte-fold.js"])
                vm.runInContext(readFileSync(join(__dirname, file), "utf8"), context, {filename: file});
            return vm.runInContext(
                "({FOLD_LETTERS, FOLD_PLAIN, CODE_PAGES, encodingOf})", context);
        })();

    const LETTER = new RegExp(`[${page.FOLD_LETTERS}]`);
    const LETTERS = new RegExp(LETTER.source, "g");
    const PLAIN_OF = Object.fromEntries([...page.FOLD_LETTERS].map((letter, i) => [letter, page.FOLD_PLAIN[i]]));
    // The plain letter of each UTF-16 unit up to the highest letter, 0 for any other.
    const UNIT_PLAIN = new Uint16Array(Math.max(...Object.keys(PLAIN_OF).map(letter => letter.charCodeAt(0))) + 1);
    for (const [letter, plain] of Object.entries(PLAIN_OF))
        UNIT_PLAIN[letter.charCodeAt(0)] = plain.charCodeAt(0);
    const PAGE_FOLDS = Object.fromEntries(page.CODE_PAGES.map(({name, folded}) =>
        [name, Uint8Array.from(folded.match(/../g), pair => parseInt(pair, 16))]));
    const NODE_BUFFER = typeof Buffer === "function" ? Buffer : null;

    // Folds the units in place. Most units are below the lowest letter, Ó.
    const LOWEST = Math.min(...Object.keys(PLAIN_OF).map(letter => letter.charCodeAt(0)));
    const foldUnits = units => {
        for (let i = 0, n = units.length; i < n; ++i) {
            const unit = units[i];
            if (unit >= LOWEST && unit < UNIT_PLAIN.length) {
                const plain = UNIT_PLAIN[unit];
                if (plain !== 0)
                    units[i] = plain;
            }
        }
    };

    // The text with each of the 18 letters replaced by its plain letter; the
    // same string where there is none. In Node the units are folded in a
    // Buffer, kept between calls up to KEPT bytes: the allocation of a new
    // one costs as much as the fold.
    const KEPT = 1 << 25;
    let scratch = null;
    function fold(text) {
        if (typeof text !== "string")
            throw new TypeError("fold takes a string; foldBytes takes bytes");
        if (!LETTER.test(text))
            return text;
        if (!NODE_BUFFER)
            return text.replace(LETTERS, letter => PLAIN_OF[letter]);
        const size = 2 * text.length;
        const buffer = scratch && scratch.length >= size ? scratch : NODE_BUFFER.allocUnsafeSlow(size);
        if (size <= KEPT)
            scratch = buffer;
        buffer.write(text, 0, "utf16le");
        foldUnits(new Uint16Array(buffer.buffer, buffer.byteOffset, text.length));
        return buffer.toString("utf16le", 0, size);
    }

    // What the bytes are (see detect in docs/library.md), from the page's look.
    function detect(bytes) {
        if (!(bytes instanceof Uint8Array))
            throw new TypeError("detect takes a Uint8Array");
        const steps = page.encodingOf(bytes);
        let step;
        while (!(step = steps.next()).done)
            ;
        const found = step.value;
        const firstBad = found.firstStray ? found.firstStray - 1 : null;
        const pages = [...found.readsAs];
        const [encoding, reason] =
            found.binary ? ["binary", "not UTF-8, and a NUL byte: not text"]
            : found.encodings[0].startsWith("utf-16") ? [found.encodings[0], "a byte order mark of UTF-16"]
            : found.mixed ? ["mixed", "UTF-8 beside text in a code page"]
            : found.ask ? ["not-utf-8", "not UTF-8, and no code page alone reads it"]
            : firstBad === null ? ["utf-8", "valid UTF-8"]
            : pages.length ? [pages[0], "not UTF-8; Polish text in a code page"]
            : ["not-utf-8", "not UTF-8, nor Polish text in a code page"];
        return {encoding, pages, firstBad, reason};
    }

    // The bytes folded in an encoding, always in a new Uint8Array. Without one, only
    // UTF-8 and UTF-16 with its byte order mark are folded; other bytes throw
    // an error that carries what detect gives.
    function foldBytes(bytes, encoding) {
        if (!(bytes instanceof Uint8Array))
            throw new TypeError("foldBytes takes a Uint8Array");
        if (encoding === undefined) {
            const found = detect(bytes);
            if (!BYTE_ENCODINGS.includes(found.encoding))
                throw Object.assign(new Error(found.reason), found);
            encoding = found.encoding;
        }
        if (encoding === "utf-8")
            return foldUtf8(bytes);
        if (encoding === "utf-16le" || encoding === "utf-16be")
            return foldUtf16(bytes, encoding === "utf-16be");
        const table = PAGE_FOLDS[encoding];
        if (!table)
            throw new RangeError(`no such encoding: ${encoding}; one of ${[...BYTE_ENCODINGS, ...Object.keys(PAGE_FOLDS)]}`);
        return new Uint8Array(bytes.length).map((_, i) => table[bytes[i]]);
    }

    // A letter is two bytes with a lead from C3 to C5, and its fold is one.
    function foldUtf8(bytes) {
        if (bytes.indexOf(0xC3) < 0 && bytes.indexOf(0xC4) < 0 && bytes.indexOf(0xC5) < 0)
            return new Uint8Array(bytes);
        const output = new Uint8Array(bytes.length);
        let written = 0;
        for (let i = 0; i < bytes.length;) {
            const lead = bytes[i], second = bytes[i + 1];
            const unit = (lead & 0x1F) << 6 | (second & 0x3F);
            const plain = lead >= 0xC3 && lead <= 0xC5 && (second & 0xC0) === 0x80 ? UNIT_PLAIN[unit] || 0 : 0;
            output[written++] = plain || lead;
            i += plain ? 2 : 1;
        }
        return output.slice(0, written);
    }

    // Each unit in the byte order; an odd byte at the end is kept.
    function foldUtf16(bytes, bigEndian) {
        const output = new Uint8Array(bytes);
        const [high, low] = bigEndian ? [0, 1] : [1, 0];
        for (let i = 0; i + 1 < bytes.length; i += 2) {
            const unit = bytes[i + high] << 8 | bytes[i + low];
            const plain = unit < UNIT_PLAIN.length ? UNIT_PLAIN[unit] : 0;
            if (plain) {
                output[i + high] = 0;
                output[i + low] = plain;
            }
        }
        return output;
    }

    if (typeof self === "object")
        self.kresovar = {fold, foldBytes, detect};
    if (typeof module === "object") module.exports = {fold, foldBytes, detect};
}
