// workshop.js: the maze being walked, in an editor beside the walk: its
// check as you type, its map with the walker on it, new mazes and Save.

import {SameBytes} from "./bytes.js";
import {Download} from "./download.js";
import {CaretPlace, EditorBytes, EditorLength, FocusEditor, MarkProblems, MoveCaret, OnEditorChange} from "./editor.js";
import {ClearDraft, KeepDraft, KeepEditorText, PutMazeInEditor} from "./drafts.js";
import {MapScale, ShowMap, kLargestMap, kLegend} from "./map.js";
import {ToolRunner} from "./tools.js";
import {BundledFiles, IsLatestOpening, NextOpening, OnWalkStarted, RunningWalk, Walk, WalkModels, WalkedMaze,
        WalkerPlace, WalksTheBundledMaze, kLargestFile} from "./walk.js";

// The pause after the last edit before the maze is checked again.
const kCheckPause = 300;

const checkSaid = document.getElementById("check-said");
const checkList = document.getElementById("check");
const mapFrame = document.getElementById("map-frame");
const marker = document.getElementById("marker");
const workshopSaid = document.getElementById("workshop-said");
const differs = document.getElementById("differs");

// The check runs on each pause in the typing, and then the map, each in a
// worker of its own, so that a map still being made leaves the check's
// worker ready; a newer edit cancels both.
const checker = ToolRunner();
const mapper = ToolRunner();
let checkTimer = 0;
let checkNumber = 0;  // each check's, so that one made stale while its bytes were read stops there
function CheckSoon(pause) {
  ++checkNumber;
  checker.Cancel();
  mapper.Cancel();
  clearTimeout(checkTimer);
  checkTimer = setTimeout(Check, pause);
}

async function Check() {
  const number = checkNumber;
  checkSaid.textContent = "Checking…";
  const start = performance.now();
  const maze = await EditorBytes();
  if (number !== checkNumber) return;
  // Marked for whoever measures the page: the text read as bytes.
  performance.measure("zumbrel-check-bytes", {start: start});
  const files = {"maze.txt": maze};
  const check = await checker.Run(["zumbrel-map", "--check", "maze.txt"], files);
  if (!check) return;
  ShowDiffers(maze);
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
// Those that name a place are marked there in the text too.
function ShowProblems(lines, status) {
  checkSaid.textContent = status === 0 ? "No problems: the walker can reach every cell." :
                          status === 1 ? "The check found these problems:" : "The check could not run:";
  checkList.textContent = "";
  const problems = [];
  for (const line of lines) {
    const item = document.createElement("li");
    const place = /^maze\.txt:(\d+):(\d+): /.exec(line);
    if (place) problems.push({line: Number(place[1]), column: Number(place[2]), message: line.slice(place[0].length)});
    if (place) {
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
  MarkProblems(problems);
}

// Whether the walk shows the editor's maze: the map's marker shows only
// then, and a line says so when not.
function ShowDiffers(edited) {
  const walked = WalkedMaze();
  differs.hidden = !RunningWalk() || !walked || walked === edited || SameBytes(walked, edited);
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
function MoveMarker() {
  const place = WalkerPlace();
  const mapScale = MapScale();
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

// The editor's text, byte for byte, as maze.txt.
async function Save() {
  const bytes = await EditorBytes();
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
  const number = NextOpening();
  const made = await generator.Run(args, {}, ["maze.txt"]);
  if (!made || !IsLatestOpening(number)) return;
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
  PutMazeInEditor(maze);
  KeepDraft();
  Walk(maze, WalkModels(), "the new maze");
}

// The bundled maze and models again, and no draft: the text replaced is
// kept in the list.
function BackToBundled() {
  NextOpening();
  KeepEditorText();
  ClearDraft();
  if (BundledFiles()) PutMazeInEditor(BundledFiles().get("maze.txt"));
  Walk(null, new Map(), "the bundled maze");
}

// The maze in the editor walked, as its bytes stand when asked.
export async function WalkTheEditorsMaze(models, say) {
  const number = NextOpening();
  const maze = await EditorBytes();
  if (IsLatestOpening(number)) Walk(maze, models, say);
}

// Typing is checked after a pause, a text put in at once.
OnEditorChange((change) => CheckSoon(change.typed ? kCheckPause : 0));
document.getElementById("walk-this").addEventListener("click", () => WalkTheEditorsMaze(WalkModels(), "the maze in the editor"));
document.getElementById("save").addEventListener("click", Save);
document.getElementById("where-caret").addEventListener("click", () => {
  const caret = CaretPlace();
  workshopSaid.textContent = "Line " + caret.line + ", column " + caret.column;
  FocusEditor();
});
document.getElementById("where-walker").addEventListener("click", SayWhereTheWalkerIs);
document.getElementById("revert").addEventListener("click", BackToBundled);
document.getElementById("bundled").addEventListener("click", BackToBundled);
document.getElementById("generate").addEventListener("submit", (event) => {
  event.preventDefault();
  Generate(event.target);
});
// The first walk fills an empty editor with the bundled maze.
OnWalkStarted(async () => {
  if (EditorLength() === 0 && WalksTheBundledMaze()) PutMazeInEditor(BundledFiles().get("maze.txt"));
  ShowDiffers(await EditorBytes());
});

export function StartWorkshop() {
  requestAnimationFrame(MoveMarker);
}
