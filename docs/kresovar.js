"use strict";

// The 18 Polish letters, each above the plain Latin letter that replaces it.
const LETTERS = "ąęłńśżźóćĄĘŁŃŻŚŹÓĆ";
const PLAIN = "aelnszzocAELNZSZOC";

// For every unit up to the highest letter: the unit itself, or its plain letter.
const LOOKUP = Uint16Array.from({length: Math.max(...[...LETTERS].map(letter => letter.charCodeAt(0))) + 1},
                                (_, unit) => unit);
for (let i = 0; i < LETTERS.length; ++i)
    LOOKUP[LETTERS.charCodeAt(i)] = PLAIN.charCodeAt(i);

// Pieces small enough for String.fromCharCode's argument list.
const PIECE = 8192;

// Returns the text with each of the 18 letters replaced by its plain letter;
// every other code unit, a lone surrogate too, stays where it was.
function foldText(text) {
    const units = new Uint16Array(PIECE);
    const pieces = [];
    for (let at = 0; at < text.length; at += PIECE) {
        const count = Math.min(PIECE, text.length - at);
        for (let i = 0; i < count; ++i) {
            const unit = text.charCodeAt(at + i);
            units[i] = unit < LOOKUP.length ? LOOKUP[unit] : unit;
        }
        pieces.push(String.fromCharCode.apply(null, count === PIECE ? units : units.subarray(0, count)));
    }
    return pieces.join("");
}

const REFUSED = "Przeglądarka nie daje dostępu do schowka: ";
const EMPTY = "Schowek nie zawiera tekstu.";
const TO_LF = "Końce wierszy wrócą jako LF: były różne albo samotne CR.";
const area = document.getElementById("tekst");
const message = document.getElementById("komunikat");

// A text area keeps every line break as LF, so the form of the pasted line
// breaks is given back on the way out: CR LF only while every pasted break was
// CR LF. null until a paste brings line breaks into the text.
let lineBreak = null;

// "\r\n" or "\n" when every line break of the text has that form, null when it
// has none, "" when it has others (a lone CR, or more than one form).
function formOf(text) {
    const breaks = new Set(text.match(/\r\n|\r|\n/g));
    if (breaks.size === 0)
        return null;
    const [form] = breaks;
    return breaks.size === 1 && form !== "\r" ? form : "";
}

// Pasted over the whole text, or into it; a second form makes it all LF.
function rememberLineBreaks(pasted, replacesAll) {
    const form = formOf(pasted);
    if (replacesAll)
        lineBreak = null;
    if (form === null)
        return;
    const kept = form !== "" && (lineBreak === null || lineBreak === form);
    lineBreak = kept ? form : "\n";
    if (!kept)
        message.textContent = TO_LF;
}

function outgoing(text) {
    return lineBreak === "\r\n" ? text.replace(/\n/g, "\r\n") : text;
}

function placeCaret(offset) {
    area.focus();
    area.setSelectionRange(offset, offset);
}

// The browser's editing, which keeps Ctrl+Z, takes time that grows with the
// square of the line breaks it writes (0.3 s for 500, 25 s for 3,750) and
// 0.6 s for each million characters it replaces, so beyond these the text is
// written plainly and the change cannot be taken back.
const UNDOABLE = {characters: 1_000_000, lineBreaks: 500};

function undoable(text) {
    return Math.max(text.length, area.value.length) <= UNDOABLE.characters
        && (text.match(/[\r\n]/g) || []).length <= UNDOABLE.lineBreaks;
}

// Replaces the whole text, as one step that Ctrl+Z takes back where it can be.
function replaceText(text) {
    if (!undoable(text)) {
        area.value = text;
        return;
    }
    area.focus();
    area.select();
    if (text)
        document.execCommand("insertText", false, text);
    else
        document.execCommand("delete");
}

async function pasteFromClipboard() {
    let text;
    try {
        text = await navigator.clipboard.readText();
    } catch {
        message.textContent = REFUSED + "wklej tekst klawiszami Ctrl+V.";
        area.focus();
        return;
    }
    if (!text)
        message.textContent = EMPTY;
    rememberLineBreaks(text, true);
    replaceText(text);
    placeCaret(area.value.length);
}

function removeDiacritics() {
    const start = area.selectionStart;
    const scroll = area.scrollTop;
    const folded = foldText(area.value);
    if (folded !== area.value)
        replaceText(folded);
    placeCaret(start);
    area.scrollTop = scroll;
}

async function copyToClipboard() {
    try {
        await navigator.clipboard.writeText(outgoing(area.value));
    } catch {
        message.textContent = REFUSED + "tekst jest zaznaczony, skopiuj go klawiszami Ctrl+C.";
        area.focus();
        area.select();
    }
}

// Ctrl+C and Ctrl+X give the selection back with the pasted line breaks too.
function copySelection(event) {
    message.textContent = "";
    const selected = area.value.slice(area.selectionStart, area.selectionEnd);
    if (lineBreak !== "\r\n" || !selected)
        return;
    event.clipboardData.setData("text/plain", outgoing(selected));
    event.preventDefault();
    if (event.type === "cut")
        document.execCommand("delete");
}

// Ctrl+V: the keys a message pointed to have worked, so it has said its piece.
function pasteByKeys(event) {
    message.textContent = "";
    const kept = area.value.slice(0, area.selectionStart) + area.value.slice(area.selectionEnd);
    rememberLineBreaks(event.clipboardData.getData("text/plain"), !kept.includes("\n"));
}

// Each command starts with no message left from an earlier one.
function command(run) {
    return () => {
        message.textContent = "";
        run();
    };
}

area.addEventListener("paste", pasteByKeys);
area.addEventListener("copy", copySelection);
area.addEventListener("cut", copySelection);
document.getElementById("wklej").addEventListener("click", command(pasteFromClipboard));
document.getElementById("usun").addEventListener("click", command(removeDiacritics));
document.getElementById("kopiuj").addEventListener("click", command(copyToClipboard));

// Where the page is opened as a file there is no worker, and nothing to say.
if ("serviceWorker" in navigator)
    navigator.serviceWorker.register("service-worker.js").catch(() => {});
