"use strict";
// A file's bytes folded as kresovar-fold folds them, after the look that tells
// their encoding as it does: on the page, or as the worker that runs both off
// the page's thread.

if (typeof document === "undefined")
    importScripts("code-pages.js");

// Every so many bytes the work yields, so that the page can run between slices.
const STRETCH = 1 << 16;
// kresovar-fold's buffer.
const READ_SIZE = 256 * 1024;

// The plain letter of each UTF-16 code unit up to the highest letter, 0 for any
// other; of each letter's second UTF-8 byte, by its lead byte C3 to C5.
const UNIT_PLAIN = new Uint16Array(Math.max(...[...FOLD_LETTERS].map(letter => letter.charCodeAt(0))) + 1);
const UTF8_PLAIN = new Uint8Array(3 * 64);
for (let i = 0; i < FOLD_LETTERS.length; ++i) {
    const unit = FOLD_LETTERS.charCodeAt(i);
    UNIT_PLAIN[unit] = UTF8_PLAIN[((unit >> 6) - 3) * 64 + (unit & 0x3F)] = FOLD_PLAIN.charCodeAt(i);
}
const PAGE_FOLDS = Object.fromEntries(CODE_PAGES.map(page =>
    [page.name, Uint8Array.from(page.folded.match(/../g), pair => parseInt(pair, 16))]));

// The length of the UTF-8 sequence that `lead` begins, 0 if it begins none,
// and whether `next` can be its byte at `have` (Unicode's table of
// well-formed sequences: no overlong form, no surrogate, nothing past U+10FFFF).
function sequenceLength(lead) {
    return lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
}
function continues(lead, have, next) {
    const low = have > 1 ? 0x80 : lead === 0xE0 ? 0xA0 : lead === 0xF0 ? 0x90 : 0x80;
    const high = have > 1 ? 0xBF : lead === 0xED ? 0x9F : lead === 0xF4 ? 0x8F : 0xBF;
    return next >= low && next <= high;
}

// Whether the UTF-8 sequence of `length` bytes at `at` holds a byte that is no
// letter of the code page whose fold is `fold`: a sequence of its letters alone
// counts for neither.
function beyondLetters(bytes, at, length, fold) {
    for (let k = at; k < at + length; ++k)
        if (fold[bytes[k]] === bytes[k])
            return true;
    return false;
}

// The readings the model of Polish scores (MODEL_BYTE_SYMBOL's order): the three code pages, then
// windows-1252, iso-8859-1 and cp850, which only the model of the other languages scores.
const READINGS = 6;
// Each code page's character of each byte from 0x80 up.
const PAGE_CHARACTERS = Object.fromEntries(CODE_PAGES.map(page =>
    [page.name, Uint16Array.from(page.characters.match(/..../g), digits => parseInt(digits, 16))]));
const byteCharacter = (name, byte) => PAGE_CHARACTERS[name][byte - 0x80];
const POLISH_LETTERS = new Set([...FOLD_LETTERS].map(letter => letter.charCodeAt(0)));

// The code pages the stray bytes read as, as kresovar-fold names them
// (TextWatch::Finish): the most Polish reading by the model, with those that
// read every stray byte alike, where it is clearly the most Polish.
function pagesNamed(model, strays) {
    let best = 0;
    for (let p = 1; p < CODE_PAGES.length; ++p)
        best = model.cost[p] < model.cost[best] ? p : best;
    const bestPage = CODE_PAGES[best].name;
    let letter = false;
    for (let byte = 0x80; byte < 256; ++byte) {
        if (!strays[byte])
            continue;
        letter ||= POLISH_LETTERS.has(byteCharacter(bestPage, byte));
        if (byteCharacter(bestPage, byte) < 0xA0)
            return [];
    }
    if (!letter)
        return [];
    const pages = [];
    for (let p = 0; p < CODE_PAGES.length; ++p) {
        const name = CODE_PAGES[p].name;
        let alike = true;
        for (let byte = 0x80; byte < 256 && alike; ++byte)
            alike = !strays[byte] || byteCharacter(name, byte) === byteCharacter(bestPage, byte);
        if (alike)
            pages.push(name);
        else if (model.cost[p] < model.cost[best] + PAGES_APART)
            return [];
    }
    const other = Math.min(...model.other);
    return other < model.cost[best] + LANGUAGES_APART + model.bigrams * PER_BIGRAM / 8 ? [] : pages;
}

// The encoding of the bytes, as kresovar-fold's rule has it: UTF-16 by its
// byte order mark, else UTF-8 where every byte is UTF-8, else the code page
// that the model of Polish names. Returns {encodings, readsAs}: the encoding
// to fold in (several that fold these bytes alike), or the encodings to ask
// about with `ask` set: the code pages named first (`mixed` where UTF-8 is
// there too: then UTF-8, and UTF-8 with the page), and `firstStray`, the
// offset from 1 of the first byte that is not UTF-8. `binary` where the bytes
// are not UTF-8 and hold a NUL.
function* encodingOf(bytes) {
    if (bytes.length >= 2 && (bytes[0] === 0xFF && bytes[1] === 0xFE || bytes[0] === 0xFE && bytes[1] === 0xFF))
        return {encodings: [bytes[0] === 0xFF ? "utf-16le" : "utf-16be"], readsAs: []};
    const strays = new Float64Array(256), seen = new Uint8Array(256);
    const model = {cost: [0, 0, 0], other: new Array(READINGS).fill(0), bigrams: 0};
    let nul = false, firstStray = 0;
    // Text that starts with a UTF-8 byte order mark, or whose first four
    // sequences from 0x80 up are UTF-8 (or all there are, at least one, before
    // its end or kresovar-fold's buffer from the first of them is full), is
    // refused by kresovar-fold -e as a code page. A sequence of the code page's
    // letters (Ó Ł = D3 A3 in Windows-1250) is not counted for it.
    const mark = bytes[0] === 0xEF && bytes[1] === 0xBB && bytes[2] === 0xBF || undefined;
    const unicodeStart = Object.fromEntries(CODE_PAGES.map(page => [page.name, mark]));
    const sequences = Object.fromEntries(CODE_PAGES.map(page => [page.name, 0]));
    // For each code page, whether the text holds a sequence that counts as UTF-8 anywhere.
    const mixes = Object.fromEntries(CODE_PAGES.map(page => [page.name, false]));
    let lookEnd, looking = !mark;
    for (let i = 0, pause = STRETCH; i < bytes.length;) {
        if (i >= pause) {
            pause = i + STRETCH;
            yield;
        }
        const lead = bytes[i];
        if (lead < 0x80) {
            nul ||= lead === 0;
            ++i;
            continue;
        }
        lookEnd ??= i + READ_SIZE;
        const length = sequenceLength(lead);
        let have = 1;
        while (have < length && i + have < bytes.length && continues(lead, have, bytes[i + have]))
            seen[bytes[i + have++]] = 1;
        seen[lead] = 1;
        const cut = i >= lookEnd || length >= 2 && i + have >= lookEnd;  // by the end of kresovar-fold's look
        for (const name in looking ? unicodeStart : {}) {
            if (unicodeStart[name] !== undefined)
                continue;
            const counted = have === length && i < lookEnd && beyondLetters(bytes, i, length, PAGE_FOLDS[name]);
            sequences[name] += counted ? 1 : 0;
            unicodeStart[name] = cut ? sequences[name] > 0 : length < 2 || have < length ? false
                : sequences[name] === 4 || undefined;
            looking = Object.values(unicodeStart).includes(undefined);
        }
        if (length >= 2 && have === length) {
            for (const name in mixes)
                mixes[name] ||= beyondLetters(bytes, i, length, PAGE_FOLDS[name]);
            i += length;
            continue;
        }
        // A stray byte: the bigrams beside it in each reading (TextWatch::Count).
        firstStray ||= i + 1;
        ++strays[lead];
        const before = i > 0 ? bytes[i - 1] : 0x20, after = i + 1 < bytes.length ? bytes[i + 1] : 0x20;
        ++model.bigrams;
        for (let r = 0; r < READINGS; ++r) {
            const symbols = MODEL_BYTE_SYMBOL[r];
            const first = symbols[before] * MODEL_SYMBOLS + symbols[lead];
            const second = symbols[lead] * MODEL_SYMBOLS + symbols[after];
            const last = after < 0x80;
            if (r < CODE_PAGES.length)
                model.cost[r] += MODEL_COST[0][first] + (last ? MODEL_COST[0][second] : 0);
            model.other[r] += MODEL_COST[1][first] + (last ? MODEL_COST[1][second] : 0);
        }
        ++i;
    }
    if (!firstStray)
        return {encodings: ["utf-8"], readsAs: []};
    if (nul)
        return {encodings: [], readsAs: [], binary: true, firstStray};
    const read = pagesNamed(model, strays);
    // UTF-8 with a code page: read as UTF-8 (-e utf-8) or as both (-e utf-8+PAGE).
    if (read.length && mixes[read[0]])
        return {encodings: ["utf-8", ...read.map(name => "utf-8+" + name)], readsAs: read, ask: true, mixed: true,
                firstStray};
    // The code pages named, of them those that -e takes: folded in, where they fold the bytes alike.
    const pages = read.filter(name => !unicodeStart[name]);
    const alike = pages.every(name => seen.every((present, byte) =>
        !present || PAGE_FOLDS[name][byte] === PAGE_FOLDS[pages[0]][byte]));
    if (pages.length && alike)
        return {encodings: pages, readsAs: read, firstStray};
    // Else asked about: those first, then the others and UTF-8.
    const others = CODE_PAGES.map(page => page.name).filter(name => !pages.includes(name) && !unicodeStart[name]);
    // UTF-8 beside them is offered read with each code page too, as -e utf-8+PAGE reads it.
    const withUtf8 = CODE_PAGES.map(page => page.name).filter(name => mixes[name]).map(name => "utf-8+" + name);
    return {encodings: [...pages, ...others, "utf-8", ...withUtf8], readsAs: read, ask: true, firstStray};
}

// Folds the bytes in an encoding: returns {output, letters}, the folded bytes
// and how many letters became plain ones.
function* foldBytes(bytes, encoding) {
    const output = new Uint8Array(bytes.length);
    const size = bytes.length;
    let written = 0, letters = 0;
    if (encoding.startsWith("utf-8+")) {
        // UTF-8 with a code page: each UTF-8 sequence as UTF-8, every other byte as the code page.
        const table = PAGE_FOLDS[encoding.slice(6)];
        for (let i = 0, pause = STRETCH; i < size;) {
            if (i >= pause) {
                pause = i + STRETCH;
                yield;
            }
            const lead = bytes[i], length = sequenceLength(lead);
            let have = 1;
            while (have < length && i + have < size && continues(lead, have, bytes[i + have]))
                ++have;
            if (lead < 0x80 || length >= 2 && have === length) {
                const second = bytes[i + 1];
                const plain = length === 2 && lead >= 0xC3 && lead <= 0xC5 ? UTF8_PLAIN[(lead - 0xC3) * 64 + second - 0x80] : 0;
                if (plain) {
                    output[written++] = plain;
                    ++letters;
                } else {
                    output.set(bytes.subarray(i, i + length), written);
                    written += length;
                }
                i += length;
                continue;
            }
            output[written++] = table[lead];
            letters += table[lead] !== lead ? 1 : 0;
            ++i;
        }
    } else if (encoding === "utf-8") {
        for (let i = 0, pause = STRETCH; i < size;) {
            if (i >= pause) {
                pause = i + STRETCH;
                yield;
            }
            const lead = bytes[i], second = bytes[i + 1];
            const plain = lead >= 0xC3 && lead <= 0xC5 && second >= 0x80 && second <= 0xBF
                ? UTF8_PLAIN[(lead - 0xC3) * 64 + second - 0x80] : 0;
            output[written++] = plain || lead;
            i += plain ? 2 : 1;
            letters += plain ? 1 : 0;
        }
    } else if (encoding.startsWith("utf-16")) {
        const [high, low] = encoding === "utf-16be" ? [0, 1] : [1, 0];
        for (let i = 0; i + 1 < size; i += 2) {
            if (i % STRETCH === 0 && i > 0)
                yield;
            const unit = bytes[i + high] << 8 | bytes[i + low];
            const plain = unit < UNIT_PLAIN.length ? UNIT_PLAIN[unit] : 0;
            output[i + high] = plain ? 0 : bytes[i + high];
            output[i + low] = plain || bytes[i + low];
            letters += plain ? 1 : 0;
        }
        written = size;
        if (size % 2)
            output[size - 1] = bytes[size - 1];  // an odd byte at the end is kept
    } else {
        const table = PAGE_FOLDS[encoding];
        for (let i = 0; i < size; ++i) {
            if (i % STRETCH === 0 && i > 0)
                yield;
            output[i] = table[bytes[i]];
            letters += output[i] !== bytes[i] ? 1 : 0;
        }
        written = size;
    }
    return {output: output.subarray(0, written), letters};
}

// The bytes as a Blob, made a piece at a time: a copy of 50 MB at once holds
// the thread for 40 to 160 ms.
const BLOB_PIECE = 1 << 22;
function* blobOf(bytes) {
    const pieces = [];
    for (let at = 0; at < bytes.length; at += BLOB_PIECE) {
        pieces.push(new Blob([bytes.subarray(at, at + BLOB_PIECE)]));
        yield;
    }
    return new Blob(pieces, {type: "application/octet-stream"});
}

// The encoding, unless it is given, then the fold: returns the fold's result,
// its output as a Blob, with the encoding's, or the encoding's alone where it
// has to ask (the bytes are not UTF-8) or the file is no text.
function* foldFileBytes(bytes, encoding) {
    const found = encoding ? {encodings: [encoding]} : yield* encodingOf(bytes);
    if (found.ask || found.binary)
        return found;
    const {output, letters} = yield* foldBytes(bytes, found.encodings[0]);
    return {...found, letters, output: yield* blobOf(output)};
}

// A worker folds the file it is sent, to the end.
if (typeof document === "undefined") {
    self.onmessage = async ({data: {file, encoding}}) => {
        let bytes;
        try {
            bytes = new Uint8Array(await file.arrayBuffer());
        } catch (error) {
            return postMessage({error: error.message});
        }
        const steps = foldFileBytes(bytes, encoding);
        let step;
        while (!(step = steps.next()).done)
            ;
        postMessage(step.value);
    };
}
