// page.js: the page's start: the options of its address, the files an
// exported page holds, then the maze of its link, or else the draft, or else
// the bundled maze.
const query = new URLSearchParams(location.search);
optionA.checked = query.has("a");
optionNr.checked = query.has("nr");
ReadPageFiles().then(OpenLink).then((opened) => {
  if (opened) return;
  const draft = Draft();
  if (draft === null) return Walk(null, new Map(), "the bundled maze");
  SetEditorText(draft);
  Walk(EditorBytes(), new Map(), "the maze in the editor");
});
