"use strict";

// The page's own files and nothing else. The page's Content-Security-Policy
// does not bind this worker, so this list is what keeps it to its own origin.
const FILES = ["./", "index.html", "kresovar.css", "kresovar.js", "kresovar.svg", "kresovar.webmanifest",
               "kresovar-192.png", "kresovar-512.png", "kresovar-maskable.png", "file-fold.js", "byte-fold.js", "kresovar-lib.js",
               "code-pages.js", "screenshot.png", "screenshot-windows.png"];
const OWN = FILES.map(file => new URL(file, self.registration.scope).href);
// One cache for each release, so that a worker never answers with another release's files.
const CACHE = "kresovar-1.00";

// Past the browser's own cache: it keeps a file sent with no Cache-Control as
// fresh for a tenth of its age, months for a file a few years old.
function fresh(url) {
    return new Request(url, {cache: "no-cache"});
}

self.addEventListener("install", event => {
    event.waitUntil(caches.open(CACHE).then(cache => cache.addAll(OWN.map(fresh))).then(() => self.skipWaiting()));
});

self.addEventListener("activate", event => event.waitUntil(caches.keys()
    .then(names => Promise.all(names.filter(name => name !== CACHE).map(name => caches.delete(name))))
    .then(() => self.clients.claim())));

// Answers from the cache at once and refreshes it from the network behind,
// so the page opens offline and shows a new version on the next visit.
self.addEventListener("fetch", event => {
    const url = new URL(event.request.url);
    const file = url.origin + url.pathname;
    if (event.request.method !== "GET" || !OWN.includes(file))
        return;
    event.respondWith(caches.open(CACHE).then(async cache => {
        const cached = await cache.match(file);
        const update = fetch(fresh(file)).then(response => {
            if (response.ok)
                cache.put(file, response.clone());
            return response;
        });
        if (!cached)
            return update;
        event.waitUntil(update.catch(() => undefined));
        return cached;
    }));
});
