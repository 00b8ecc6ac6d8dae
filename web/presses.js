// presses.js: the walk's keys as the page's own controls hold them: each
// control holds keys of its own, a key goes down as the first takes it and
// up as the last lets go, and every one is let go as the walk ends or the
// page loses the player.
import {OnWalkEnded, RunningWalk} from "./walk.js";

// The keys the walk takes, as keyCode gives them.
export const kForward = 73, kBack = 75, kLeft = 74, kRight = 76, kEscape = 27;

const holders = new Map();  // a control's name -> the key codes it holds

// The keys a stick held this far from its centre presses: up or down past
// the dead zone walks, left or right turns, and both do both.
export function StickKeys(x, y, dead) {
  const keys = new Set();
  if (y < -dead) keys.add(kForward);
  if (y > dead) keys.add(kBack);
  if (x < -dead) keys.add(kLeft);
  if (x > dead) keys.add(kRight);
  return keys;
}

function Held() {
  return new Set([...holders.values()].flatMap((keys) => [...keys]));
}

// The control now holds these keys, and no others.
export function Hold(holder, keys) {
  const before = Held();
  if (keys.size === 0) holders.delete(holder);
  else holders.set(holder, new Set(keys));
  const after = Held(), walk = RunningWalk();
  if (!walk) return;
  for (const key of before) if (!after.has(key)) walk.pressKey(key, false);
  for (const key of after) if (!before.has(key)) walk.pressKey(key, true);
}

// Every control whose name passes which lets go.
export function LetGo(which = () => true) {
  for (const holder of [...holders.keys()]) if (which(holder)) Hold(holder, new Set());
}

OnWalkEnded(() => LetGo());
window.addEventListener("blur", () => LetGo());
document.addEventListener("visibilitychange", () => { if (document.hidden) LetGo(); });
