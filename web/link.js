// link.js: a link that carries the maze, and the models that are not the
// game's own: zumbrel.html?OPTIONS#maze=DATA&orb=DATA, each DATA the
// file's bytes compressed with raw DEFLATE and written in base64url.
import {ByteString, BytesOfText, SameBytes} from "./bytes.js";
import {OnPutBack, PutMazeInEditor} from "./drafts.js";
import {EditorBytes, OnEditorChange} from "./editor.js";
import {ToolRunner} from "./tools.js";
import {GameFiles, IsLatestOpening, ModelsInEffect, NextOpening, OptionsQuery, Say, SetAddress, Walk, kLargestFile,
        kModelNames} from "./walk.js";

// A longer link is not made: browsers and the places links are sent to cut
// them short.
const kLongestLink = 64 * 1024;
const shareLink = document.getElementById("share-link");
const walkHeavy = document.getElementById("walk-heavy");
const linkSaid = document.getElementById("link-said");
const workshopSaid = document.getElementById("workshop-said");

function Base64url(bytes) {
  return btoa(ByteString(bytes)).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

// The bytes, or null where the text is not base64url without padding.
function BytesOfBase64url(text) {
  if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) return null;
  return BytesOfText(atob(text.replace(/-/g, "+").replace(/_/g, "/")));
}

async function Deflate(bytes) {
  const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream("deflate-raw"));
  return new Uint8Array(await new Response(stream).arrayBuffer());
}

// The inflated bytes, or a reason they cannot be had, or tooLarge once
// they pass largest: inflating stops there, before more is kept.
async function Inflate(bytes, largest) {
  const reader = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("deflate-raw")).getReader();
  const parts = [];
  let size = 0;
  try {
    for (let part = await reader.read(); !part.done; part = await reader.read()) {
      size += part.value.length;
      if (size > largest) {
        reader.cancel();
        return {tooLarge: true};
      }
      parts.push(part.value);
    }
  } catch (e) {
    return {refusal: "is not raw DEFLATE"};
  }
  const whole = new Uint8Array(size);
  let at = 0;
  for (const part of parts) {
    whole.set(part, at);
    at += part.length;
  }
  return {bytes: whole};
}

// The files a link carries: {maze, models} with maze null where it carries
// none; {refusal} for a malformed link; null for an address that is no such
// link. The largest file's limit holds for all of them together, as for
// files opened together.
export async function FilesOfLink(hash) {
  const fields = new URLSearchParams(hash.slice(1));
  const names = ["maze", ...kModelNames.map((name) => name.slice(0, -4))];
  if (!names.some((name) => fields.has(name))) return null;
  let maze = null, total = 0;
  const models = new Map();
  for (const name of names) {
    if (!fields.has(name)) continue;
    const deflated = BytesOfBase64url(fields.get(name));
    const inflated = deflated ? await Inflate(deflated, kLargestFile - total) : {refusal: "is not base64url"};
    if (inflated.tooLarge) {
      return {refusal: total > 0 ? "This link's files are more than " + kLargestFile + " bytes together once inflated."
                                 : "This link's " + name + " is more than " + kLargestFile + " bytes once inflated."};
    }
    if (inflated.refusal) return {refusal: "This link's " + name + " " + inflated.refusal + "."};
    total += inflated.bytes.length;
    if (name === "maze") maze = inflated.bytes;
    else models.set(name + ".txt", inflated.bytes);
  }
  return {maze: maze, models: models};
}

// What a link's models may give one frame to draw, together: each model's
// vertices, and a polygon more for each draw, times the cells of its kind
// that a frame can draw. The bundled seven give the bundled maze 12,369.
const kFrameBudget = 1000000;
const weigher = ToolRunner();

// The link's models past the budget together, named with their sizes; ""
// when they are within it; null when a newer weighing replaced this one.
// They are read by the game's own readers, in the tools' worker, and one the
// game cannot read is past the budget.
async function HeavyModels(maze, models) {
  if (models.size === 0) return "";
  const args = ["zumbrel-load", maze ? "maze.txt" : ""];
  const files = maze ? {"maze.txt": maze} : {};
  for (const name of kModelNames) {
    args.push(models.has(name) ? name : "");
    if (models.has(name)) files[name] = models.get(name);
  }
  const weighed = await weigher.Run(args, files);
  if (!weighed) return null;
  const read = new Map();
  let load = 0;
  for (const line of weighed.lines) {
    const counts = /^(\d) (\d+) (\d+) (\d+)$/.exec(line);
    if (!counts) continue;
    const [model, polygons, vertices, cells] = counts.slice(1).map(Number);
    read.set(kModelNames[model], polygons + " polygons, " + vertices + " vertices, ");
    load += (polygons + vertices) * cells;
  }
  if (weighed.status === 0 && load <= kFrameBudget) return "";
  return Array.from(models, ([name, bytes]) => name + " (" + (read.get(name) || "") + bytes.length + " bytes)").join(", ");
}

// The fragment that carries the maze and those of the models that are
// not the same as in base: #maze=DATA&orb=DATA.
export async function Fragment(maze, models, base) {
  let hash = "#maze=" + Base64url(await Deflate(maze));
  for (const [name, bytes] of models) {
    if (!base || !SameBytes(bytes, base.get(name))) hash += "&" + name.slice(0, -4) + "=" + Base64url(await Deflate(bytes));
  }
  return hash;
}

// The link to the editor's maze and the models in effect that are not the
// game's own, an exported page's among them, shown, put in the address and
// copied; or, past the longest link, Save offered instead.
async function Share() {
  const hash = await Fragment(await EditorBytes(), ModelsInEffect(), GameFiles());
  const link = location.href.replace(/[?#].*$/, "") + OptionsQuery() + hash;
  if (link.length > kLongestLink) {
    shareLink.textContent = "";
    workshopSaid.textContent = "A link to this maze would be " + link.length + " bytes long, more than the " +
                               kLongestLink + " a link may be: Save it as a file instead.";
    document.getElementById("save").focus();
    return;
  }
  shareLink.textContent = link;
  shareLink.href = link;
  SetAddress(link);
  try {
    await navigator.clipboard.writeText(link);
    workshopSaid.textContent = "The link is copied.";
  } catch (e) {
    workshopSaid.textContent = "The browser did not let the page copy the link: copy it from here.";
  }
}

// Once the maze is edited, the address no longer names it: a reload would
// open the link instead of the draft.
function LeaveLink() {
  if (!location.hash) return;
  SetAddress(location.pathname + OptionsQuery());
}

OnEditorChange((change) => { if (change.typed) LeaveLink(); });
OnPutBack(LeaveLink);

// Walks the maze of the link in the address; a malformed one is refused,
// and the bundled maze walked, the editor left as it was. Models that give a
// frame more to draw than a link may are left out, with a button to walk
// them all the same. Of links opened one after the other, the latest wins.
// False when the address is no such link.
export async function OpenLink() {
  const number = NextOpening();
  const files = await FilesOfLink(location.hash);
  // Marked for whoever waits on links: each link read, the latest or not.
  performance.mark("zumbrel-link-read");
  if (!files) return false;
  if (!IsLatestOpening(number)) return true;
  if (files.refusal) {
    Walk(null, new Map(), "the bundled maze");
    Say(files.refusal + " The bundled maze is walked instead.", true);
    return true;
  }
  const heavy = await HeavyModels(files.maze, files.models);
  if (heavy === null || !IsLatestOpening(number)) return true;
  if (files.maze) PutMazeInEditor(files.maze);
  Walk(files.maze, heavy ? new Map() : files.models, heavy ? "the maze of the link, with the bundled models" : "the maze of the link");
  if (heavy) {
    linkSaid.hidden = false;
    linkSaid.firstChild.textContent = "This link's models " + heavy + " give a frame more to draw than a link may (" +
        kFrameBudget + " vertices at the cells they stand on, each polygon one more), which could hold up the page: " +
        "the bundled models are walked instead. ";
    walkHeavy.onclick = () => Walk(files.maze, files.models, "the maze of the link, with its own models");
  }
  return true;
}

document.getElementById("share").addEventListener("click", Share);
window.addEventListener("hashchange", OpenLink);
