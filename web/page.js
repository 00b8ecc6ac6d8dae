// page.js: the page's start: the options of its address, the editor, the
// tab's key and the drafts of tabs that are gone, the files an exported page
// holds, the tab's draft in the editor, then the maze of its link, or else
// the draft, or else the bundled maze.
import {ReadPageFiles} from "./export.js";
import {StartEditor} from "./editor.js";
import {ClaimTab, Draft, PutDraftInEditor} from "./drafts.js";
import {OpenLink} from "./link.js";
import {StartPaint} from "./paint.js";
import {StartGamepads} from "./gamepad.js";
import {StartRecorder} from "./record.js";
import {StartTouch} from "./touch.js";
import {TakeOptions, Walk} from "./walk.js";
import {StartWorkshop, WalkTheEditorsMaze} from "./workshop.js";
import "./files.js";

TakeOptions(new URLSearchParams(location.search));
StartEditor(document.getElementById("maze-text"), document.getElementById("caret"), "maze-label", "maze-keys");
StartRecorder();
StartTouch();
StartGamepads();
StartWorkshop();
StartPaint();
ClaimTab().then(ReadPageFiles).then(() => {
  const draft = Draft();
  if (draft !== null) PutDraftInEditor(draft);
  return OpenLink();
}).then((opened) => {
  if (opened) return;
  if (Draft() === null) return Walk(null, new Map(), "the bundled maze");
  return WalkTheEditorsMaze(new Map(), "the maze in the editor");
});
