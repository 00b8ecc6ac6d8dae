// bytes.js: a file's bytes as the page's text holds them, one character a
// byte, and back; a character typed beyond a byte is written as UTF-8.

// The symbol for a carriage return, which the page's text area once stood
// in its place: a text kept from then gives the return back.
const kReturnSymbol = "\u240d";
const encoder = new TextEncoder();
const kBeyondAscii = /[^\x00-\x7f]/;

// Each byte as the character of its code.
export function ByteString(bytes) {
  let text = "";
  for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 8192));
  return text;
}

// Bytes written one piece of text after another, the buffer grown as a
// character beyond a byte needs.
export function ByteWriter(expected) {
  let bytes = new Uint8Array(expected), size = 0;
  const Room = (more) => {
    if (size + more <= bytes.length) return;
    const grown = new Uint8Array(Math.max(2 * bytes.length, size + more));
    grown.set(bytes.subarray(0, size));
    bytes = grown;
  };
  const Write = (text) => {
    Room(text.length);
    // Nearly every maze is plain ASCII, a byte a character as UTF-8 has it.
    if (!kBeyondAscii.test(text)) {
      size += encoder.encodeInto(text, bytes.subarray(size)).written;
      return;
    }
    for (let i = 0; i < text.length; i++) {
      const code = text.charCodeAt(i);
      if (code < 0x100) {
        bytes[size++] = code;
        continue;
      }
      const character = String.fromCodePoint(text.codePointAt(i));
      if (character.length === 2) i++;
      const wide = character === kReturnSymbol ? [13] : encoder.encode(character);
      Room(wide.length + text.length - i);
      bytes.set(wide, size);
      size += wide.length;
    }
  };
  return {Write: Write, Bytes: () => bytes.subarray(0, size)};
}

export function BytesOfText(text) {
  const writer = ByteWriter(text.length);
  writer.Write(text);
  return writer.Bytes();
}

export function SameBytes(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; i++) if (a[i] !== b[i]) return false;
  return true;
}

// A short, stable name for a text.
export function Hash(text) {
  let hash = 5381;
  for (let i = 0; i < text.length; i++) hash = (hash * 33 + text.charCodeAt(i)) >>> 0;
  return hash.toString(36);
}
