// presses.js: the walk's keys as the page's own controls hold them: each
// control holds keys of its own, a key goes down as the first takes it and
// up as the last lets go, and every one is let go as the walk ends or the
// page loses the player.
import {OnWalkEnded, RunningWalk} from "./walk.js";

const holders = new Map();  // a control's name -> the key codes it holds

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
