// drafts.js: the texts the editor held before something replaced them,
// newest first, kept across reloads, each to be put back.

const kKeptKey = "zumbrel-kept";
const kMostKept = 10;
const draftList = document.getElementById("drafts");
const draftsSaid = document.getElementById("drafts-said");

let edited = false;  // the editor holds edits that are not kept yet
let kept = StoredKept();  // [{when, text}], newest first

function StoredKept() {
  try {
    const list = JSON.parse(localStorage.getItem(kKeptKey));
    return Array.isArray(list) ? list.filter((entry) => typeof entry.text === "string") : [];
  } catch (e) {
    return [];
  }
}

// Called before anything replaces the editor's text: a pending draft is
// written with the text it was for, and edits not kept yet go in the list.
function KeepEditorText() {
  FlushDraft();
  if (!edited || heldMaze) return;
  edited = false;
  AddKept(editor.value);
}

// A text kept again moves to the top of the list.
function AddKept(text) {
  kept = kept.filter((entry) => entry.text !== text);
  kept.unshift({when: Date.now(), text: text});
  kept.length = Math.min(kept.length, kMostKept);
  StoreKept();
  ShowKept();
}

// The list in local storage; when it is full, the oldest go first, and
// the page says so. A text too large to store alone stays listed until the
// page is closed.
function StoreKept() {
  let dropped = 0;
  for (;;) {
    try {
      localStorage.setItem(kKeptKey, JSON.stringify(kept));
      break;
    } catch (e) {
      if (kept.length <= 1) {
        draftsSaid.textContent = "The browser's storage cannot take this text of " + kept[0].text.length +
                                 " characters: it is listed until the page is closed. Save it to keep it.";
        return;
      }
      kept.pop();
      dropped++;
    }
  }
  draftsSaid.textContent = dropped === 0 ? "" :
      "The browser's storage is full: the " + (dropped === 1 ? "oldest kept text was" : dropped + " oldest kept texts were") +
      " let go.";
}

// Each kept text: when it was kept, its first line and its size.
function ShowKept() {
  draftList.textContent = "";
  kept.forEach((entry, index) => {
    const item = document.createElement("li");
    const firstLine = entry.text.split("\n", 1)[0];
    const shown = firstLine.length > 40 ? firstLine.slice(0, 40) + "…" : firstLine;
    item.textContent = new Date(entry.when).toLocaleString() + ", " + JSON.stringify(shown) + ", " +
                       BytesOfText(entry.text).length + " bytes ";
    const button = document.createElement("button");
    button.textContent = "Put back";
    button.addEventListener("click", () => PutBack(index));
    item.append(button);
    draftList.append(item);
  });
}

// The kept text goes back in the editor, and the editor's text is kept in
// its place.
function PutBack(index) {
  const [entry] = kept.splice(index, 1);
  if (heldMaze) {
    StoreKept();
    ShowKept();
  } else {
    AddKept(editor.value);
  }
  edited = false;
  SetEditorText(entry.text);
  KeepDraft();
  LeaveLink();
}

ShowKept();
