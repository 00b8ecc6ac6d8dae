// walk.js: the walk: a fresh instance of the game for each start, on the
// maze and models given and the bundled files, with the options chosen, and
// what it prints.
import Zumbrel from "zumbrel-game";

export const kModelNames = ["space.txt", "wall.txt", "door.txt", "start.txt", "orb.txt", "tele.txt", "ped.txt"];
// A larger file would cost the tab its memory before the game could say so.
export const kLargestFile = 16 * 1024 * 1024;
const kOutputLines = 1000;
const kNoWebGL = "This browser gives the page no WebGL, which the game draws with. Turn on WebGL, or " +
                 "hardware acceleration, in its settings, or open the page in another browser.";

const state = document.getElementById("state");
const output = document.getElementById("output");
const optionA = document.getElementById("option-a");
const optionNr = document.getElementById("option-nr");
const again = document.getElementById("again");
const bundled = document.getElementById("bundled");
const linkSaid = document.getElementById("link-said");  // what a link's walk left out
let canvas = document.getElementById("canvas");

let walkMaze = null;       // the maze's bytes, or null for the bundled maze
let walkModels = new Map();  // model file name -> its bytes, where not the bundled
let walkSay = "the bundled maze";
let gameFiles = null;      // file name -> the bytes the game was built with, once a walk has started
export const pageFiles = new Map(); // file name -> the bytes an exported page holds in their place
let bundledFiles = null;   // file name -> the page's bundled bytes: the game's, and the page's over them
let walk = null;           // the game now running, once started
let walkNumber = 0;        // which start the running walk came from
const walkStarted = [];    // told of each game started, before it runs
const walkEnded = [];      // told as the running walk ends, or is replaced
let openNumber = 0;        // each opening of files, a link or a new maze: the latest wins

export function OnWalkStarted(tell) {
  walkStarted.push(tell);
}

export function OnWalkEnded(tell) {
  walkEnded.push(tell);
}

// Each opening of files, a link or a new maze takes a number, and only the
// latest goes on once its wait is over.
export function NextOpening() {
  return ++openNumber;
}

export function IsLatestOpening(number) {
  return number === openNumber;
}

// The game now running, once started, and its canvas.
export function RunningWalk() {
  return walk;
}

export function WalkCanvas() {
  return canvas;
}

// The models the walk was given, and whether it walks the bundled maze.
export function WalkModels() {
  return walkModels;
}

export function WalksTheBundledMaze() {
  return walkMaze === null;
}

// File name -> the bytes the game was built with, and the page's bundled
// bytes, once a walk has started; null before.
export function GameFiles() {
  return gameFiles;
}

export function BundledFiles() {
  return bundledFiles;
}

// The options the address gives: ?a&nr.
export function TakeOptions(query) {
  optionA.checked = query.has("a");
  optionNr.checked = query.has("nr");
}

export function Say(text, fatal) {
  state.textContent = text;
  state.className = fatal ? "fatal" : "";
}

// Standard error's lines are marked, as a terminal would not.
function Print(text, isError) {
  if (isError) {
    const line = document.createElement("span");
    line.className = "stderr";
    line.textContent = text + "\n";
    output.append(line);
  } else {
    output.append(text + "\n");
  }
  while (output.childNodes.length > kOutputLines) output.firstChild.remove();
  output.scrollTop = output.scrollHeight;
}

function Arguments() {
  const args = [];
  if (optionA.checked) args.push("-a");
  if (optionNr.checked) args.push("-nr");
  return args;
}

// The options as the address gives them, so that a walk can be linked to:
// ?a&nr.
export function OptionsQuery() {
  const query = Arguments().map((a) => a.slice(1)).join("&");
  return query ? "?" + query : "";
}

// The address changed without a reload. A page opened from disk may not
// change it; the walk goes on.
export function SetAddress(address) {
  try {
    history.replaceState(null, "", address);
  } catch (e) {
  }
}

// Whether the browser gives the page WebGL, asked once of a canvas of its own.
let hasWebGL;
function HasWebGL() {
  if (hasWebGL === undefined) {
    const context = document.createElement("canvas").getContext("webgl");
    hasWebGL = context !== null;
    const lose = context && context.getExtension("WEBGL_lose_context");
    if (lose) lose.loseContext();
  }
  return hasWebGL;
}

export function FocusCanvas() {
  canvas.focus({preventScroll: true});
}

// Walks the maze and models given, the bundled files filling in the rest;
// say names them in the state line.
export function Walk(maze, models, say) {
  linkSaid.hidden = true;
  walkMaze = maze;
  walkModels = models;
  walkSay = say;
  StartWalk();
}

// Each walk is a fresh instance of the game on a fresh canvas.
function StartWalk() {
  if (walk) {
    for (const told of walkEnded) told();
    walk.stop();
  }
  walk = null;
  const number = ++walkNumber;
  state.dataset.walk = number;
  const fresh = canvas.cloneNode(false);
  canvas.replaceWith(fresh);
  canvas = fresh;
  canvas.addEventListener("click", FocusCanvas);
  FocusCanvas();
  output.textContent = "";
  again.hidden = bundled.hidden = true;
  if (!HasWebGL()) return WithoutWebGL();
  Say("Walking " + walkSay + ".");
  let lastError = "";
  Zumbrel({
    canvas: canvas,
    print: Print,
    printErr: (text) => {
      // The GL emulation's own notes at start-up are not the program's.
      if (text.startsWith("WARNING: using emscripten GL")) return;
      lastError = text;
      Print(text, true);
    },
    onExit: (status) => {
      if (number !== walkNumber) return;
      for (const told of walkEnded) told();
      if (status === 0) Say("The walk has ended.");
      else Say(lastError || "The game ended with status " + status + ".", true);
      again.hidden = false;
      bundled.hidden = walkMaze === null && walkModels.size === 0;
    },
  }).then((game) => {
    if (number !== walkNumber) return game.stop();
    walk = game;
    ReadGameFiles(game);
    for (const [name, bytes] of pageFiles) game.FS.writeFile(name, bytes);
    for (const told of walkStarted) told(game);
    if (walkMaze !== null) game.FS.writeFile("maze.txt", walkMaze);
    for (const [name, bytes] of walkModels) game.FS.writeFile(name, bytes);
    game.callMain(Arguments());
  });
}

// The files the game was built with, read from its first instance.
function ReadGameFiles(game) {
  if (gameFiles) return;
  gameFiles = new Map();
  for (const name of ["maze.txt", ...kModelNames]) gameFiles.set(name, game.FS.readFile(name));
  bundledFiles = new Map([...gameFiles, ...pageFiles]);
}

// No walk without WebGL, but the workshop still has the bundled files,
// from an instance of the game made only to read them.
function WithoutWebGL() {
  Say(kNoWebGL, true);
  if (gameFiles) return;
  Zumbrel({print: () => {}, printErr: () => {}}).then((game) => {
    ReadGameFiles(game);
    game.stop();
    for (const told of walkStarted) told(game);
  });
}

// The models in effect: those the walk was given, and the page's for the
// rest, once they are known.
export function ModelsInEffect() {
  return new Map(kModelNames.map((name) => [name, walkModels.get(name) || (bundledFiles && bundledFiles.get(name))])
                            .filter(([, bytes]) => bytes));
}

// The maze the running walk was given: its bytes, once they are known.
export function WalkedMaze() {
  return walkMaze || (bundledFiles && bundledFiles.get("maze.txt"));
}

// Where the running walk's walker stands, in the world's units, and its
// heading in radians; null when no walk runs.
export function WalkerPlace() {
  if (!walk) return null;
  return {x: walk._ZumbrelWalker(0), y: walk._ZumbrelWalker(1), heading: walk._ZumbrelWalker(2)};
}

again.addEventListener("click", StartWalk);
for (const option of [optionA, optionNr]) {
  option.addEventListener("change", () => { SetAddress(location.pathname + OptionsQuery() + location.hash); StartWalk(); });
}
