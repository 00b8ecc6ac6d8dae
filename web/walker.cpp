// walker.cpp: where the walker stands and which way it faces, for the page's
// map, read between ticks.
#include <emscripten.h>

#include "world/maze.h"

// The walker's place in the world, x then y, and its heading in radians.
extern "C" EMSCRIPTEN_KEEPALIVE float ZumbrelWalker(int what) {
  if (what == 0) return gMaze.walker.x;
  if (what == 1) return gMaze.walker.y;
  return gMaze.heading;
}
