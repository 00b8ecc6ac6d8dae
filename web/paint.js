// paint.js: the maze painted on its map: a tool for each kind of cell, and
// strokes of it by mouse, finger and keyboard, each one step of the
// editor's history; two fingers pan and zoom instead.
import {CharacterAt, RedoInEditor, UndoInEditor, WriteCells} from "./editor.js";
import {CellColour, CellPoint, DrawCells, EndStroke, MapExtent, MapRowsAreLines, OnMapShown, PanBy, ShowCursor,
        ZoomBy} from "./map.js";

// The game reads at most this many characters of a line as one row.
const kRowLength = 510;
// What each kind of cell is called, by the character that paints it.
const kCellNames = new Map([["#", "a wall"], [".", "a space"], ["D", "a door"], ["O", "an orb"], ["T", "a teleport"],
                            ["P", "a pedestal"], ["X", "the start"], [" ", "nothing"]]);
// A zoom button's or key's step.
const kZoomStep = 2;

const mapView = document.getElementById("map-view");
const paintSaid = document.getElementById("paint-said");
const tools = Array.from(document.querySelectorAll("#paint button[data-cell]"));
const noTool = document.getElementById("no-tool");

let tool = null;            // the chosen tool's character, or null
let stroke = null;          // the stroke being made
const fingers = new Map();  // each touch on the map -> where it is
let pinch = null;           // two fingers' middle and distance apart, as they last were
let cursor = {row: 0, column: 0};  // the cell cursor

function ChooseTool(character) {
  tool = character;
  for (const button of tools) button.setAttribute("aria-pressed", String(button.dataset.cell === tool));
  noTool.setAttribute("aria-pressed", String(tool === null));
  mapView.classList.toggle("painting", tool !== null);
}

// The cell a point of the page falls on, or null off the map.
function CellOf(point) {
  return point && Shown(Math.floor(point.y), Math.floor(point.x)) ?
      {row: Math.floor(point.y), column: Math.floor(point.x)} : null;
}

// Whether the map shows a cell: what is painted is what is seen.
function Shown(row, column) {
  return row >= 0 && column >= 0 && row < MapExtent().rows && column < MapExtent().columns;
}

// A stroke of the tool: the cells it has passed, or for a rectangle the
// corner it started from, drawn as it goes.
function StartStroke(event) {
  const point = CellPoint(event.clientX, event.clientY);
  if (!CellOf(point)) return;
  stroke = {pointer: event.pointerId, character: tool, rectangle: event.shiftKey, from: point, last: point,
            cells: new Map()};
  Pass(point, point);
}

function CellKey(cell) {
  return cell.row * 16777216 + cell.column;
}

// Every cell the line from a to b crosses, so that a fast drag leaves no gap
// between the pointer's samples.
function Pass(a, b) {
  const passed = [];
  const Take = (row, column) => {
    const cell = {row: row, column: column};
    if (!Shown(row, column) || stroke.cells.has(CellKey(cell))) return;
    stroke.cells.set(CellKey(cell), cell);
    if (column < kRowLength) passed.push(cell);
  };
  let row = Math.floor(a.y), column = Math.floor(a.x);
  const endRow = Math.floor(b.y), endColumn = Math.floor(b.x);
  const dx = b.x - a.x, dy = b.y - a.y, stepX = Math.sign(dx), stepY = Math.sign(dy);
  // How far along the line the next column's and the next row's edge are.
  const across = (edge, from, d) => d === 0 ? Infinity : (edge - from) / d;
  let nextX = across(stepX > 0 ? column + 1 : column, a.x, dx), nextY = across(stepY > 0 ? row + 1 : row, a.y, dy);
  const deltaX = stepX ? Math.abs(1 / dx) : Infinity, deltaY = stepY ? Math.abs(1 / dy) : Infinity;
  Take(row, column);
  // As many steps as the cells between, whatever the rounding.
  for (let steps = Math.abs(endRow - row) + Math.abs(endColumn - column); steps > 0; steps--) {
    if (nextX < nextY) {
      column += stepX;
      nextX += deltaX;
    } else {
      row += stepY;
      nextY += deltaY;
    }
    Take(row, column);
  }
  if (passed.length) DrawCells(stroke.character, passed, false);
}

// The rectangle between the shown cells nearest the stroke's first point
// and point.
function Rectangle(point) {
  const {rows, columns} = MapExtent();
  const Nearest = (p) => ({row: Math.min(Math.max(Math.floor(p.y), 0), rows - 1),
                           column: Math.min(Math.max(Math.floor(p.x), 0), columns - 1)});
  const a = Nearest(stroke.from), b = Nearest(point);
  return {row: Math.min(a.row, b.row), column: Math.min(a.column, b.column),
          rows: Math.abs(a.row - b.row) + 1, columns: Math.abs(a.column - b.column) + 1};
}

function MoveStroke(event) {
  const moves = event.getCoalescedEvents ? event.getCoalescedEvents() : [];
  for (const move of moves.length ? moves : [event]) {
    const point = CellPoint(move.clientX, move.clientY);
    if (!point) return;  // the map has gone
    if (stroke.rectangle) {
      EndStroke(false);
      const box = Rectangle(point);
      box.columns = Math.max(Math.min(box.columns, kRowLength - box.column), 0);
      if (box.columns) DrawCells(stroke.character, [box], false);
    } else {
      Pass(stroke.last, point);
    }
    stroke.last = point;
  }
}

// The stroke written to the text as one step, all but what lies past a
// row's last column, which the page says it left.
function FinishStroke() {
  if (!MapExtent().rows) return TakeBack();  // the map has gone
  if (!MapRowsAreLines()) {
    paintSaid.textContent = "Nothing is painted: a line of this text is longer than " + kRowLength + " characters, " +
        "which the game reads as more than one row, so the map's rows are not the text's lines. Mend the line the " +
        "check names, then paint.";
    return TakeBack();
  }
  const start = performance.now();
  let boxes = Array.from(stroke.cells.values());
  if (stroke.rectangle) boxes = [Rectangle(stroke.last)];
  const kept = boxes.filter((box) => box.column < kRowLength)
      .map((box) => ({...box, columns: Math.min(box.columns || 1, kRowLength - box.column)}));
  const refused = boxes.some((box) => box.column + (box.columns || 1) > kRowLength);
  paintSaid.textContent = refused ? "Nothing is painted past column " + kRowLength + ": the game reads no more than " +
                                    kRowLength + " characters of a line as one row." : "";
  if (kept.length) WriteCells(stroke.character, kept);
  EndStroke(kept.length > 0);
  stroke = null;
  // Marked for whoever measures the page: the stroke written and drawn.
  performance.measure("zumbrel-paint", {start: start});
}

function TakeBack() {
  if (stroke) EndStroke(false);
  stroke = null;
}

// The tool becomes the kind of the cell under the pointer.
function Pick(event) {
  const under = CellOf(CellPoint(event.clientX, event.clientY));
  if (!under) return;
  const character = CharacterAt(under);
  ChooseTool(kCellNames.has(character) ? character : " ");
}

// Fingers are the page's while a tool is chosen, and the browser's while
// none is.
function Down(event) {
  if (event.pointerType === "touch" && tool !== null) fingers.set(event.pointerId, {x: event.clientX, y: event.clientY});
  if (fingers.size === 2) {
    TakeBack();
    pinch = Pinch();
    return;
  }
  if (event.button !== 0 || fingers.size > 2) return;
  if (event.altKey) {
    event.preventDefault();
    return Pick(event);
  }
  if (tool === null || stroke) return;
  event.preventDefault();
  mapView.setPointerCapture(event.pointerId);
  StartStroke(event);
}

function Pinch() {
  const [a, b] = fingers.values();
  return {x: (a.x + b.x) / 2, y: (a.y + b.y) / 2, apart: Math.hypot(a.x - b.x, a.y - b.y)};
}

function Move(event) {
  if (fingers.has(event.pointerId)) fingers.set(event.pointerId, {x: event.clientX, y: event.clientY});
  if (pinch && fingers.size === 2) {
    const now = Pinch();
    PanBy(pinch.x - now.x, pinch.y - now.y);
    if (pinch.apart > 0 && now.apart > 0) ZoomBy(now.apart / pinch.apart, now.x, now.y);
    pinch = now;
  } else if (stroke && stroke.pointer === event.pointerId) {
    MoveStroke(event);
  }
}

function Up(event) {
  if (stroke && stroke.pointer === event.pointerId) {
    MoveStroke(event);
    FinishStroke();
  }
  Lift(event);
}

function Lift(event) {
  if (stroke && stroke.pointer === event.pointerId) TakeBack();
  fingers.delete(event.pointerId);
  if (fingers.size < 2) pinch = null;
}

// The keys of the map with the focus: 1 to 8 choose a tool and 0 none,
// the arrows move the cell cursor, Space paints its cell, ? says where it
// is, and + and - zoom; the editor's undo and redo keys are its own.
function Press(event) {
  const key = event.key.toLowerCase();
  if ((event.ctrlKey || event.metaKey) && !event.altKey && (key === "z" || key === "y")) {
    event.preventDefault();
    return key === "z" && !event.shiftKey ? UndoInEditor() : RedoInEditor();
  }
  if (event.ctrlKey || event.metaKey || event.altKey) return;
  const moves = {ArrowUp: [-1, 0], ArrowDown: [1, 0], ArrowLeft: [0, -1], ArrowRight: [0, 1]};
  if (/^[1-8]$/.test(event.key)) {
    ChooseTool(tools[Number(event.key) - 1].dataset.cell);
  } else if (event.key === "0") {
    ChooseTool(null);
  } else if (moves[event.key]) {
    const [down, right] = moves[event.key], {rows, columns} = MapExtent();
    cursor = {row: Math.max(Math.min(cursor.row + down, rows - 1), 0),
              column: Math.max(Math.min(cursor.column + right, columns - 1), 0)};
    ShowCursor(cursor);
  } else if (event.key === " ") {
    if (tool === null) {
      paintSaid.textContent = "Choose a tool to paint with: keys 1 to 8.";
    } else {
      stroke = {character: tool, rectangle: false, cells: new Map([[CellKey(cursor), cursor]])};
      DrawCells(tool, [cursor], false);
      FinishStroke();
    }
  } else if (event.key === "?") {
    const character = CharacterAt(cursor);
    paintSaid.textContent = "The cursor is on row " + (cursor.row + 1) + ", column " + (cursor.column + 1) + ": " +
                            (kCellNames.get(character) || "nothing") + ".";
  } else if (event.key === "+" || event.key === "=" || event.key === "-") {
    ZoomBy(event.key === "-" ? 1 / kZoomStep : kZoomStep);
  } else {
    return;
  }
  event.preventDefault();
}

export function StartPaint() {
  ChooseTool(null);
  ShowCursor(null);
  for (const button of tools) button.addEventListener("click", () => ChooseTool(button.dataset.cell));
  noTool.addEventListener("click", () => ChooseTool(null));
  document.getElementById("zoom-in").addEventListener("click", () => ZoomBy(kZoomStep));
  document.getElementById("zoom-out").addEventListener("click", () => ZoomBy(1 / kZoomStep));
  mapView.addEventListener("wheel", (event) => {
    if (!event.ctrlKey) return;
    event.preventDefault();
    ZoomBy(Math.exp(-event.deltaY / 200), event.clientX, event.clientY);
  }, {passive: false});
  mapView.addEventListener("pointerdown", Down);
  mapView.addEventListener("pointermove", Move);
  mapView.addEventListener("pointerup", Up);
  mapView.addEventListener("pointercancel", Lift);
  mapView.addEventListener("keydown", Press);
  mapView.addEventListener("focus", () => ShowCursor(cursor));
  mapView.addEventListener("blur", () => ShowCursor(null));
  OnMapShown((shown) => {
    for (const button of tools) {
      button.disabled = !shown.map;
      button.style.setProperty("--cell", CellColour(button.dataset.cell) || "transparent");
    }
    // Only the page's own line on there being no map goes with a map;
    // whatever a stroke or a key said stays.
    const none = shown.why ? "There is nothing to paint on. " + shown.why : "";
    if (!shown.map || paintSaid.textContent.startsWith("There is nothing to paint on.")) paintSaid.textContent = none;
    if (document.activeElement === mapView) ShowCursor(cursor);
  });
}
