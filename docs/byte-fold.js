"use strict";
// A file's bytes folded as kresovar-fold folds them, after the look that tells
// their encoding as it does: on the page, or as the worker that runs both off
// the page's thread.

if (typeof document === "undefined")
    importScripts("code-pages.js" + self.location.search);

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

// A run of bytes from 0x80 up longer than this is no Polish word, and a text
// needs this many Polish letters inside words to read as a code page
// (kLongRun and kSureLetters of fold/code_page).
const LONG_RUN = 8;
const SURE_LETTERS = 2;

// Counts the stray bytes of a run of bytes from 0x80 up, which a byte below
// 0x80 ends, for each code page: the letters inside words, the other letters,
// and those against (docs/man/kresovar-fold.1 gives the rule).
function endRun(tally, run, beforeLetter) {
    if (run.count === 0)
        return;
    CODE_PAGES.forEach((page, p) => {
        if (run.length > LONG_RUN)
            return void (tally[p].against += run.count);
        const count = {S: 0, U: 0, P: 0, A: 0, ".": 0};
        for (const byte of run.strays)
            ++count[page.evidence[byte - 0x80]];
        const letters = count.S + count.U + count.P;
        const inWord = (run.afterLetter || beforeLetter) && (letters >= 2 && count.P < letters
            || run.length === 1 && run.afterLetter && beforeLetter && count.S === 1);
        tally[p][inWord ? "sure" : "unsure"] += letters;
        tally[p].against += count.A;
    });
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

// The code pages the tally reads as, those that read best, in the order of CODE_PAGES.
function readsAs(tally) {
    let best = [], bestScore = 0;
    CODE_PAGES.forEach((page, p) => {
        const {sure, unsure, against} = tally[p];
        const score = sure + unsure - 2 * against;
        if (sure < SURE_LETTERS || score <= 0 || score < bestScore)
            return;
        best = score > bestScore ? [page.name] : [...best, page.name];
        bestScore = score;
    });
    return best;
}

// The encoding of the bytes: UTF-16 by its byte order mark, else UTF-8 unless
// its bytes that are no part of UTF-8 (strays) read as a code page. Returns
// {encodings, readsAs}: one encoding, or several that fold these bytes alike,
// or, where it cannot tell, the ones to ask about, likeliest first, with `ask`
// set (and `mixed` where it reads as a code page but holds UTF-8 too); and the
// code pages the strays read as. `strays` is set where UTF-8 text keeps bytes
// that are not UTF-8; `binary` where a NUL byte says it is no text.
function* encodingOf(bytes) {
    if (bytes.length >= 2 && (bytes[0] === 0xFF && bytes[1] === 0xFE || bytes[0] === 0xFE && bytes[1] === 0xFF))
        return {encodings: [bytes[0] === 0xFF ? "utf-16le" : "utf-16be"], readsAs: []};
    const tally = CODE_PAGES.map(() => ({sure: 0, unsure: 0, against: 0}));
    const run = {length: 0, afterLetter: false, strays: [], count: 0};
    const seen = new Uint8Array(256);
    let binary = false, anyStray = false, anySequence = false, letterBefore = false;
    // Text that starts with a UTF-8 byte order mark, or whose first four
    // sequences from 0x80 up are UTF-8 (or all there are, at least one, before
    // its end or kresovar-fold's buffer from the first of them is full), is
    // UTF-8 even where bytes further on are not: kresovar-fold -e refuses it as
    // a code page. A sequence of the code page's letters (Ó Ł = D3 A3 in
    // Windows-1250) is not counted for it.
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
            binary ||= lead === 0;
            const letter = (lead | 0x20) - 0x61 >>> 0 < 26;
            if (run.length) {
                endRun(tally, run, letter);
                run.length = run.count = run.strays.length = 0;
            }
            letterBefore = letter;
            ++i;
            continue;
        }
        lookEnd ??= i + READ_SIZE;
        run.afterLetter = run.length ? run.afterLetter : letterBefore;
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
            anySequence = true;
            i += length;
            run.length += length;
            continue;
        }
        anyStray = true;
        if (run.count++ < LONG_RUN)
            run.strays.push(lead);
        ++run.length;
        ++i;
    }
    if (run.length)
        endRun(tally, run, false);
    if (!anyStray || binary)
        return {encodings: ["utf-8"], readsAs: [], binary};
    // The code pages the strays read as, of them those that -e takes.
    const read = readsAs(tally), pages = read.filter(name => !unicodeStart[name]);
    // Where no code page reads, kresovar-fold takes UTF-8, and UTF-8 it is if any of it is.
    if (read.length && !pages.length || !read.length && anySequence)
        return {encodings: ["utf-8"], readsAs: read, strays: true};
    const alike = pages.every(name => seen.every((present, byte) =>
        !present || PAGE_FOLDS[name][byte] === PAGE_FOLDS[pages[0]][byte]));
    // A code page folds the UTF-8 beside it into other text, so text that holds both is asked about.
    const mixed = pages.some(name => mixes[name]);
    if (!mixed && (pages.length === 1 || pages.length > 1 && alike))
        return {encodings: pages, readsAs: pages};
    const others = mixed ? []
        : CODE_PAGES.map(page => page.name).filter(name => !read.includes(name) && !unicodeStart[name]);
    return {encodings: [...pages, ...others, "utf-8"], readsAs: pages, ask: true, mixed};
}

// Folds the bytes in an encoding: returns {output, letters}, the folded bytes
// and how many letters became plain ones.
function* foldBytes(bytes, encoding) {
    const output = new Uint8Array(bytes.length);
    const size = bytes.length;
    let written = 0, letters = 0;
    if (encoding === "utf-8") {
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
// has to ask or the file is no text.
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
            return postMessage({error: error.name});
        }
        const steps = foldFileBytes(bytes, encoding);
        let step;
        while (!(step = steps.next()).done)
            ;
        postMessage(step.value);
    };
}
