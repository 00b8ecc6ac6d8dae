// gamepad.js: a gamepad with the standard mapping, read once a frame: its
// left stick and its d-pad walk and turn, and Start does what Escape does;
// the page names each pad as it is first used.
import {Hold, LetGo, StickKeys, kBack, kEscape, kForward, kLeft, kRight} from "./presses.js";

const kDeadZone = 0.25;
const kStart = 9;
const kPadKeys = [[12, kForward], [13, kBack], [14, kLeft], [15, kRight]];  // d-pad buttons

const padSaid = document.getElementById("pad-said");
const named = new Set();   // pads named, by index
const started = new Set(); // pads whose Start is down

function Pressed(pad, button) {
  return Boolean(pad.buttons[button] && pad.buttons[button].pressed);
}

function PadKeys(pad) {
  const [x = 0, y = 0] = pad.axes;
  const keys = StickKeys(x, y, kDeadZone);
  for (const [button, key] of kPadKeys) if (Pressed(pad, button)) keys.add(key);
  return keys;
}

function Used(pad) {
  return pad.buttons.some((button) => button.pressed) || pad.axes.some((axis) => Math.abs(axis) > kDeadZone);
}

function Name(pad) {
  if (named.has(pad.index) || !Used(pad)) return;
  named.add(pad.index);
  padSaid.textContent = "Gamepad: " + pad.id + (pad.mapping === "standard" ? "." :
      ". Its buttons are not known to the page, which walks with pads of the standard mapping.");
}

// Start goes down and up as it is pressed, as Escape would.
function Start(pad, holder) {
  const down = Pressed(pad, kStart);
  if (down && !started.has(pad.index)) {
    Hold(holder + " start", new Set([kEscape]));
    LetGo((name) => name === holder + " start");
  }
  if (down) started.add(pad.index);
  else started.delete(pad.index);
}

function ReadPads() {
  const pads = navigator.getGamepads ? Array.from(navigator.getGamepads()).filter(Boolean) : [];
  const present = new Set();
  for (const pad of pads) {
    if (!pad.connected) continue;
    const holder = "gamepad " + pad.index;
    present.add(holder);
    Name(pad);
    if (pad.mapping !== "standard") continue;
    Hold(holder, PadKeys(pad));
    Start(pad, holder);
  }
  // A pad gone lets go of its keys.
  LetGo((holder) => holder.startsWith("gamepad ") && !present.has(holder));
  requestAnimationFrame(ReadPads);
}

export function StartGamepads() {
  window.addEventListener("gamepaddisconnected", (event) => {
    started.delete(event.gamepad.index);
    LetGo((holder) => holder === "gamepad " + event.gamepad.index);
  });
  requestAnimationFrame(ReadPads);
}
