"use strict";
// A file chosen with the button or dropped on the page, folded as
// kresovar-fold folds it, and offered back under its own name. In a block of
// its own, so that its names stay out of the page's other scripts.
{
    const LABELS = {"utf-8": "UTF-8", "utf-16le": "UTF-16", "utf-16be": "UTF-16", "windows-1250": "Windows-1250",
                    "iso-8859-2": "ISO-8859-2", "ibm852": "CP852"};
    for (const page of ["windows-1250", "iso-8859-2", "ibm852"])
        LABELS["utf-8+" + page] = `UTF-8 i ${LABELS[page]}`;
    const NOT_UTF8 = ": to nie jest UTF-8";
    const UNKNOWN = ", a z samych bajtów nie da się poznać kodowania.";
    const WHICH = " W jakim kodowaniu jest ten plik?";
    const MIXES = ": plik miesza UTF-8 z ";
    const HOW = ". Jak go czytać?";
    const UNREAD = ": nie udało się odczytać pliku";
    const BINARY = ": to nie jest plik tekstowy, więc strona go nie zmienia.";
    const ONE = "Strona zmienia jeden plik naraz: upuść tylko jeden.";
    const FOLDER = ": to folder, a strona zmienia tylko pliki.";
    const section = document.getElementById("z-pliku");
    const chooser = document.getElementById("plik");
    const message = document.getElementById("plik-komunikat");
    const question = document.getElementById("plik-pytanie");
    const save = document.getElementById("plik-zapisz");
    const dropHere = document.getElementById("plik-upusc");

    // The result's address while it is offered, and the number of the latest file,
    // so that the slower fold of an earlier one cannot take its place.
    let offered = null;
    let latest = 0;

    // Runs the steps on the page's thread, in slices of at most SLICE ms with the
    // page's own work between them.
    const SLICE = 50;
    function inSlices(steps) {
        return new Promise((done, failed) => {
            const slice = () => {
                try {
                    const until = performance.now() + SLICE;
                    for (let step = steps.next(); ; step = steps.next()) {
                        if (step.done)
                            return done(step.value);
                        if (performance.now() >= until)
                            return setTimeout(slice);
                    }
                } catch (error) {
                    failed(error);
                }
            };
            slice();
        });
    }

    async function onPage(file, encoding) {
        return inSlices(foldFileBytes(new Uint8Array(await file.arrayBuffer()), encoding));
    }

    // In a worker, off the page's thread; where the page may start none (Chromium
    // refuses one to a page opened as a file), on the page's thread.
    function run(file, encoding) {
        let worker;
        try {
            worker = new Worker("byte-fold.js");
        } catch {
            return onPage(file, encoding);
        }
        return new Promise((done, failed) => {
            worker.onmessage = ({data}) => data.error ? failed(new Error(data.error)) : done(data);
            worker.onerror = event => {
                event.preventDefault();
                done(onPage(file, encoding));
            };
            worker.postMessage({file, encoding});
        }).finally(() => worker.terminate());
    }

    // 1 literę, 2–4 litery, 5–21 liter, 22–24 litery, and so on; 12–14 liter.
    function letters(count) {
        const ones = count % 10, tens = count % 100;
        const form = count === 1 ? "literę" : ones >= 2 && ones <= 4 && (tens < 12 || tens > 14) ? "litery" : "liter";
        return `${count.toLocaleString("pl-PL")} ${form}`;
    }

    function named(encodings) {
        return [...new Set(encodings.map(encoding => LABELS[encoding]))].join(" albo ");
    }

    function offer(name, result) {
        URL.revokeObjectURL(offered);
        offered = URL.createObjectURL(result.output);
        save.textContent = `Zapisz ${name}`;
        save.title = name;
        save.onclick = () => Object.assign(document.createElement("a"), {href: offered, download: name}).click();
        save.hidden = false;
        message.textContent = `${name}: ${named(result.encodings)}, zamieniono ${letters(result.letters)}`;
    }

    // A file that is not UTF-8 is not folded until the user chooses how to read
    // it: a button for each encoding, likeliest first, and no download till then.
    function ask(file, {encodings, readsAs, mixed, firstStray}) {
        const likely = readsAs.length ? `; wygląda na ${named(readsAs)}.` : UNKNOWN;
        message.textContent = mixed ? file.name + MIXES + named(readsAs) + HOW
            : `${file.name}${NOT_UTF8} (bajt ${firstStray})${likely}${WHICH}`;
        question.replaceChildren(...encodings.map(encoding => {
            const button = Object.assign(document.createElement("button"),
                                         {type: "button", textContent: LABELS[encoding]});
            button.addEventListener("click", () => foldChosen(file, encoding));
            return button;
        }));
        question.hidden = false;
    }

    async function foldChosen(file, encoding) {
        const turn = ++latest;
        question.hidden = save.hidden = true;
        message.textContent = `${file.name}: zamieniam litery…`;
        let result;
        try {
            result = await run(file, encoding);
        } catch (error) {
            result = {error};
        }
        if (turn !== latest)
            return;
        if (result.error)
            message.textContent = `${file.name}${UNREAD} (${result.error.message}).`;
        else if (result.binary)
            message.textContent = file.name + BINARY;
        else if (result.ask)
            ask(file, result);
        else
            offer(file.name, result);
    }

    const carriesFiles = event => event.dataTransfer.types.includes("Files");

    document.getElementById("plik-wybierz").addEventListener("click", () => chooser.click());
    chooser.addEventListener("change", () => {
        if (chooser.files.length)
            foldChosen(chooser.files[0]);
        chooser.value = "";  // the same file chosen again is news again
    });
    // A file dropped anywhere on the page; a text dropped into the text area stays the browser's.
    // While a file is over the page, the browser repeats dragover every 50 ms or so, and the page
    // says where it goes until they stop.
    let dragging;
    document.addEventListener("dragover", event => {
        if (!carriesFiles(event))
            return;
        event.preventDefault();
        event.dataTransfer.dropEffect = "copy";
        dropHere.hidden = false;
        clearTimeout(dragging);
        dragging = setTimeout(() => dropHere.hidden = true, 250);
    });
    document.addEventListener("drop", event => {
        dropHere.hidden = true;
        if (!carriesFiles(event))
            return;
        event.preventDefault();
        const {files, items} = event.dataTransfer;
        if (!files.length)
            return;
        section.scrollIntoView({block: "nearest"});
        // An earlier file's fold, still running, is not offered after this.
        ++latest;
        question.hidden = save.hidden = true;
        if (files.length > 1)
            message.textContent = ONE;
        else if (items[0]?.webkitGetAsEntry()?.isDirectory)
            message.textContent = files[0].name + FOLDER;
        else
            foldChosen(files[0]);
    });
}
