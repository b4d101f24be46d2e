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
const area = document.getElementById("tekst");
const message = document.getElementById("komunikat");

// A text area keeps every line break as LF, so the form of the last pasted
// line break is remembered and given back on the way out.
let pastedCrLf = false;

function rememberLineBreaks(pasted) {
    if (/[\r\n]/.test(pasted))
        pastedCrLf = pasted.includes("\r\n");
}

function outgoing(text) {
    return pastedCrLf ? text.replace(/\n/g, "\r\n") : text;
}

function placeCaret(offset) {
    area.focus();
    area.setSelectionRange(offset, offset);
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
    message.textContent = "";
    rememberLineBreaks(text);
    area.value = text;
    placeCaret(area.value.length);
}

function removeDiacritics() {
    const start = area.selectionStart;
    const scroll = area.scrollTop;
    const folded = foldText(area.value);
    if (folded !== area.value)
        area.value = folded;
    placeCaret(start);
    area.scrollTop = scroll;
}

async function copyToClipboard() {
    try {
        await navigator.clipboard.writeText(outgoing(area.value));
        message.textContent = "";
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
    if (!pastedCrLf || !selected)
        return;
    event.clipboardData.setData("text/plain", outgoing(selected));
    event.preventDefault();
    if (event.type === "cut")
        document.execCommand("delete");
}

// The keys the message pointed to have worked: it has said its piece.
area.addEventListener("paste", event => {
    message.textContent = "";
    rememberLineBreaks(event.clipboardData.getData("text/plain"));
});
area.addEventListener("copy", copySelection);
area.addEventListener("cut", copySelection);
document.getElementById("wklej").addEventListener("click", pasteFromClipboard);
document.getElementById("usun").addEventListener("click", removeDiacritics);
document.getElementById("kopiuj").addEventListener("click", copyToClipboard);

if ("serviceWorker" in navigator)
    navigator.serviceWorker.register("service-worker.js");
