// Quellix content script: remembers the user's last click in this frame, and
// tells the service worker about it when a window opens from here. A click
// counts once: the window it opened uses it up.
"use strict";

let lastClick = null;

function opensNewWindow(link, event) {
    // A link's context menu offers to open it in a new tab or window.
    if (event.type === "contextmenu") {
        return true;
    }
    if (event.ctrlKey || event.shiftKey || event.metaKey || event.button === 1) {
        return true; // the browser opens any link in a new tab or window this way
    }
    const base = document.querySelector("base[target]");
    const target = (link.getAttribute("target") || (base && base.getAttribute("target")) || "")
        .toLowerCase();
    return target !== "" && target !== "_self" && target !== "_parent" && target !== "_top";
}

function remember(event) {
    // Only the user's own clicks: a page's scripted click() is not trusted.
    if (!event.isTrusted) {
        return;
    }
    const element = event.target instanceof Element ? event.target : null;
    const link = element ? element.closest("a[href], area[href]") : null;
    lastClick = {
        element: element ? element.tagName : "",
        link: link !== null,
        newWindow: link !== null && opensNewWindow(link, event),
        at: Date.now(),
        ctrl: event.ctrlKey,
        shift: event.shiftKey,
        alt: event.altKey,
    };
}

// In the capture phase of the window, so the click is known before any
// handler of the page opens a window from it.
window.addEventListener("click", remember, true);
window.addEventListener("auxclick", remember, true);
window.addEventListener("contextmenu", remember, true);

chrome.runtime.onMessage.addListener((message, sender, sendResponse) => {
    if (!message || message.type !== "quellix.lastClick") {
        return;
    }
    let click = null;
    if (lastClick) {
        const { at, ...facts } = lastClick;
        click = { ...facts, ageMs: Math.max(0, Date.now() - at) };
        lastClick = null;
    }
    sendResponse({ click });
});
