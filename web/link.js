// link.js: a link that carries the maze, and the models that are not the
// bundled ones: zumbrel.html?OPTIONS#maze=DATA&orb=DATA, each DATA the
// file's bytes compressed with raw DEFLATE and written in base64url.

// A longer link is not made: browsers and the places links are sent to cut
// them short.
const kLongestLink = 64 * 1024;
const shareLink = document.getElementById("share-link");

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

// The inflated bytes, or a reason they cannot be had. Inflating stops as
// soon as they pass the largest file, before more is kept.
async function Inflate(bytes) {
  const reader = new Blob([bytes]).stream().pipeThrough(new DecompressionStream("deflate-raw")).getReader();
  const parts = [];
  let size = 0;
  try {
    for (let part = await reader.read(); !part.done; part = await reader.read()) {
      size += part.value.length;
      if (size > kLargestFile) {
        reader.cancel();
        return {refusal: "is more than " + kLargestFile + " bytes once inflated"};
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
// link.
async function FilesOfLink(hash) {
  const fields = new URLSearchParams(hash.slice(1));
  const names = ["maze", ...kModelNames.map((name) => name.slice(0, -4))];
  if (!names.some((name) => fields.has(name))) return null;
  let maze = null;
  const models = new Map();
  for (const name of names) {
    if (!fields.has(name)) continue;
    const deflated = BytesOfBase64url(fields.get(name));
    const inflated = deflated ? await Inflate(deflated) : {refusal: "is not base64url"};
    if (inflated.refusal) return {refusal: "This link's " + name + " " + inflated.refusal + "."};
    if (name === "maze") maze = inflated.bytes;
    else models.set(name + ".txt", inflated.bytes);
  }
  return {maze: maze, models: models};
}

function SameBytes(a, b) {
  return a.length === b.length && a.every((byte, i) => byte === b[i]);
}

// The link to the editor's maze and the models given that are not the
// bundled ones, shown, put in the address and copied; or, past the longest
// link, Save offered instead.
async function Share() {
  let hash = "#maze=" + Base64url(await Deflate(EditorBytes()));
  for (const [name, bytes] of walkModels) {
    if (!bundledFiles || !SameBytes(bytes, bundledFiles.get(name))) {
      hash += "&" + name.slice(0, -4) + "=" + Base64url(await Deflate(bytes));
    }
  }
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

// Walks the maze of the link in the address; a malformed one is refused,
// and the bundled maze walked, the draft staying a draft. False when the
// address is no such link.
async function OpenLink() {
  const files = await FilesOfLink(location.hash);
  if (!files) return false;
  if (files.refusal) {
    const draft = Draft();
    if (draft !== null) SetEditorText(draft);
    Walk(null, new Map(), "the bundled maze");
    Say(files.refusal + " The bundled maze is walked instead.", true);
    return true;
  }
  if (files.maze) SetEditorBytes(files.maze);
  Walk(files.maze, files.models, "the maze of the link");
  return true;
}

document.getElementById("share").addEventListener("click", Share);
window.addEventListener("hashchange", OpenLink);
