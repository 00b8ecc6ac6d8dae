// workshop.js: the maze being walked, in an editor beside the walk: its
// check as you type, its map with the walker on it, new mazes and Save.

// The pause after the last edit before the maze is checked again.
const kCheckPause = 300;
// A map of more markup than this would hold up the page as it is drawn.
const kLargestMap = 4 * 1024 * 1024;
// Past these a text area takes seconds to lay a maze out and to take each
// keystroke: a larger maze is walked, checked, mapped, linked and saved as it
// is, but not shown for editing.
const kLargestEdited = 1024 * 1024;
const kMostLinesEdited = 10000;

const editor = document.getElementById("maze-text");
const caret = document.getElementById("caret");
const checkSaid = document.getElementById("check-said");
const checkList = document.getElementById("check");
const mapFrame = document.getElementById("map-frame");
const mapBox = document.getElementById("map");
const marker = document.getElementById("marker");
const workshopSaid = document.getElementById("workshop-said");
const differs = document.getElementById("differs");

// The editor holds a maze file one character a byte, so that any file comes
// back byte for byte and a column of the check is a column of the editor.
// A text area would turn a carriage return into a line's end, so it stands
// as the symbol for one; a character typed beyond a byte is written as
// UTF-8.
const kReturnSymbol = "\u240d";
// Each byte as the character of its code.
function ByteString(bytes) {
  let text = "";
  for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
  return text;
}

function TextOfBytes(bytes) {
  return ByteString(bytes).replace(/\r/g, kReturnSymbol);
}

function BytesOfText(text) {
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) {
    const code = text.charCodeAt(i);
    if (code >= 0x100) return BytesOfWideText(text);
    bytes[i] = code;
  }
  return bytes;
}

function BytesOfWideText(text) {
  const bytes = [];
  const encoder = new TextEncoder();
  for (const character of text) {
    const code = character.codePointAt(0);
    if (code < 0x100) bytes.push(code);
    else if (character === kReturnSymbol) bytes.push(13);
    else bytes.push(...encoder.encode(character));
  }
  return new Uint8Array(bytes);
}

let heldMaze = null;  // a maze too large to edit, which stands for the editor's text

function EditorBytes() {
  return heldMaze || BytesOfText(editor.value);
}

// Whether a maze is more than the editor shows.
function TooLargeToEdit(bytes) {
  return bytes.length > kLargestEdited || LineCount(bytes) > kMostLinesEdited;
}

function LineCount(bytes) {
  let lines = bytes.length > 0 && bytes[bytes.length - 1] !== 10 ? 1 : 0;
  for (let at = bytes.indexOf(10); at >= 0; at = bytes.indexOf(10, at + 1)) lines++;
  return lines;
}

// Puts a maze in the editor, the text it replaces kept first; no draft is
// kept of a maze that came whole.
function SetEditorBytes(bytes) {
  KeepEditorText();
  edited = false;
  heldMaze = TooLargeToEdit(bytes) ? bytes : null;
  editor.readOnly = heldMaze !== null;
  editor.value = heldMaze ? "" : TextOfBytes(bytes);
  editor.placeholder = heldMaze ? "This maze of " + bytes.length + " bytes in " + LineCount(bytes) + " lines is more than " +
      "the editor takes (" + kLargestEdited + " bytes, " + kMostLinesEdited + " lines): it is walked, checked, " +
      "mapped, linked and saved as it is, but not shown here." : "";
  editor.setSelectionRange(0, 0);
  ShowCaret();
  CheckSoon(0);
}

// Puts the text of a draft in the editor, the text it replaces kept first.
function SetEditorText(text) {
  KeepEditorText();
  edited = true;
  heldMaze = null;
  editor.readOnly = false;
  editor.placeholder = "";
  editor.value = text;
  ShowCaret();
  CheckSoon(0);
}

function ShowCaret() {
  if (heldMaze) return caret.textContent = "";
  const before = editor.value.slice(0, editor.selectionStart);
  const line = before.split("\n").length;
  caret.textContent = "Line " + line + ", column " + (before.length - before.lastIndexOf("\n"));
}

// Puts the caret at a 1-based line and column of the editor's text.
function MoveCaret(line, column) {
  const text = editor.value;
  let at = 0;
  for (let l = 1; l < line && at >= 0; l++) at = text.indexOf("\n", at) + 1 || -1;
  if (at < 0) at = text.length;
  at = Math.min(at + column - 1, text.length);
  editor.focus();
  editor.setSelectionRange(at, at);
  ShowCaret();
}

// The check runs on each pause in the typing, and then the map, each in a
// worker of its own, so that a map still being made leaves the check's
// worker ready; a newer edit cancels both.
const checker = ToolRunner();
const mapper = ToolRunner();
let checkTimer = 0;
function CheckSoon(pause) {
  checker.Cancel();
  mapper.Cancel();
  clearTimeout(checkTimer);
  checkTimer = setTimeout(Check, pause);
}

async function Check() {
  const files = {"maze.txt": EditorBytes()};
  checkSaid.textContent = "Checking…";
  const start = performance.now();
  const check = await checker.Run(["zumbrel-map", "--check", "maze.txt"], files);
  if (!check) return;
  ShowDiffers();
  // Marked for whoever measures the page: the whole wait, and the tool's run.
  performance.measure("zumbrel-check", {start: start});
  performance.measure("zumbrel-check-run", {start: start, duration: check.ran});
  ShowProblems(check.lines, check.status);
  mapFrame.setAttribute("aria-busy", "true");
  const map = await mapper.Run(["zumbrel-map", "--largest", String(kLargestMap), "-o", "map.svg", "maze.txt"],
                               files, ["map.svg"]);
  if (!map) return;
  mapFrame.removeAttribute("aria-busy");
  ShowMap(map.files["map.svg"], map.lines);
}

// Each line as the tool printed it; one that names a place moves the caret
// there when clicked.
function ShowProblems(lines, status) {
  checkSaid.textContent = status === 0 ? "No problems: the walker can reach every cell." :
                          status === 1 ? "The check found these problems:" : "The check could not run:";
  checkList.textContent = "";
  for (const line of lines) {
    const item = document.createElement("li");
    const place = /^maze\.txt:(\d+):(\d+): /.exec(line);
    if (place && !heldMaze) {
      const go = document.createElement("button");
      go.textContent = line;
      go.addEventListener("click", () => MoveCaret(Number(place[1]), Number(place[2])));
      item.className = "place";
      item.append(go);
    } else {
      item.textContent = line;
    }
    checkList.append(item);
  }
}

// The tool's map, scaled to fit its box, with the page's marker laid over
// it in the same units; or, where the tool gave up a map past the largest,
// why there is none.
let mapScale = 0;
function ShowMap(svg, lines) {
  mapBox.textContent = "";
  mapScale = 0;
  marker.hidden = true;
  if (!svg) {
    if (lines.some((line) => line.startsWith("zumbrel-map: the map of maze.txt would be more than"))) {
      mapBox.textContent = "The map of a maze this large is left out: it would be more than the " + kLargestMap +
                           " bytes of SVG the page draws.";
    }
    return;
  }
  mapBox.innerHTML = new TextDecoder().decode(svg);
  const map = mapBox.firstElementChild;
  const width = map.getAttribute("width"), height = map.getAttribute("height");
  map.setAttribute("viewBox", "0 0 " + width + " " + height);
  marker.setAttribute("viewBox", "0 0 " + width + " " + height);
  const cells = map.querySelector("g[transform*=scale]");
  mapScale = cells ? Number(/scale\((\d+)\)/.exec(cells.getAttribute("transform"))[1]) : 0;
  // Its text: the cells it spans, in the group's own units.
  const box = cells && cells.getBBox();
  mapFrame.setAttribute("aria-label", box ? "The map of the maze, " + Math.round(box.x + box.width) + " cells wide and " +
                                            Math.round(box.y + box.height) + " high" : "The map of the maze");
}

// Whether the walk shows the editor's maze: the map's marker shows only
// then, and a line says so when not.
function ShowDiffers() {
  const walked = WalkedMaze(), edited = EditorBytes();
  differs.hidden = !walk || !walked || walked === edited || SameBytes(walked, edited);
}

// Where the walker stands on the map, on request.
const kFacing = ["up the map", "up and left", "left", "down and left", "down the map", "down and right", "right",
                 "up and right"];
function SayWhereTheWalkerIs() {
  const place = WalkerPlace();
  if (!place) return workshopSaid.textContent = "No walk is running.";
  const eighth = Math.round(place.heading / (Math.PI / 4));
  workshopSaid.textContent = "The walker stands in row " + (Math.round(-place.y / kCellSize) + 1) + ", column " +
      (Math.round(place.x / kCellSize) + 1) + " of the walked maze, facing " + kFacing[((eighth % 8) + 8) % 8] +
      (differs.hidden ? "." : ", which is not the maze in the editor.");
}

// Each frame, the walker as the running walk last left it: a cell's centre
// stands at (column, -row) times the cell's size, and heading 0 faces up
// the map, growing to the left.
const kCellSize = 5;
const kLegend = 28;
function MoveMarker() {
  const place = WalkerPlace();
  marker.hidden = !place || !mapScale || !differs.hidden;
  if (!marker.hidden) {
    const x = (place.x / kCellSize + 0.5) * mapScale;
    const y = kLegend + (-place.y / kCellSize + 0.5) * mapScale;
    const size = Math.max(mapScale, 8);
    marker.firstElementChild.setAttribute("transform", "translate(" + x + " " + y + ") rotate(" +
        (-place.heading * 180 / Math.PI) + ") scale(" + size + ")");
  }
  requestAnimationFrame(MoveMarker);
}

// Hands the browser a file to keep.
function Download(blob, name) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = name;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// The editor's text, byte for byte, as maze.txt.
function Save() {
  const bytes = EditorBytes();
  Download(new Blob([bytes], {type: "text/plain"}), "maze.txt");
  workshopSaid.textContent = "Saved maze.txt, " + bytes.length + " bytes.";
}

// A new maze from the tool, with the options the form gives; a field left
// empty takes the tool's default, and a value it refuses, its own line.
const generator = ToolRunner();
async function Generate(form) {
  const args = ["zumbrel-mazegen"];
  for (const field of form.elements) {
    if (field.name && field.value.trim() !== "") args.push("--" + field.name, field.value.trim());
  }
  args.push("-o", "maze.txt");
  workshopSaid.textContent = "Making a maze…";
  const start = performance.now();
  const number = ++openNumber;
  const made = await generator.Run(args, {}, ["maze.txt"]);
  if (!made || number !== openNumber) return;
  performance.measure("zumbrel-generate", {start: start});
  performance.measure("zumbrel-generate-run", {start: start, duration: made.ran});
  if (made.status !== 0) {
    workshopSaid.textContent = made.lines.join("\n");
    return;
  }
  const maze = made.files["maze.txt"];
  if (maze.length > kLargestFile) {
    workshopSaid.textContent = "This maze would be " + maze.length + " bytes, more than the " + kLargestFile +
                               " the page takes.";
    return;
  }
  workshopSaid.textContent = "";
  SetEditorBytes(maze);
  if (!heldMaze) KeepDraft();
  Walk(EditorBytes(), walkModels, "the new maze");
}

// The bundled maze and models again, and no draft: the text replaced is
// kept in the list.
function BackToBundled() {
  ++openNumber;
  KeepEditorText();
  ClearDraft();
  if (bundledFiles) SetEditorBytes(bundledFiles.get("maze.txt"));
  Walk(null, new Map(), "the bundled maze");
}

editor.addEventListener("input", () => {
  edited = true;
  ShowCaret();
  CheckSoon(kCheckPause);
  KeepDraftSoon();
  LeaveLink();
});
for (const moved of ["keyup", "click", "focus"]) editor.addEventListener(moved, ShowCaret);
window.addEventListener("pagehide", FlushDraft);
document.addEventListener("visibilitychange", () => { if (document.hidden) FlushDraft(); });
document.getElementById("walk-this").addEventListener("click", () => Walk(EditorBytes(), walkModels, "the maze in the editor"));
document.getElementById("save").addEventListener("click", Save);
document.getElementById("where-caret").addEventListener("click", () => {
  workshopSaid.textContent = caret.textContent;
  editor.focus();
});
document.getElementById("where-walker").addEventListener("click", SayWhereTheWalkerIs);
document.getElementById("revert").addEventListener("click", BackToBundled);
bundled.addEventListener("click", BackToBundled);
document.getElementById("generate").addEventListener("submit", (event) => {
  event.preventDefault();
  Generate(event.target);
});
// The first walk fills an empty editor with the bundled maze.
walkStarted.push(() => {
  if (editor.value === "" && walkMaze === null) SetEditorBytes(bundledFiles.get("maze.txt"));
  ShowDiffers();
});
requestAnimationFrame(MoveMarker);
