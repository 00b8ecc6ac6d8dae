// touch.js: walking without a keyboard: the four buttons under the thumbs,
// each finger pressing the one it is on as it slides, and a finger dragged
// on the picture as a stick; shown on a touch screen, or once one is used.
import {Hold, LetGo, StickKeys} from "./presses.js";

// The stick's dead zone, as a share of the picture's shown size.
const kDeadZone = 0.1;

const play = document.getElementById("play");
const touch = document.getElementById("touch");

// The button's key under a point, if any.
function KeyAt(x, y) {
  const button = document.elementFromPoint(x, y)?.closest("#touch button");
  return button ? new Set([Number(button.dataset.key)]) : new Set();
}

// Each finger on the buttons, and each on the picture, holds keys of its
// own until it lifts or is cancelled.
const sticks = new Map();  // pointer -> where it landed and the picture's size
function Pointer(event) {
  return "pointer " + event.pointerId;
}

function Down(event) {
  const onButton = event.target.closest("#touch button");
  const onPicture = event.target.id === "canvas" && event.pointerType !== "mouse";
  if (!onButton && !onPicture) return;
  if (onButton) event.preventDefault();
  event.target.setPointerCapture(event.pointerId);
  if (onPicture) {
    sticks.set(event.pointerId, {x: event.clientX, y: event.clientY, size: event.target.getBoundingClientRect().width});
  }
  Hold(Pointer(event), onButton ? KeyAt(event.clientX, event.clientY) : new Set());
}

function Move(event) {
  const stick = sticks.get(event.pointerId);
  if (stick) return Hold(Pointer(event), StickKeys(event.clientX - stick.x, event.clientY - stick.y, kDeadZone * stick.size));
  if (event.target.closest("#touch")) Hold(Pointer(event), KeyAt(event.clientX, event.clientY));
}

function Up(event) {
  sticks.delete(event.pointerId);
  LetGo((holder) => holder === Pointer(event));
}

// The controls are shown on a screen with any coarse pointer, and from the
// first touch on one with only a fine one.
function ShowControls() {
  document.documentElement.classList.add("touch");
}

export function StartTouch() {
  if (matchMedia("(any-pointer: coarse)").matches) ShowControls();
  document.addEventListener("pointerdown", (event) => { if (event.pointerType === "touch") ShowControls(); }, true);
  play.addEventListener("pointerdown", Down);
  play.addEventListener("pointermove", Move);
  for (const end of ["pointerup", "pointercancel", "lostpointercapture"]) play.addEventListener(end, Up);
  // A touch the browser takes over lets go of every finger's keys.
  document.addEventListener("touchcancel", () => {
    sticks.clear();
    LetGo((holder) => holder.startsWith("pointer "));
  });
  // A long press on a button opens no menu.
  touch.addEventListener("contextmenu", (event) => event.preventDefault());
}
