// The npm package's script over the cases of fold/'s tests and the look at an
// encoding; KRESOVAR_SCRIPT names the script, the page's own by default.
import assert from "node:assert/strict";
import {readFileSync} from "node:fs";
import {createRequire} from "node:module";
import test from "node:test";

const here = new URL(".", import.meta.url);
const {fold, foldBytes, detect} = createRequire(import.meta.url)(
    process.env.KRESOVAR_SCRIPT || new URL("../../docs/kresovar-lib.js", here).pathname);
const ESCAPES = {r: [13], n: [10], t: [9], "\\": [92]};

const unescape = field => Uint8Array.from(field.split(/(\\x[0-9a-f]{2}|\\.)/).flatMap(part =>
    part.startsWith("\\x") ? [parseInt(part.slice(2), 16)] : part.startsWith("\\") ? ESCAPES[part[1]]
        : [...Buffer.from(part)]));
const table = name => readFileSync(new URL(name, here), "utf8").split("\n")
    .filter(line => line && !line.startsWith("#")).map(line => line.split("\t"));
const utf8 = bytes => new TextDecoder("utf-8", {fatal: true}).decode(bytes);

test("each case folds in its encoding, and by the strict rule where it is recognised", async t => {
    for (const [name, encoding, flags, text, expected] of table("fold_cases.txt").map(
        ([name, encoding, flags, text, expected]) => [name, encoding, flags, unescape(text), unescape(expected)])) {
        await t.test(name, () => {
            if (flags === "-")
                assert.deepEqual(foldBytes(text, encoding), expected);
            const found = detect(text);
            if (!["utf-8", "utf-16le", "utf-16be"].includes(found.encoding))
                assert.throws(() => foldBytes(text), error => assert.deepEqual({...error}, found) ?? true);
            else if (found.encoding === encoding && flags === "-") {
                assert.deepEqual(foldBytes(text), expected);
                if (encoding === "utf-8")
                    assert.equal(fold(utf8(text)), utf8(expected));
            }
        });
    }
});

test("each look at an encoding", async t => {
    for (const [name, verdict, pages, text, firstBad] of table("detect_cases.txt")) {
        await t.test(name, () => {
            const found = detect(unescape(text));
            assert.deepEqual({...found, reason: Boolean(found.reason)}, {
                encoding: verdict === "code-page" ? pages : verdict, pages: pages === "-" ? [] : [pages],
                firstBad: firstBad === "-" ? null : Number(firstBad), reason: true});
        });
    }
});

test("a string keeps its length and its lone surrogates, and an unchanged one is the same", () => {
    assert.equal(fold("\ud801ł\udc05ŻÓŁW"), "\ud801l\udc05ZOLW");
    const plain = "żaden".slice(1).repeat(1000);
    assert.equal(fold(plain), plain);
    const bytes = new Uint8Array([97]);
    assert.notEqual(foldBytes(bytes, "utf-8"), bytes, "a copy");
    assert.throws(() => foldBytes(bytes, "latin-1"), RangeError);
    assert.throws(() => fold(bytes), TypeError);
    assert.throws(() => detect("Zażółć"), TypeError);
});
