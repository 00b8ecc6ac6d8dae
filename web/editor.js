// editor.js: the maze's text as its author edits it: an editor that holds a
// file one character a byte, a carriage return a character and not a line's
// end, with the check's problems marked where they stand, and the bytes it
// stands for.
import {EditorState, Transaction} from "@codemirror/state";
import {EditorView, crosshairCursor, drawSelection, highlightActiveLine, highlightActiveLineGutter,
        highlightSpecialChars, keymap, lineNumbers, rectangularSelection} from "@codemirror/view";
import {defaultKeymap, deleteCharBackwardStrict, history, historyKeymap, insertNewline, isolateHistory,
        redo, undo} from "@codemirror/commands";
import {highlightSelectionMatches, search, searchKeymap} from "@codemirror/search";
import {lintGutter, lintKeymap, previousDiagnostic, setDiagnostics} from "@codemirror/lint";
import {ByteWriter} from "./bytes.js";

// The text is read in slices, and the page's thread let go between them
// once it has been held this long, in milliseconds.
const kSlice = 65536;
const kHeldAtMost = 10;

let view = null;
let caretSaid = null;
const told = [];  // told of each change to the text: {typed}, true for the author's, false for the page's

const theme = EditorView.theme({
  "&": {height: "24em", background: "#000", color: "#ddd", border: "1px solid #333", fontSize: "13px"},
  "&.cm-focused": {outline: "1px solid #598cff"},
  ".cm-scroller": {fontFamily: "monospace", lineHeight: "1.3"},
  ".cm-content": {caretColor: "#fff"},
  ".cm-cursor": {borderLeftColor: "#fff"},
  ".cm-gutters": {background: "#111", color: "#aaa", borderRight: "1px solid #333"},
  ".cm-activeLine": {background: "#ffffff12"},
  ".cm-activeLineGutter": {background: "#222", color: "#ddd"},
  "&.cm-focused .cm-selectionBackground, .cm-selectionBackground": {background: "#2b4a8a !important"},
  ".cm-selectionMatch": {background: "#3a3a20"},
  ".cm-searchMatch": {background: "#5a4a00", outline: "1px solid #a08000"},
  ".cm-searchMatch-selected": {background: "#806a00"},
  ".cm-panels": {background: "#1a1a1a", color: "#ddd"},
  ".cm-panels input, .cm-panels button": {font: "inherit", color: "#ddd", background: "#222", border: "1px solid #555"},
  ".cm-specialChar": {color: "#ff7a6b"},
  ".cm-tooltip": {background: "#222", color: "#ddd", border: "1px solid #555"},
  ".cm-diagnosticText": {whiteSpace: "pre-wrap"},
}, {dark: true});

// The editor in parent, named by the element labelledBy and described by
// describedBy; caret says where the caret stands.
export function StartEditor(parent, caret, labelledBy, describedBy) {
  view = new EditorView({
    parent: parent,
    state: EditorState.create({
      extensions: [
        EditorState.lineSeparator.of("\n"),
        EditorState.allowMultipleSelections.of(true),
        lineNumbers(), highlightActiveLineGutter(), highlightActiveLine(), highlightSpecialChars(),
        drawSelection(), rectangularSelection(), crosshairCursor(), history(), search({top: true}),
        highlightSelectionMatches(), lintGutter(), theme,
        // A blank is a cell: Enter copies none of the line's, and Backspace
        // takes one character, however many blanks stand before it.
        keymap.of([{key: "Enter", run: insertNewline}, {key: "Backspace", run: deleteCharBackwardStrict,
                    shift: deleteCharBackwardStrict},
                   {key: "Mod-Shift-z", run: redo, preventDefault: true}, {key: "Shift-F8", run: previousDiagnostic},
                   ...defaultKeymap, ...historyKeymap, ...searchKeymap, ...lintKeymap]),
        // Named, and said to be the one stop for the keyboard in its box,
        // which it is already as a text that can be edited.
        EditorView.contentAttributes.of({"aria-labelledby": labelledBy, "aria-describedby": describedBy,
                                         "tabindex": "0", "spellcheck": "false", "autocorrect": "off",
                                         "autocapitalize": "off"}),
        EditorView.updateListener.of((update) => {
          if (update.selectionSet || update.docChanged) ShowCaret();
          if (update.docChanged) for (const tell of told) tell({typed: true});
        }),
      ],
    }),
  });
  caretSaid = caret;
}

function ShowCaret() {
  const place = CaretPlace();
  caretSaid.textContent = "Line " + place.line + ", column " + place.column;
}

// tell({typed}) on each change to the text: typed is true for the
// author's, undoing and redoing among them, and false for a text put in.
export function OnEditorChange(tell) {
  told.push(tell);
}

export function EditorText() {
  return view.state.doc.toString();
}

export function EditorLength() {
  return view.state.doc.length;
}

// Puts a text in the editor, one step of its history, so that undoing it
// brings back what was there; the first text put in an empty editor is
// none. The view starts afresh on the new state, history and all: changed
// in place, an editor out of sight would lay out every line of the text.
export function PutInEditor(text) {
  const doc = view.state.doc;
  view.setState(view.state.update({
    changes: {from: 0, to: doc.length, insert: text},
    selection: {anchor: 0},
    annotations: [isolateHistory.of("full"), Transaction.addToHistory.of(doc.length > 0)],
  }).state);
  ShowCaret();
  for (const tell of told) tell({typed: false});
}

// The text read a slice at a time, the thread let go between slices once
// it has been held too long, and after the last then too, so that what
// comes next is a task of its own; a text read at once goes on in the same
// task, with no wait behind the walk's frame.
async function EachSlice(doc, take) {
  let since = performance.now(), longest = {start: since, duration: 0};
  const Held = () => {
    const held = performance.now() - since;
    if (held > longest.duration) longest = {start: since, duration: held};
    return held > kHeldAtMost;
  };
  for (let at = 0; at < doc.length; at += kSlice) {
    take(doc.sliceString(at, Math.min(at + kSlice, doc.length)));
    if (at + kSlice < doc.length && Held()) {
      await new Promise((resolve) => setTimeout(resolve, 0));
      since = performance.now();
    }
  }
  if (Held()) await new Promise((resolve) => setTimeout(resolve, 0));
  // Marked for whoever measures the page: the longest the thread was held.
  performance.measure("zumbrel-text-held", longest);
}

// The editor's text as bytes, as they stood when asked for; the text is
// read a slice at a time, so that a large one never holds up the page.
let lastBytes = {doc: null, bytes: null};
export async function EditorBytes() {
  const doc = view.state.doc;
  if (lastBytes.doc === doc) return lastBytes.bytes;
  const writer = ByteWriter(doc.length);
  await EachSlice(doc, writer.Write);
  lastBytes = {doc: doc, bytes: writer.Bytes()};
  return lastBytes.bytes;
}

// The editor's text, read as the bytes are; null when it changed while it
// was read.
export async function EditorTextSoon() {
  const doc = view.state.doc, slices = [];
  await EachSlice(doc, (slice) => slices.push(slice));
  return view.state.doc === doc ? slices.join("") : null;
}

// Where the caret stands: a 1-based line and column.
export function CaretPlace() {
  const head = view.state.selection.main.head, line = view.state.doc.lineAt(head);
  return {line: line.number, column: head - line.from + 1};
}

// The place of a 1-based line and column, held within the text.
function Position(doc, line, column) {
  const at = doc.line(Math.min(Math.max(line, 1), doc.lines));
  return at.from + Math.min(Math.max(column - 1, 0), at.length);
}

export function MoveCaret(line, column) {
  const at = Position(view.state.doc, line, column);
  view.dispatch({selection: {anchor: at}, scrollIntoView: true});
  view.focus();
}

// The problems, each {line, column, message}, marked in the text: the
// character at its place underlined, or the place itself at a line's end.
export function MarkProblems(problems) {
  const doc = view.state.doc;
  const diagnostics = problems.map((problem) => {
    const from = Position(doc, problem.line, problem.column), end = doc.lineAt(from).to;
    return {from: from, to: Math.min(from + 1, end), severity: "error", message: problem.message};
  });
  view.dispatch(setDiagnostics(view.state, diagnostics));
}

// The character at a cell, {row, column} from 0, a row a line: "" past the
// line's end or the text's.
export function CharacterAt(cell) {
  const doc = view.state.doc;
  if (cell.row + 1 > doc.lines) return "";
  const line = doc.line(cell.row + 1);
  return cell.column < line.length ? doc.sliceString(line.from + cell.column, line.from + cell.column + 1) : "";
}

// Writes character at every cell of each box, {row, column, rows,
// columns} from 0, as one step of the history, a row a line: a line too
// short is padded with blanks, and lines are added below the last, the text
// ending in a newline still if it did.
export function WriteCells(character, boxes) {
  const doc = view.state.doc;
  const rows = new Map();  // line number -> the runs of columns painted, [first, end)
  for (const box of boxes) {
    for (let number = box.row + 1; number <= box.row + (box.rows || 1); number++) {
      const runs = rows.get(number) || rows.set(number, []).get(number);
      runs.push([box.column, box.column + (box.columns || 1)]);
    }
  }
  // Lines before the last change where they are painted and past their end;
  // the last line and those added below it are written whole, at the
  // text's end.
  const last = doc.lines, ended = last > 1 && doc.line(last).length === 0, changes = [], added = [];
  for (const [number, runs] of [...rows].sort((a, b) => a[0] - b[0])) {
    if (number >= last) {
      added[number - last] = runs;
      continue;
    }
    const line = doc.line(number);
    const painted = Painted(line.length, runs, character);
    for (const change of painted.within) changes.push({from: line.from + change.from, to: line.from + change.to, insert: change.insert});
    if (painted.past) changes.push({from: line.to, insert: painted.past});
  }
  if (added.length) {
    const lines = [];
    for (let n = 0; n < added.length; n++) {
      const text = n === 0 ? doc.line(last).text : "";
      if (!added[n]) {
        lines.push(text);
        continue;
      }
      const painted = Painted(text.length, added[n], character);
      let written = text;
      for (const change of painted.within) written = written.slice(0, change.from) + change.insert + written.slice(change.to);
      lines.push(written + painted.past);
    }
    changes.push({from: doc.line(last).from, to: doc.length, insert: lines.join("\n") + (ended ? "\n" : "")});
  }
  view.dispatch({changes: changes, userEvent: "input.paint", annotations: isolateHistory.of("full")});
}

// What runs of character make of a line of length characters: the spans
// within it replaced, in order, and what follows its end, padded with
// blanks up to each run.
function Painted(length, runs, character) {
  runs.sort((a, b) => a[0] - b[0]);
  const within = [];
  let past = "", end = length;
  for (const [first, last] of runs) {
    const from = Math.max(first, within.length ? within.at(-1).to : 0);
    if (from < Math.min(last, length)) {
      const to = Math.min(last, length);
      if (within.length && within.at(-1).to === from) {
        within.at(-1).to = to;
        within.at(-1).insert += character.repeat(to - from);
      } else {
        within.push({from: from, to: to, insert: character.repeat(to - from)});
      }
    }
    if (last > end) {
      const start = Math.max(first, end);
      past += " ".repeat(start - end) + character.repeat(last - start);
      end = last;
    }
  }
  return {within: within, past: past};
}

// The editor's last step taken back, or put back again.
export function UndoInEditor() {
  undo(view);
}

export function RedoInEditor() {
  redo(view);
}

export function FocusEditor() {
  view.focus();
}
