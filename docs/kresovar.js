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
const FOR_GOOD = "Tej zmiany nie da się cofnąć: tekst jest za długi.";
const NOTHING_SHARED = "Udostępniono pusty tekst.";
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
// anywhere. Only a space, a tab or a line break ends a run: the browser breaks
// no line at a control character.
const UNBROKEN = 1000;

// What the undo steps keep of a text, in one pass over it: its length and a
// hash to tell it by, and whether it has a run longer than UNBROKEN.
function look(text) {
    let hash = 0x811C9DC5, run = 0, anywhere = false;
    for (let i = 0; i < text.length; ++i) {
        const unit = text.charCodeAt(i);
        hash = Math.imul(hash ^ unit, 0x01000193);
        run = unit === 0x20 || unit === 0x0A || unit === 0x09 || unit === 0x0D ? 0 : run + 1;
        anywhere ||= run > UNBROKEN;
    }
    return {length: text.length, hash, anywhere};
}

const sameText = (one, other) => one.length === other.length && one.hash === other.hash;

// Each change of the class lays the whole text out again, so it changes only
// where it must; it is set before a text that needs it is shown, and cleared after.
function breakAnywhere(anywhere) {
    if (area.classList.contains("anywhere") !== anywhere)
        area.classList.toggle("anywhere", anywhere);
}

function placeCaret(offset, end = offset) {
    area.focus();
    area.setSelectionRange(offset, end);
}

// The text as the undo steps keep it, its line-break form and the caret or
// selection (null: where the browser puts it).
function state(caret = area.selectionStart, end = caret) {
    return {...look(area.value), form: lineBreak, caret, end};
}

// The pastes, drops and folds that Ctrl+Z and redo pass through, each with the
// state on both sides: the text area brings back the text, the page the form,
// the caret and the class. A step is told from the browser's own (typing) by
// the texts it goes between, the one before Ctrl+Z or redo (`from`) and the one
// after. A step holds no text, so the page keeps more of them than Chromium
// keeps edits (1000), and Ctrl+Z reaches none that the page has dropped.
// `seen` names each text shown since one was written plainly (null before).
// `long` holds once a text with a run longer than UNBROKEN has been shown: the
// browser's own undo or redo may bring it back, even past a text written plainly,
// whose write leaves the browser's history as it was.
const steps = {undo: [], redo: [], from: null, pasted: null, seen: null, long: false};
const KEPT_STEPS = 10_000;

function record(before, caret) {
    steps.undo.push({before, after: state(caret)});
    if (steps.undo.length > KEPT_STEPS)
        steps.undo.shift();
    steps.redo.length = 0;
}

// The step that Ctrl+Z (or redo) passes next, the state it leaves and the one it reaches.
function nextStep(undo) {
    const step = (undo ? steps.undo : steps.redo).at(-1);
    return undo ? [step, step?.after, step?.before] : [step, step?.before, step?.after];
}

// The class is set before a change lands that may bring a long run back: the
// page's own steps, and the browser's undo and redo once one has been shown,
// since the page cannot tell which text they bring. Pastes and drops are
// decided as they come; typing, a cut or a delete in a text with no long run
// joins at most two runs and what is typed, which lays out quickly.
function beforeHistory(event) {
    if (!event.inputType.startsWith("history"))
        return;
    const text = area.value;
    steps.from = {...look(text), text, start: area.selectionStart, end: area.selectionEnd};
    const [step, left, reached] = nextStep(event.inputType === "historyUndo");
    if (steps.long || step && sameText(left, steps.from) && reached.anywhere)
        breakAnywhere(true);
}

const named = text => `${text.length}:${text.hash}`;

// A text written plainly leaves the browser's history holding the edits before
// it, which it would apply to the new text; so a history step that reaches a
// text not seen since then is taken back, and true returned.
function strayed(history, shown) {
    if (!steps.seen)
        return false;
    if (!history)
        steps.seen.add(named(shown));
    if (steps.seen.has(named(shown)))
        return false;
    const {text, start, end, anywhere} = steps.from;
    breakAnywhere(anywhere);
    area.value = text;
    area.setSelectionRange(start, end);
    return true;
}

function afterInput(event) {
    const shown = look(area.value);
    breakAnywhere(shown.anywhere);
    steps.long ||= shown.anywhere;
    const undo = event.inputType === "historyUndo";
    const history = undo || event.inputType === "historyRedo";
    if (strayed(history, shown))
        return;
    if (!history) {
        // Any other edit ends what redo could bring back.
        steps.redo.length = 0;
        if (/^insertFrom(Paste|Drop)$/.test(event.inputType) && steps.pasted)
            record(steps.pasted, null);
        steps.pasted = null;
        return;
    }
    const [step, left, reached] = nextStep(undo);
    if (!step || !sameText(left, steps.from) || !sameText(reached, shown))
        return;
    const [from, to] = undo ? [steps.undo, steps.redo] : [steps.redo, steps.undo];
    to.push(from.pop());
    lineBreak = reached.form;
    if (reached.caret !== null)
        placeCaret(reached.caret, reached.end);
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
    const written = look(text), anywhere = written.anywhere;
    if (anywhere)
        breakAnywhere(true);
    if (!undoable(text)) {
        // Ctrl+Z leaves a text written plainly as it is, and no step before it is reached.
        area.value = text;
        steps.undo.length = steps.redo.length = 0;
        steps.seen = new Set([named(written)]);
        steps.long ||= anywhere;
        message.textContent += (message.textContent && " ") + FOR_GOOD;
    } else if (text || area.value) {
        area.focus();
        area.select();
        document.execCommand(text ? "insertText" : "delete", false, text);
        record(before, caret);
        steps.long ||= anywhere;
    }
    breakAnywhere(anywhere);
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
    rememberLineBreaks(text, true);
    replaceText(text, text.length, before);
}

function removeDiacritics() {
    const before = state();
    const scroll = area.scrollTop;
    const text = area.value;
    const folded = foldText(text);
    if (folded !== text)
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

// A text shared from another app (the manifest's share target) arrives in the
// address, which the page clears at once: the worker answered it from the
// cache, and no server saw it. It is written folded, in one step that Ctrl+Z
// takes back (each write of a long text costs the browser's editing its time).
function takeShared() {
    const shared = new URLSearchParams(location.search);
    if (!["title", "text", "url"].some(name => shared.has(name)))
        return;
    history.replaceState(null, "", location.pathname + location.hash);
    const lines = [shared.get("text"), shared.get("url")].filter(Boolean);
    const text = lines.length ? lines.join("\n") : shared.get("title") ?? "";
    if (!text) {
        message.textContent = NOTHING_SHARED;
        area.focus();
        return;
    }
    const before = state();
    rememberLineBreaks(text, true);
    replaceText(foldText(text), 0, before);
    document.getElementById("kopiuj").focus();
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

// A text pasted or dropped between `left` and `right`, which it keeps; Ctrl+Z
// puts the caret or the selection back where it stood.
function pasting(text, left, right) {
    steps.pasted = state(area.selectionStart, area.selectionEnd);
    rememberLineBreaks(text, !left.includes("\n") && !right.includes("\n"));
    if (look(left + text + right).anywhere)
        breakAnywhere(true);
}

// Ctrl+V: the keys a message pointed to have worked, so it has said its piece.
function pasteByKeys(event) {
    message.textContent = "";
    pasting(event.clipboardData.getData("text/plain"), area.value.slice(0, area.selectionStart),
            area.value.slice(area.selectionEnd));
}

// A text dropped from elsewhere is pasted where it falls; one moved within the
// text area keeps its line breaks' form.
let dragged = false;
function dropText(event) {
    const text = event.dataTransfer.getData("text/plain");
    if (!dragged && text) {
        message.textContent = "";
        pasting(text, area.value, "");
    }
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
area.addEventListener("drop", dropText);
area.addEventListener("dragstart", () => dragged = true);
area.addEventListener("dragend", () => dragged = false);
area.addEventListener("copy", copySelection);
area.addEventListener("cut", copySelection);
area.addEventListener("beforeinput", beforeHistory);
area.addEventListener("input", afterInput);
document.getElementById("wklej").addEventListener("click", command(pasteFromClipboard));
document.getElementById("usun").addEventListener("click", command(removeDiacritics));
document.getElementById("kopiuj").addEventListener("click", command(copyToClipboard));
nameUndoKeys();
takeShared();

// The release this page was loaded from, by the tag its scripts were asked for with.
const RELEASE = new URL(document.currentScript.src).searchParams.get("v");

// The worker asks which release a page is of before it drops a release's
// files, and tells each page when a new one is ready.
function heard({data, ports}) {
    if (data === "release?")
        ports[0]?.postMessage(RELEASE);
    else if (data?.release && data.release !== RELEASE)
        document.getElementById("nowa-wersja").hidden = false;
}

// Where the page is opened as a file there is no worker, and nothing to say.
// A page left open for days looks for a new release each time it is shown again.
if ("serviceWorker" in navigator) {
    navigator.serviceWorker.onmessage = heard;
    navigator.serviceWorker.register("service-worker.js").then(registration =>
        document.addEventListener("visibilitychange", () => document.hidden || registration.update().catch(() => {})),
    () => {});
}
