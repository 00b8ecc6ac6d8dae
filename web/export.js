// export.js: the page exported as one file that holds the editor's maze,
// and the models given that are not the game's own, in the bundled files'
// place; and, in such a page, those files.
import {ByteString} from "./bytes.js";
import {Download} from "./download.js";
import {EditorBytes} from "./editor.js";
import {FilesOfLink, Fragment} from "./link.js";
import {GameFiles, ModelsInEffect, kLargestFile, pageFiles} from "./walk.js";

// The page as it stood before any script changed it: no script changes it
// as it is read, and the page's start reads this one before it changes
// anything.
const pageSource = "<!DOCTYPE html>\n" + document.documentElement.outerHTML;
const workshopSaid = document.getElementById("workshop-said");
// The files an exported page holds, as a link's fragment: base64url, so
// that no maze can end the element it travels in or add any markup.
const exported = document.getElementById("exported").textContent;
const kExportedElement = /(<script id="exported" type="text\/plain">)[^<]*(<\/script>)/;

// The files of an exported page, read once at its start.
export async function ReadPageFiles() {
  if (!exported) return;
  const files = await FilesOfLink(exported);
  if (!files || files.refusal) return;
  if (files.maze) pageFiles.set("maze.txt", files.maze);
  for (const [name, bytes] of files.models) pageFiles.set(name, bytes);
}

// The file's name: the maze's first line, in the characters any system
// takes in a name, or else maze.html.
function ExportName(maze) {
  const end = maze.indexOf(10);
  const line = ByteString(maze.subarray(0, Math.min(end < 0 ? maze.length : end, 200)));
  const name = line.replace(/[^A-Za-z0-9 _.-]+/g, " ").replace(/\s+/g, " ").trim().slice(0, 60).replace(/^[.-]+/, "");
  return (name || "maze") + ".html";
}

// Downloads this page with the editor's maze and the models in effect
// that are not the game's own inside it.
async function Export() {
  const maze = await EditorBytes();
  const models = ModelsInEffect();
  const size = maze.length + Array.from(models.values(), (bytes) => bytes.length).reduce((a, b) => a + b, 0);
  if (size > kLargestFile) {
    workshopSaid.textContent = "This maze and its models are " + size + " bytes together, more than the " +
                               kLargestFile + " a page takes.";
    return;
  }
  const fragment = await Fragment(maze, models, GameFiles());
  const page = pageSource.replace(kExportedElement, (whole, open, close) => open + fragment + close);
  const name = ExportName(maze), file = new Blob([page], {type: "text/html"});
  Download(file, name);
  workshopSaid.textContent = "Exported " + name + ", " + file.size + " bytes.";
}

document.getElementById("export").addEventListener("click", Export);
