// page.js: the page's start: the options of its address, the tab's key and
// the drafts of tabs that are gone, the files an exported page holds, the
// tab's draft in the editor, then the maze of its link, or else the draft,
// or else the bundled maze.
const query = new URLSearchParams(location.search);
optionA.checked = query.has("a");
optionNr.checked = query.has("nr");
ClaimTab().then(ReadPageFiles).then(() => {
  const draft = Draft();
  if (draft !== null) SetEditorText(draft);
  return OpenLink();
}).then((opened) => {
  if (opened) return;
  if (Draft() === null) return Walk(null, new Map(), "the bundled maze");
  Walk(EditorBytes(), new Map(), "the maze in the editor");
});
