// drafts.js: the editor's texts kept in the browser: each tab's draft, kept
// across reloads, and the texts the editor held before something replaced
// them, newest first, each to be put back; every tab of the page shares the
// list, and tells the others' drafts from its own by a key of its own.
import {ByteString, BytesOfText, Hash} from "./bytes.js";
import {EditorText, EditorTextSoon, OnEditorChange, PutInEditor} from "./editor.js";

const kKeptKey = "zumbrel-kept";
const kMostKept = 10;
// An exported page keeps drafts of its own, and each tab its own draft:
// BASE.TAB. A draft stored before tabs had keys stands at BASE alone.
const exported = document.getElementById("exported").textContent;
const kDraftBase = "zumbrel-draft" + (exported ? "-" + Hash(exported) : "");
const kTabKey = "zumbrel-tab";
const draftList = document.getElementById("drafts");
const draftsSaid = document.getElementById("drafts-said");
const workshopSaid = document.getElementById("workshop-said");

let edited = false;     // the editor holds edits that are not kept yet
let draftKey = null;    // this tab's draft, once the tab has its key
const unstored = [];    // [{when, text}] put aside where storage could not take them, listed until the page closes
const putBack = [];     // told of each text put back

// The author's edits are kept a while after the last.
OnEditorChange((change) => {
  if (!change.typed) return;
  edited = true;
  KeepDraftSoon();
});

export function OnPutBack(tell) {
  putBack.push(tell);
}

function StoredKept() {
  try {
    const list = JSON.parse(localStorage.getItem(kKeptKey));
    return Array.isArray(list) ? list.filter((entry) => typeof entry.text === "string") : [];
  } catch (e) {
    return [];
  }
}

// Throws when storage cannot take the list.
function StoreKept(list) {
  localStorage.setItem(kKeptKey, JSON.stringify(list));
}

// What storage holds, as any tab last wrote it, and what it could not take.
function Listed() {
  const texts = new Set();
  return [...StoredKept(), ...unstored].sort((a, b) => b.when - a.when)
      .filter((entry) => !texts.has(entry.text) && texts.add(entry.text)).slice(0, kMostKept);
}

// Called before anything replaces the editor's text: a pending draft is
// written with the text it was for, and edits not kept yet go in the list.
export function KeepEditorText() {
  FlushDraft();
  if (!edited) return;
  edited = false;
  AddKept(EditorText());
}

// Puts a maze's bytes in the editor, the text they replace kept first; no
// draft is kept of a maze that came whole.
export function PutMazeInEditor(bytes) {
  KeepEditorText();
  PutInEditor(ByteString(bytes));
  edited = false;
}

// Puts a draft in the editor, the text it replaces kept first.
export function PutDraftInEditor(text) {
  KeepEditorText();
  PutInEditor(text);
  edited = true;
}

// A text kept again moves to the top of the list. One that storage cannot
// take is listed until the page is closed, and the older ones stay stored.
function AddKept(text) {
  const entry = {when: Date.now(), text: text};
  Unlist(text);
  try {
    StoreKept([entry, ...StoredKept().filter((kept) => kept.text !== text)].slice(0, kMostKept));
    draftsSaid.textContent = "";
  } catch (e) {
    unstored.push(entry);
    draftsSaid.textContent = "The browser's storage cannot take this text of " + text.length +
                             " characters: it is listed until the page is closed. Save it to keep it.";
  }
  ShowKept();
}

function Unlist(text) {
  const at = unstored.findIndex((entry) => entry.text === text);
  if (at >= 0) unstored.splice(at, 1);
}

function ForgetKept(text) {
  Unlist(text);
  const stored = StoredKept(), left = stored.filter((entry) => entry.text !== text);
  if (left.length === stored.length) return;
  try {
    StoreKept(left);
  } catch (e) {
  }
}

// Each kept text: when it was kept, its first line and its size.
function ShowKept() {
  draftList.textContent = "";
  for (const entry of Listed()) {
    const item = document.createElement("li");
    const firstLine = entry.text.split("\n", 1)[0];
    const shown = firstLine.length > 40 ? firstLine.slice(0, 40) + "…" : firstLine;
    item.textContent = new Date(entry.when).toLocaleString() + ", " + JSON.stringify(shown) + ", " +
                       BytesOfText(entry.text).length + " bytes ";
    const button = document.createElement("button");
    button.textContent = "Put back";
    button.addEventListener("click", (event) => PutBack(event, entry.text));
    item.append(button);
    draftList.append(item);
  }
}

// The kept text goes back in the editor, and the editor's text is kept in
// its place. The second click of a double click lands on the list drawn
// anew, and does nothing.
function PutBack(event, text) {
  if (event.detail > 1 || !Listed().some((entry) => entry.text === text)) return;
  ForgetKept(text);
  FlushDraft();
  AddKept(EditorText());
  PutInEditor(text);
  edited = true;
  KeepDraft();
  for (const tell of putBack) tell();
}

// The draft is kept a while after the last edit, and as the page is hidden
// or left. Keeping a large one holds up the page for a moment, which is
// better spent apart from the check's start and from typing.
const kDraftPause = 2000;
let draftTimer = 0;  // set while an edit is not kept yet
function KeepDraftSoon() {
  clearTimeout(draftTimer);
  draftTimer = setTimeout(KeepDraft, kDraftPause);
}

// Where storage is full, the oldest texts put aside make room, and stay
// listed until the page is closed. The text is read a slice at a time; one
// that changed while it was read is kept by the next draft.
export async function KeepDraft() {
  clearTimeout(draftTimer);
  draftTimer = 0;
  if (!draftKey) return;
  const start = performance.now();
  const text = await EditorTextSoon();
  // Marked for whoever measures the page: the text read for the draft, and
  // the draft stored.
  performance.measure("zumbrel-draft-text", {start: start});
  if (text === null) return;
  const stored = performance.now();
  StoreDraft(text);
  performance.measure("zumbrel-draft-store", {start: stored});
}

// The draft is tried as things stand, then with every text put aside out of
// storage, so that a draft too large for storage is tried twice at most,
// and one as long or longer is not tried again; where it fits so, the
// newest texts put aside go back while they fit.
let refusedLength = Infinity;
function StoreDraft(text) {
  const Store = () => {
    try {
      localStorage.setItem(draftKey, text);
      return true;
    } catch (e) {
      return false;
    }
  };
  if (text.length >= refusedLength) return SayTooLarge();
  if (Store()) return;
  const stored = StoredKept();
  let kept = 0;
  try {
    StoreKept([]);
  } catch (e) {
  }
  if (!Store()) {
    try {
      StoreKept(stored);
    } catch (e) {
    }
    refusedLength = text.length;
    return SayTooLarge();
  }
  try {
    for (; kept < stored.length; kept++) StoreKept(stored.slice(0, kept + 1));
  } catch (e) {
  }
  if (kept === stored.length) return;
  const went = stored.length - kept;
  unstored.push(...stored.slice(kept));
  draftsSaid.textContent = "The browser's storage is full: to keep the draft, " + (went === 1 ?
      "the oldest text put aside is no longer stored, and is" : "the " + went + " oldest texts put aside are " +
      "no longer stored, and are") + " listed until the page is closed.";
  ShowKept();
}

// A draft not kept yet is kept at once, as the page is hidden or left, or
// before the text is replaced.
function FlushDraft() {
  if (!draftTimer || !draftKey) return;
  clearTimeout(draftTimer);
  draftTimer = 0;
  StoreDraft(EditorText());
}

function SayTooLarge() {
  workshopSaid.textContent = "This maze is too large to keep as a draft in the browser: Save it to keep it.";
}

export function Draft() {
  try {
    return draftKey && localStorage.getItem(draftKey);
  } catch (e) {
    return null;
  }
}

export function ClearDraft() {
  clearTimeout(draftTimer);
  draftTimer = 0;
  try {
    if (draftKey) localStorage.removeItem(draftKey);
  } catch (e) {
  }
}

// The tab's key stands in its session, so that a reload finds its draft,
// and names a lock it holds for its life, so that other tabs can tell it is
// there. A tab copied with its session takes a key of its own. Drafts of
// tabs that are gone are put aside.
export async function ClaimTab() {
  let tab = null;
  try {
    tab = sessionStorage.getItem(kTabKey);
  } catch (e) {
  }
  if (!tab || !(await HoldLock(tab))) {
    tab = Date.now().toString(36) + Math.random().toString(36).slice(2);
    await HoldLock(tab);
    try {
      sessionStorage.setItem(kTabKey, tab);
    } catch (e) {
    }
  }
  draftKey = kDraftBase + "." + tab;
  await PutAsideGoneDrafts(tab);
  ShowKept();
}

// True once held, or where the browser has no locks to hold; false where
// another tab holds it.
function HoldLock(tab) {
  if (!navigator.locks) return Promise.resolve(true);
  return new Promise((held) => navigator.locks.request(kTabKey + "." + tab, {ifAvailable: true}, (lock) => {
    held(lock !== null);
    return lock && new Promise(() => {});
  }).catch(() => held(true)));
}

// Without locks, every other tab's draft is taken as gone: put aside, it is
// listed, and its tab writes it again with its next edit.
async function PutAsideGoneDrafts(tab) {
  try {
    const held = navigator.locks ? (await navigator.locks.query()).held.map((lock) => lock.name) : [];
    const live = new Set([...held, kTabKey + "." + tab]);
    for (const key of Object.keys(localStorage)) {
      const owner = key.startsWith(kDraftBase + ".") ? key.slice(kDraftBase.length + 1) : null;
      if (key !== kDraftBase && (owner === null || live.has(kTabKey + "." + owner))) continue;
      AddKept(localStorage.getItem(key));
      localStorage.removeItem(key);
    }
  } catch (e) {
  }
}

window.addEventListener("pagehide", FlushDraft);
document.addEventListener("visibilitychange", () => { if (document.hidden) FlushDraft(); });
// Another tab's list, as it writes it.
window.addEventListener("storage", (event) => {
  if (event.key === kKeptKey || event.key === null) ShowKept();
});
