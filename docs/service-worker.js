"use strict";

// The page's own files and nothing else, each with its hash: the release is
// known by its content. The page's Content-Security-Policy does not bind this
// worker, so this list is what keeps it to its own origin.
// Written by scripts/page_release.py, which a test runs with --check.
const RELEASE = "6763c30210158c74";
const FILES = {
    "index.html": "bd30c9791ae20177",
    "kresovar.svg": "a7115afca050499c",
    "kresovar.css": "b424be7b7e8f9f5b",
    "kresovar.webmanifest": "6449e01f93ca4b22",
    "kresovar.js": "288c594aa05ff490",
    "code-pages.js": "e23db59954507140",
    "byte-fold.js": "50a95c78c46dd869",
    "kresovar-lib.js": "b7199036f772793f",
    "file-fold.js": "ff923415f22c5b7a",
    "screenshot.png": "9969a8381b8749e5",
    "screenshot-windows.png": "228dffc87d772b5b",
    "kresovar-192.png": "2ed268bcc5ad4df5",
    "kresovar-512.png": "8ac891c7f77f37a6",
    "kresovar-maskable.png": "3c94ee5280846f30"
};

// One cache for each release. A page asks for its files with its release's tag
// (?v=), and is answered from that release's cache alone, as are its workers.
const PREFIX = "kresovar-";
const CACHE = PREFIX + RELEASE;
const scope = name => new URL(name, self.registration.scope).href;
const OWN = new Map(Object.keys(FILES).map(name => [scope(name), name]));
OWN.set(scope("./"), "index.html");

async function hashOf(name, response) {
    let bytes = await response.arrayBuffer();
    // index.html is hashed with its own tags left empty.
    if (name === "index.html")
        bytes = new TextEncoder().encode(new TextDecoder("utf-8", {ignoreBOM: true}).decode(bytes)
            .replaceAll(`?v=${RELEASE}`, "?v="));
    const hash = new Uint8Array(await crypto.subtle.digest("SHA-256", bytes));
    return Array.from(hash.subarray(0, 8), byte => byte.toString(16).padStart(2, "0")).join("");
}

// Past the browser's own cache, which keeps a file sent with no Cache-Control
// fresh for a tenth of its age; the tag passes any other cache on the way.
async function arrived(name) {
    const response = await fetch(new Request(`${scope(name)}?v=${RELEASE}`, {cache: "no-cache"}));
    if (!response.ok || await hashOf(name, response.clone()) !== FILES[name])
        throw new Error(`${name}: not this release's`);
    return response;
}

// Every file, each as this release wrote it, or none: a failed install leaves
// no part of its cache, and the release before it as it was. A worker changed
// alone is of the release it replaces, whose cache, whole already, it keeps.
async function install() {
    const had = await caches.has(CACHE);
    try {
        const responses = await Promise.all(Object.keys(FILES).map(arrived));
        const cache = await caches.open(CACHE);
        await Promise.all(Object.keys(FILES).map((name, i) => cache.put(scope(name), responses[i])));
    } catch (error) {
        if (!had)
            await caches.delete(CACHE);
        throw error;
    }
}

self.addEventListener("install", event => event.waitUntil(install().then(() => self.skipWaiting())));

// The release each open page was loaded from, as the page says it; null if
// one does not say within a second (a page of a release before tags, or busy).
async function openReleases() {
    const pages = await self.clients.matchAll({type: "window", includeUncontrolled: true});
    return Promise.all(pages.map(page => new Promise(done => {
        const channel = new MessageChannel();
        channel.port1.onmessage = ({data}) => done(data);
        setTimeout(done, 1000, null);
        page.postMessage("release?", [channel.port2]);
    })));
}

// An older release's cache goes once no page of it is open.
async function dropUnused() {
    const old = (await caches.keys()).filter(name => name.startsWith(PREFIX) && name !== CACHE);
    if (!old.length)
        return;
    const open = await openReleases();
    if (open.includes(null))
        return;
    await Promise.all(old.filter(name => !open.includes(name.slice(PREFIX.length))).map(name => caches.delete(name)));
}

// Pages of an older release learn that a new one is ready.
async function announce() {
    for (const page of await self.clients.matchAll({type: "window", includeUncontrolled: true}))
        page.postMessage({release: RELEASE});
}

self.addEventListener("activate", event => event.waitUntil(
    self.clients.claim().then(() => Promise.all([announce(), dropUnused()]))));

// A page opened (a shared text too) is this release's; a file asked for with a
// tag is that release's, from its cache; the manifest's icons are this release's.
// Nothing is fetched again behind the page: a new release comes whole, as a new worker.
self.addEventListener("fetch", event => {
    const url = new URL(event.request.url);
    const path = url.origin + url.pathname;
    const name = OWN.get(path);
    const navigation = event.request.mode === "navigate";
    const tag = navigation ? null : url.searchParams.get("v");
    // A file an older release's page asks for may be one that this release no longer has.
    if (event.request.method !== "GET" || !name && (tag === null || !path.startsWith(self.registration.scope)))
        return;
    const release = tag !== null ? PREFIX + tag : CACHE;
    if (navigation)
        event.waitUntil(dropUnused());
    event.respondWith(caches.match(name ? scope(name) : path, {cacheName: release})
        .then(cached => cached || fetch(event.request)));
});
