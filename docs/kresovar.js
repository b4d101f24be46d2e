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
// What to do instead, with the keys ("%" for Ctrl+ or ⌘) or with a finger.
const BY_HAND = {
    paste: {keys: "wklej tekst klawiszami %V.", finger: "wklej tekst, przytrzymując palec w polu tekstu."},
    copy: {keys: "tekst jest zaznaczony, skopiuj go klawiszami %C.",
           finger: "tekst jest zaznaczony, skopiuj go, przytrzymując na nim palec."},
};
const EMPTY = "Schowek nie zawiera tekstu.";
const COPIED = "Skopiowano do schowka.";
const TO_LF = "Końce wierszy wrócą jako LF: były różne albo samotne CR.";
const area = document.getElementById("tekst");
const message = document.getElementById("komunikat");

// The keys' modifier as this computer names it, or null where a finger on a
// touch screen does the pasting and there are no keys to name.
function modifier() {
    if (matchMedia("(pointer: coarse)").matches)
        return null;
    return /^mac/i.test(navigator.userAgentData?.platform || navigator.platform) ? "⌘" : "Ctrl+";
}

function byHand(what) {
    const keys = modifier();
    return REFUSED + (keys ? what.keys.replace("%", keys) : what.finger);
}

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

// A line with no space to break at takes the browser time that grows with the
// square of its length (over a minute for a million letters), and under a
// second where it may break anywhere; so a text with such a run breaks
// anywhere, until a paste replaces it.
const UNBROKEN = 1000;

function breakAnywhere(pasted, replacesAll) {
    let run = 0;
    for (let i = 0; i < pasted.length && run <= UNBROKEN; ++i)
        run = pasted.charCodeAt(i) > 0x20 ? run + 1 : 0;
    if (run > UNBROKEN || replacesAll)
        area.classList.toggle("anywhere", run > UNBROKEN);
}

// Pasted into the text, where `kept` is what the paste does not replace.
function received(pasted, kept) {
    rememberLineBreaks(pasted, !kept.includes("\n"));
    breakAnywhere(pasted, !kept);
}

function placeCaret(offset) {
    area.focus();
    area.setSelectionRange(offset, offset);
}

// The text, its line-break form and the caret (null: where the browser puts it).
function state(caret = area.selectionStart) {
    return {text: area.value, form: lineBreak, caret};
}

// The pastes and folds that Ctrl+Z and redo pass through, each with the state
// on both sides: the text area brings back the text, the page the form and the
// caret. A step is told from the browser's own (typing) by the texts it goes
// between, the one before Ctrl+Z or redo (`from`) and the one after.
const steps = {undo: [], redo: [], from: "", pasted: null};
const KEPT_STEPS = 100;

function record(before, caret) {
    steps.undo.push({before, after: state(caret)});
    if (steps.undo.length > KEPT_STEPS)
        steps.undo.shift();
    steps.redo.length = 0;
}

function beforeHistory(event) {
    if (event.inputType.startsWith("history"))
        steps.from = area.value;
}

function afterInput(event) {
    const undo = event.inputType === "historyUndo";
    if (!undo && event.inputType !== "historyRedo") {
        // Any other edit ends what redo could bring back.
        steps.redo.length = 0;
        if (event.inputType === "insertFromPaste" && steps.pasted)
            record(steps.pasted, null);
        steps.pasted = null;
        return;
    }
    const [from, to] = undo ? [steps.undo, steps.redo] : [steps.redo, steps.undo];
    const step = from.at(-1);
    const [left, reached] = undo ? [step?.after, step?.before] : [step?.before, step?.after];
    if (!step || left.text !== steps.from || reached.text !== area.value)
        return;
    to.push(from.pop());
    lineBreak = reached.form;
    if (reached.caret !== null)
        placeCaret(reached.caret);
}

// The browser's editing, which keeps Ctrl+Z, takes time that grows with the
// square of the line breaks it writes (0.3 s for 500, 25 s for 3,750) and
// 0.6 s for each million characters it replaces, so beyond these the text is
// written plainly and the change cannot be taken back.
const UNDOABLE = {characters: 1_000_000, lineBreaks: 500};

function undoable(text) {
    return Math.max(text.length, area.value.length) <= UNDOABLE.characters
        && (text.match(/\r\n|\r|\n/g) || []).length <= UNDOABLE.lineBreaks;
}

// Replaces the whole text, as one step that Ctrl+Z takes back where it can be,
// from the state `before`, and leaves the caret at `caret`.
function replaceText(text, caret, before) {
    if (!undoable(text)) {
        // Ctrl+Z leaves a text written plainly as it is, and no step before it is reached.
        area.value = text;
        steps.undo.length = steps.redo.length = 0;
    } else if (text || area.value) {
        area.focus();
        area.select();
        document.execCommand(text ? "insertText" : "delete", false, text);
        record(before, caret);
    }
    placeCaret(caret);
}

async function pasteFromClipboard() {
    let text;
    try {
        text = await navigator.clipboard.readText();
    } catch {
        message.textContent = byHand(BY_HAND.paste);
        area.focus();
        return;
    }
    if (!text)
        message.textContent = EMPTY;
    const before = state();
    received(text, "");
    replaceText(text, text.length, before);
}

function removeDiacritics() {
    const before = state();
    const scroll = area.scrollTop;
    const folded = foldText(before.text);
    if (folded !== before.text)
        replaceText(folded, before.caret, before);
    placeCaret(before.caret);
    area.scrollTop = scroll;
}

async function copyToClipboard() {
    try {
        await navigator.clipboard.writeText(outgoing(area.value));
        message.textContent = COPIED;
    } catch {
        message.textContent = byHand(BY_HAND.copy);
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
    steps.pasted = state(null);
    received(event.clipboardData.getData("text/plain"), kept);
}

// Each command starts with no message left from an earlier one.
function command(run) {
    return () => {
        message.textContent = "";
        run();
    };
}

// The note names Ctrl+Z; a Mac names ⌘Z, and a touch screen no keys.
function nameUndoKeys() {
    const keys = modifier();
    const sentence = document.getElementById("cofanie");
    sentence.hidden = !keys;
    if (keys)
        sentence.querySelector("kbd").textContent = keys + "Z";
}

area.addEventListener("paste", pasteByKeys);
area.addEventListener("copy", copySelection);
area.addEventListener("cut", copySelection);
area.addEventListener("beforeinput", beforeHistory);
area.addEventListener("input", afterInput);
document.getElementById("wklej").addEventListener("click", command(pasteFromClipboard));
document.getElementById("usun").addEventListener("click", command(removeDiacritics));
document.getElementById("kopiuj").addEventListener("click", command(copyToClipboard));
nameUndoKeys();

// Where the page is opened as a file there is no worker, and nothing to say.
if ("serviceWorker" in navigator)
    navigator.serviceWorker.register("service-worker.js").catch(() => {});
