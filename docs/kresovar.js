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

// Returns the text with each unit below the table's length replaced by its
// entry, as a string of its own: a slice would keep the whole text it was cut from.
function mapped(text, table) {
    const units = new Uint16Array(PIECE);
    const pieces = [];
    for (let at = 0; at < text.length; at += PIECE) {
        const count = Math.min(PIECE, text.length - at);
        for (let i = 0; i < count; ++i) {
            const unit = text.charCodeAt(at + i);
            units[i] = unit < table.length ? table[unit] : unit;
        }
        pieces.push(String.fromCharCode.apply(null, count === PIECE ? units : units.subarray(0, count)));
    }
    return pieces.join("");
}

// Returns the text with each of the 18 letters replaced by its plain letter;
// every other code unit, a lone surrogate too, stays where it was.
const foldText = text => mapped(text, LOOKUP);
const copied = text => mapped(text, []);

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

// The text as a text area keeps it, which the steps' offsets count in.
const kept = text => text.replace(/\r\n?/g, "\n");

function outgoing(text) {
    return lineBreak === "\r\n" ? text.replace(/\n/g, "\r\n") : text;
}

// A line with no space to break at takes the browser time that grows with the
// square of its length (over a minute for a million letters), and under a
// second where it may break anywhere; so a text with such a run breaks
// anywhere. Only a space, a tab or a line break ends a run: the browser breaks
// no line at a control character.
const UNBROKEN = 1000;

function hasLongRun(text) {
    let run = 0;
    for (let i = 0; i < text.length; ++i) {
        const unit = text.charCodeAt(i);
        run = unit === 0x20 || unit === 0x0A || unit === 0x09 || unit === 0x0D ? 0 : run + 1;
        if (run > UNBROKEN)
            return true;
    }
    return false;
}

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

// The page keeps its own record of edits for Ctrl+Z and redo, and takes every
// undo and redo from the browser: the browser's editing, which would keep it,
// takes time that grows with the square of the line breaks a write holds (25 s
// for 3,750), so the page writes a text plainly. Each step holds the changes
// it made, as the units removed and inserted at an offset, and the selection
// and line-break form on both sides. What the steps hold is bounded by KEPT,
// the oldest going first; a step larger than that cannot be taken back.
const KEPT = {steps: 10_000, units: 128 * 1024 * 1024};
const record = {undo: [], redo: [], units: 0, shown: "", before: null, open: false};

const unitsOf = step => step.changes.reduce((sum, {removed, inserted}) => sum + removed.length + inserted.length, 0);

// A slice keeps the whole text it was cut from, so one much shorter than that
// text is copied: a step of a few units keeps no text of millions.
const own = (piece, whole) => piece.length * 2 < whole.length ? copied(piece) : piece;

// What changed between two texts: the units between their common start and end.
function changeOf(from, to) {
    const most = Math.min(from.length, to.length);
    let start = 0, end = 0;
    while (start < most && from.charCodeAt(start) === to.charCodeAt(start))
        ++start;
    while (end < most - start && from.charCodeAt(from.length - 1 - end) === to.charCodeAt(to.length - 1 - end))
        ++end;
    return {at: start, removed: own(from.slice(start, from.length - end), from),
            inserted: own(to.slice(start, to.length - end), to)};
}

const applied = (text, {at, removed, inserted}) => text.slice(0, at) + inserted + text.slice(at + removed.length);
const reversed = ({at, removed, inserted}) => ({at, removed: inserted, inserted: removed});

function forget(steps, count) {
    for (const step of steps.splice(0, count))
        record.units -= step.units;
}

// Typing goes back as one step, as the browser's own undo takes it: a change
// that adds to the last typed one where it ended, or a deletion that goes on
// from where the last one stopped; and an IME's composition, which moves the
// selection over what it composes, as one. The caret moved by keys, a click or
// an undo, or a new composition, ends the step.
const TYPING = /^insert(Text|CompositionText|LineBreak|Paragraph)$/, DELETING = /^delete(Content|Word)(Backward|Forward)$/;
const MOVING = /^(Arrow|Page)|^(Home|End)$/;

function joined(last, kind, change, before) {
    const previous = record.open && last?.changes.length === 1 && last.kind === kind
        && (last.after.caret === before.caret || kind === "insertCompositionText") && last.changes[0];
    if (!previous)
        return null;
    const {at, removed, inserted} = previous;
    if (TYPING.test(kind) && change.at >= at && change.at + change.removed.length <= at + inserted.length)
        return {at, removed, inserted: applied(inserted, {...change, at: change.at - at})};
    if (!DELETING.test(kind) || inserted || change.inserted)
        return null;
    if (change.at + change.removed.length === at)
        return {at: change.at, removed: change.removed + removed, inserted};
    return change.at === at ? {at, removed: removed + change.removed, inserted} : null;
}

function endTyping(event) {
    if (event.type !== "keydown" || MOVING.test(event.key))
        record.open = false;
}

// Adds a step that went from `before` to the text shown now, `after`.
function remember(kind, changes, before, after) {
    forget(record.redo, record.redo.length);
    const last = record.undo.at(-1);
    const join = changes.length === 1 && joined(last, kind, changes[0], before);
    // A text moved within the text area goes back in one step too.
    const merged = join ? [join] : kind === "insertFromDrop" && last?.kind === "deleteByDrag"
        ? [...last.changes, ...changes] : null;
    if (merged) {
        record.units -= last.units;
        record.undo.pop();
        [changes, before] = [merged, last.before];
    }
    const step = {kind, changes, before, after, units: 0};
    step.units = unitsOf(step);
    if (step.units > KEPT.units) {
        forget(record.undo, record.undo.length);
        message.textContent += (message.textContent && " ") + FOR_GOOD;
        return;
    }
    record.undo.push(step);
    record.units += step.units;
    record.open = true;
    while (record.units > KEPT.units || record.undo.length > KEPT.steps)
        forget(record.undo, 1);
}

// The selection and line-break form the steps keep on each side of a change.
const state = (caret = area.selectionStart, end = caret) => ({caret, end, form: lineBreak});

// Shows a text, with the long-line class decided before the browser lays it out.
function show(text) {
    const anywhere = hasLongRun(text);
    if (anywhere)
        breakAnywhere(true);
    area.value = text;
    record.shown = text;
    breakAnywhere(anywhere);
}

// Replaces the whole text, as one step that Ctrl+Z takes back, from the state
// `before`, and leaves the caret at `caret`.
function replaceText(text, caret, before, shown = area.value) {
    const change = changeOf(shown, text);
    show(text);
    if (change.removed || change.inserted)
        remember("command", [change], before, state(caret));
    placeCaret(caret);
}

// Ctrl+Z or redo: the step's changes, taken back in turn, or made again.
function travel(undo) {
    const [from, to] = undo ? [record.undo, record.redo] : [record.redo, record.undo];
    const step = from.pop();
    if (!step)
        return;
    to.push(step);
    record.open = false;
    const changes = undo ? step.changes.map(reversed).reverse() : step.changes;
    show(changes.reduce(applied, area.value));
    const {caret, end, form} = undo ? step.before : step.after;
    lineBreak = form;
    placeCaret(caret, end);
}

// The browser's own undo and redo, by keys or by its menu, are the page's,
// wherever the focus is but in another field.
function undoKeys(event) {
    const key = event.key.toLowerCase();
    if (event.altKey || event.isComposing || !(key === "z" && (event.ctrlKey || event.metaKey) || key === "y" && event.ctrlKey)
        || event.target !== area && event.target.matches("input, textarea, [contenteditable]"))
        return;
    event.preventDefault();
    travel(key === "z" && !event.shiftKey);
}

// The state before an edit of the browser's, unless a paste or a drop has already
// taken it (before it changed the line-break form); an edit that changed nothing
// (Backspace at the start) leaves none for the next.
function beforeEdit(event) {
    if (event.inputType.startsWith("history")) {
        event.preventDefault();
        travel(event.inputType === "historyUndo");
    } else {
        record.shown = area.value;
        if (!event.inputType.startsWith("insertFrom") || !record.before)
            record.before = state(area.selectionStart, area.selectionEnd);
    }
}

// Typing, a cut or a delete in a text with no long run joins at most two runs
// and what is typed, which lays out quickly; pastes and drops are decided as
// they come, so the class follows the text here.
function afterEdit(event) {
    const text = area.value;
    breakAnywhere(hasLongRun(text));
    const change = changeOf(record.shown, text);
    record.shown = text;
    const before = record.before ?? state(change.at, change.at + change.removed.length);
    record.before = null;
    if (change.removed || change.inserted)
        remember(event.inputType, [change], before, state(area.selectionStart, area.selectionEnd));
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
    const before = state(area.selectionStart, area.selectionEnd);
    rememberLineBreaks(text, true);
    text = kept(text);
    replaceText(text, text.length, before);
}

function removeDiacritics() {
    const before = state(area.selectionStart, area.selectionEnd);
    const scroll = area.scrollTop;
    const text = area.value;
    const folded = foldText(text);
    if (folded !== text)
        replaceText(folded, before.caret, before, text);
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
// takes back.
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
    replaceText(foldText(kept(text)), 0, before);
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
    if (!text)
        return;
    record.before = state(area.selectionStart, area.selectionEnd);
    rememberLineBreaks(text, !left.includes("\n") && !right.includes("\n"));
    if (hasLongRun(left + text + right))
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
document.addEventListener("keydown", undoKeys);
area.addEventListener("beforeinput", beforeEdit);
area.addEventListener("input", afterEdit);
for (const type of ["keydown", "pointerdown", "focus", "compositionstart"])
    area.addEventListener(type, endTyping);
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
