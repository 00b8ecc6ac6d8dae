// files.js: files opened or dropped on the page: a maze, which goes in the
// editor, and models named as the game names them.
import {PutMazeInEditor} from "./drafts.js";
import {EditorBytes} from "./editor.js";
import {IsLatestOpening, NextOpening, Say, Walk, kLargestFile, kModelNames} from "./walk.js";

// The name a file takes in the game's directory: a model's, whatever the
// case and blanks around it, or else the maze's.
function NameInGame(fileName) {
  const model = fileName.trim().toLowerCase();
  return kModelNames.includes(model) ? model : "maze.txt";
}

// Why the files cannot be opened together, or "" when they can.
function Refusal(files, folders) {
  const picked = new Set();
  let bytes = 0;
  for (const file of files) {
    if (folders.has(file)) return file.name + " is a folder: open the files in it instead.";
    const name = NameInGame(file.name);
    if (picked.has(name)) {
      return name === "maze.txt" ? "Open one maze at a time: " + file.name + " and another were given."
                                 : "Two files named " + name + " were given.";
    }
    picked.add(name);
    bytes += file.size;
  }
  if (bytes <= kLargestFile) return "";
  const what = files.length === 1 ? files[0].name + " is" : "These files are";
  return what + " too large to open here: " + bytes + " bytes, where at most " + kLargestFile +
         " are taken" + (files.length === 1 ? "." : " together.");
}

// A file named as a model replaces that model; any other is the maze, and
// without one the editor's maze is walked. The walk goes on as it was when
// the files are refused or cannot be read.
async function OpenFiles(files, folders = new Set()) {
  if (files.length === 0) return;
  const refusal = Refusal(files, folders);
  if (refusal) return Say(refusal, true);
  const number = NextOpening();
  const read = new Map();
  for (const file of files) {
    try {
      read.set(NameInGame(file.name), new Uint8Array(await file.arrayBuffer()));
    } catch (error) {
      return Say(file.name + " could not be read: " + error.message, true);
    }
  }
  if (!IsLatestOpening(number)) return;
  const maze = read.get("maze.txt");
  read.delete("maze.txt");
  if (maze) PutMazeInEditor(maze);
  const walked = maze || await EditorBytes();
  if (IsLatestOpening(number)) Walk(walked, read, Array.from(files, (f) => f.name).join(", "));
}

const open = document.getElementById("open");
document.getElementById("open-button").addEventListener("click", () => open.click());
open.addEventListener("change", () => { OpenFiles(Array.from(open.files)); open.value = ""; });
window.addEventListener("dragover", (event) => event.preventDefault());
window.addEventListener("drop", (event) => {
  event.preventDefault();
  // A folder comes as a file of its own that cannot be read; the items
  // that are files stand in the order of the files.
  const items = Array.from(event.dataTransfer.items).filter((item) => item.kind === "file");
  const files = Array.from(event.dataTransfer.files);
  const folders = new Set(files.filter((file, i) => {
    const entry = items[i] && items[i].webkitGetAsEntry && items[i].webkitGetAsEntry();
    return entry && entry.isDirectory;
  }));
  OpenFiles(files, folders);
});
