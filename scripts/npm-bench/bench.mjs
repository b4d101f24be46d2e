// kresovar's fold(string) beside the npm packages that transliterate, on the
// same Polish prose in one run: MB/s of UTF-8, median of 7 rounds with the
// lowest and highest. `npm install` here first (for the benchmark only).
import {createRequire} from "node:module";
import transliterateSindre from "@sindresorhus/transliterate";

const require = createRequire(import.meta.url);
const {fold} = require("../../docs/kresovar-lib.js");
const anyAscii = require("any-ascii").default ?? require("any-ascii");
const {transliterate} = require("transliteration");
const slugify = require("slugify");
const unidecode = require("unidecode");

// The words of fold/bench/fold_benchmark.cpp's prose, in lines of 60 to 100 characters.
const WORDS = ("w i na nie się że do jest to jak ale po od za tak przez był może już tylko dla czy bardzo który " +
    "jednak gdy także miasto rzeka dzień Polska słowo książka człowiek praca dobrze wszystko teraz potem " +
    "zawsze Kraków Łódź ZAŻÓŁĆ ten jego mieć woda szkoła droga ostatni nowy między kiedy").split(" ");
let seed = 1;
const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648);
const lines = [];
for (let size = 0; size < 10.8e6;) {
    let line = "";
    for (const length = 60 + random() % 41; line.length < length;)
        line += WORDS[random() % WORDS.length] + (random() % 12 === 0 ? ", " : " ");
    lines.push(line);
    size += Buffer.byteLength(line) + 1;
}
const prose = lines.join("\n");
const megabytes = Buffer.byteLength(prose) / 1e6;

const LETTERS = /[ąćęłńóśźżĄĆĘŁŃÓŚŹŻ]/g;
const PLAIN = Object.fromEntries([..."ąćęłńóśźżĄĆĘŁŃÓŚŹŻ"].map((letter, i) => [letter, "acelnoszzACELNOSZZ"[i]]));
const rows = [
    ["kresovar 1.0.0 `fold`", fold],
    ["a one-line regex replace of the 18", text => text.replace(LETTERS, letter => PLAIN[letter])],
    ["any-ascii 0.3.3", anyAscii],
    ["transliteration 2.6.1", transliterate],
    ["slugify 1.6.9", text => slugify(text, " ")],
    ["unidecode 1.1.0", unidecode],
    ["@sindresorhus/transliterate 2.3.1", transliterateSindre],
];
const sample = "Zażółć gęślą jaźń — ŁÓDŹ é ü č ß 😀\u00a0x";
console.log(`${megabytes.toFixed(1)} MB of Polish prose, Node ${process.version}\n`);
console.log("| package | result on the sample | MB/s, median (lowest–highest) |\n|---|---|---|");
for (const [name, call] of rows) {
    const speeds = [];
    for (let round = 0; round < 8; ++round) {
        const start = process.hrtime.bigint();
        call(prose);
        const seconds = Number(process.hrtime.bigint() - start) / 1e9;
        if (round > 0)  // the first warms up
            speeds.push(megabytes / seconds);
    }
    speeds.sort((a, b) => a - b);
    const shown = JSON.stringify(call(sample)).slice(1, -1);
    console.log(`| ${name} | \`${shown}\` | ${speeds[3].toFixed(0)} (${speeds[0].toFixed(0)}–${speeds[6].toFixed(0)}) |`);
}
