// Quellix service worker. It sees every window and tab that a page opens,
// sends the facts of each to the Quellix bridge (qlxhost.exe, a native
// messaging host) and carries out the bridge's verdict: a pop-up to block is
// closed at once, one let through may be turned into a normal window. The
// worker decides nothing itself; without the bridge every window stays open.
"use strict";

const HOST = "com.quellix.bridge";
const BROWSER = navigator.userAgent.includes(" Edg/") ? "edge" : "chrome";
// The first question may start the bridge; a verdict later than this is moot.
const ANSWER_LIMIT_MS = 10000;
// A popup window also arrives as a navigation target; this long is left for that.
const POPUP_GRACE_MS = 250;
const RECENT_LIMIT = 100;

const asked = new Set(); // tab ids already judged
// The latest verdicts, newest last, for a look from the developer tools.
self.recentVerdicts = [];

// --- The bridge ---------------------------------------------------------------

let port = null;
let nextId = 1;
const waiting = new Map(); // question id -> resolve

function connect() {
    port = chrome.runtime.connectNative(HOST);
    port.onMessage.addListener((reply) => {
        const resolve = waiting.get(reply && reply.id);
        if (resolve) {
            waiting.delete(reply.id);
            resolve(reply);
        } else if (reply && reply.error) {
            console.warn("Quellix bridge:", reply.error);
        }
    });
    port.onDisconnect.addListener(() => {
        const why = chrome.runtime.lastError ? chrome.runtime.lastError.message : "closed";
        port = null;
        for (const resolve of waiting.values()) {
            resolve({ error: "bridge unavailable: " + why });
        }
        waiting.clear();
    });
}

function ask(question) {
    return new Promise((resolve) => {
        try {
            if (!port) {
                connect();
            }
            waiting.set(question.id, resolve);
            port.postMessage(question);
        } catch (e) {
            waiting.delete(question.id);
            resolve({ error: "bridge unavailable: " + e.message });
            return;
        }
        setTimeout(() => {
            if (waiting.delete(question.id)) {
                resolve({ error: "no answer from the bridge" });
            }
        }, ANSWER_LIMIT_MS);
    });
}

// --- The facts of a new window ----------------------------------------------------

async function lastClickIn(tabId, frameId) {
    if (tabId === undefined || tabId < 0) {
        return null;
    }
    try {
        const answer = await chrome.tabs.sendMessage(tabId, { type: "quellix.lastClick" },
                                                     { frameId: frameId || 0 });
        return answer && answer.click ? answer.click : null;
    } catch (e) {
        return null; // no content script there (a browser page, or not loaded yet)
    }
}

function windowFacts(win) {
    return {
        type: win && win.type === "popup" ? "popup" : "normal",
        left: win && Number.isInteger(win.left) ? win.left : 0,
        top: win && Number.isInteger(win.top) ? win.top : 0,
        width: win && Number.isInteger(win.width) ? win.width : 0,
        height: win && Number.isInteger(win.height) ? win.height : 0,
    };
}

async function judge(tabId, target, sourceTabId, sourceFrameId) {
    if (asked.has(tabId)) {
        return;
    }
    asked.add(tabId);
    const started = Date.now();
    const tab = await chrome.tabs.get(tabId).catch(() => null);
    if (!tab) {
        return;
    }
    const [opener, win, click] = await Promise.all([
        sourceTabId >= 0 ? chrome.tabs.get(sourceTabId).catch(() => null) : tab,
        chrome.windows.get(tab.windowId, { populate: true }).catch(() => null),
        lastClickIn(sourceTabId, sourceFrameId),
    ]);
    const question = {
        id: nextId++,
        browser: BROWSER,
        opener: { title: (opener && opener.title) || "", url: (opener && opener.url) || "" },
        target: target || tab.pendingUrl || tab.url || "",
        click,
        window: windowFacts(win),
    };
    const asking = Date.now();
    const reply = await ask(question);
    const answered = Date.now();
    await carryOut(reply, tab, win);
    remember(question, reply, { facts: asking - started, bridge: answered - asking,
                                total: Date.now() - started });
}

// --- The verdict ------------------------------------------------------------------

async function carryOut(reply, tab, win) {
    const popup = win && win.type === "popup";
    try {
        if (reply.verdict === "block") {
            if (popup && win.tabs && win.tabs.length === 1) {
                await chrome.windows.remove(win.id);
            } else {
                await chrome.tabs.remove(tab.id);
            }
        } else if (reply.verdict === "allow" && popup) {
            if (reply.normalWindow) {
                // A window keeps its type: the tab moves into a normal one.
                await chrome.windows.create(
                    reply.maximise ? { tabId: tab.id, state: "maximized" } : { tabId: tab.id });
            } else if (reply.maximise) {
                await chrome.windows.update(win.id, { state: "maximized" });
            }
        }
    } catch (e) {
        console.warn("Quellix: the verdict could not be carried out:", e.message);
    }
}

function remember(question, reply, ms) {
    const entry = {
        id: question.id,
        target: question.target,
        verdict: reply.verdict || "allow",
        reason: reply.reason || reply.error || "",
        normalWindow: !!reply.normalWindow,
        maximise: !!reply.maximise,
        ms,
    };
    console.log(`Quellix: ${entry.verdict} ${entry.target} (${entry.reason})`);
    self.recentVerdicts.push(entry);
    if (self.recentVerdicts.length > RECENT_LIMIT) {
        self.recentVerdicts.shift();
    }
}

// --- Where new windows come from ----------------------------------------------------

chrome.webNavigation.onCreatedNavigationTarget.addListener((details) => {
    judge(details.tabId, details.url, details.sourceTabId, details.sourceFrameId);
});

chrome.windows.onCreated.addListener((win) => {
    if (win.type !== "popup") {
        return;
    }
    setTimeout(async () => {
        const tabs = await chrome.tabs.query({ windowId: win.id }).catch(() => []);
        for (const tab of tabs) {
            const opener = tab.openerTabId !== undefined ? tab.openerTabId : -1;
            judge(tab.id, tab.pendingUrl || tab.url, opener, 0);
        }
    }, POPUP_GRACE_MS);
});

chrome.tabs.onRemoved.addListener((tabId) => asked.delete(tabId));
