// map.js: the maze's map as the map tool draws it, in a box that zooms and
// pans: where a point on it falls in cells, and cells drawn over it at once
// in the map's own colours, until the next map comes.

// A map of more markup than this would hold up the page as it is drawn.
export const kLargestMap = 4 * 1024 * 1024;
// The map's legend, above its first row, in its pixels.
export const kLegend = 28;
// Rows and columns shown past the maze's last, to paint on.
const kMargin = 8;
// The most a map is zoomed, from filling its box's width.
const kMostZoom = 64;

const mapView = document.getElementById("map-view");
const mapFrame = document.getElementById("map-frame");
const mapBox = document.getElementById("map");
const marker = document.getElementById("marker");

const svgSpace = "http://www.w3.org/2000/svg";
let cells = null;      // the map's group, a unit a cell
let scale = 0;         // its pixels a cell
let colours = null;    // a cell's character -> the map's colour for it
let zoom = 1;
let extent = {rows: 0, columns: 0};  // the rows and columns it shows
let rowsAreLines = true;  // each of its rows a line of the text
const shown = [];      // told of each map shown, or none

// Drawn over the map's cells: what is painted and not yet mapped, the
// stroke being made, and the cell cursor.
const painted = document.createElementNS(svgSpace, "g");
const stroke = document.createElementNS(svgSpace, "g");
const cursor = document.createElementNS(svgSpace, "path");
cursor.setAttribute("fill", "none");
cursor.setAttribute("stroke", "#ffffff");
cursor.setAttribute("stroke-width", "0.2");
cursor.setAttribute("d", "M0 0h1v1h-1z");

// The tool's map, scaled to fit its box with room past its last row and
// column, and the page's marker laid over it in the same units; or, where
// the tool gave up a map past the largest, why there is none.
export function ShowMap(svg, lines) {
  mapBox.textContent = "";
  cells = null;
  scale = 0;
  extent = {rows: 0, columns: 0};
  rowsAreLines = !lines.some((line) => /^maze\.txt:\d+:\d+: a row holds at most \d+ characters/.test(line));
  painted.textContent = "";
  let why = "";
  if (!svg) {
    if (lines.some((line) => line.startsWith("zumbrel-map: the map of maze.txt would be more than"))) {
      why = "The map of a maze this large is left out: it would be more than the " + kLargestMap +
            " bytes of SVG the page draws.";
      mapBox.textContent = why;
    }
    for (const tell of shown) tell({map: false, why: why});
    return;
  }
  mapBox.innerHTML = new TextDecoder().decode(svg);
  const map = mapBox.firstElementChild;
  cells = map.querySelector("g[transform*=scale]");
  scale = cells ? Number(/scale\((\d+)\)/.exec(cells.getAttribute("transform"))[1]) : 0;
  const width = Number(map.getAttribute("width")) + kMargin * scale;
  const height = Number(map.getAttribute("height")) + kMargin * scale;
  for (const picture of [map, marker]) picture.setAttribute("viewBox", "0 0 " + width + " " + height);
  extent = scale ? {rows: Math.floor((height - kLegend) / scale), columns: Math.floor(width / scale)} : {rows: 0, columns: 0};
  map.setAttribute("width", width);
  map.setAttribute("height", height);
  // The legend's squares, in kind order, and the ground for a blank.
  const legend = Array.from(map.querySelectorAll("g[font-family] rect"), (square) => square.getAttribute("fill"));
  colours = new Map([...".#DOTPX"].map((character, k) => [character, legend[k]]));
  colours.set(" ", map.querySelector("rect").getAttribute("fill"));
  // Its text: the cells it spans, in the group's own units.
  const box = cells && cells.getBBox();
  mapFrame.setAttribute("aria-label", box ? "The map of the maze, " + Math.round(box.x + box.width) + " cells wide and " +
                                            Math.round(box.y + box.height) + " high" : "The map of the maze");
  if (cells) cells.append(painted, stroke, cursor);
  for (const tell of shown) tell({map: Boolean(cells), why: ""});
}

// tell({map, why}) on each map shown or left out: map is whether there are
// cells to paint on, why what the map says when there are none.
export function OnMapShown(tell) {
  shown.push(tell);
}

export function MapScale() {
  return scale;
}

// Whether each row of the map is a line of the text: not where a line is
// longer than a row, which the map tool names among its problems.
export function MapRowsAreLines() {
  return rowsAreLines;
}

// The rows and columns the map shows, past the maze's own included.
export function MapExtent() {
  return extent;
}

// The map's colour for a cell's character.
export function CellColour(character) {
  return colours && colours.get(character);
}

// Where a point of the page falls on the map, in cells from its first row's
// first cell; null where there is no map.
export function CellPoint(clientX, clientY) {
  if (!cells) return null;
  const point = new DOMPoint(clientX, clientY).matrixTransform(cells.getScreenCTM().inverse());
  return {x: point.x, y: point.y};
}

// Each {row, column, rows, columns} drawn in character's colour: on the
// stroke being made, or with it done, on what is painted.
export function DrawCells(character, boxes, done) {
  if (!cells) return;
  const path = document.createElementNS(svgSpace, "path");
  path.setAttribute("fill", colours.get(character));
  path.setAttribute("d", boxes.map((box) => "M" + box.column + " " + box.row + "h" + (box.columns || 1) + "v" +
                                            (box.rows || 1) + "h-" + (box.columns || 1) + "z").join(""));
  (done ? painted : stroke).append(path);
}

// The stroke being made: kept, as painted, or taken back.
export function EndStroke(kept) {
  if (kept) painted.append(...stroke.childNodes);
  stroke.textContent = "";
}

// The cell cursor at a cell, brought into the box's view, or hidden.
export function ShowCursor(cell) {
  cursor.style.display = cell ? "" : "none";
  if (!cell || !cells) return;
  cursor.setAttribute("transform", "translate(" + cell.column + " " + cell.row + ")");
  cursor.scrollIntoView({block: "nearest", inline: "nearest"});
}

// The map zoomed by a factor, the point of the page under (clientX, clientY)
// staying where it is; the box's middle without one.
export function ZoomBy(factor, clientX, clientY) {
  const view = mapView.getBoundingClientRect();
  const x = (clientX ?? view.left + view.width / 2) - view.left, y = (clientY ?? view.top + view.height / 2) - view.top;
  const before = zoom;
  zoom = Math.min(Math.max(zoom * factor, 1), kMostZoom);
  mapFrame.style.width = zoom * 100 + "%";
  mapView.scrollLeft = (mapView.scrollLeft + x) * zoom / before - x;
  mapView.scrollTop = (mapView.scrollTop + y) * zoom / before - y;
}

export function PanBy(dx, dy) {
  mapView.scrollLeft += dx;
  mapView.scrollTop += dy;
}
