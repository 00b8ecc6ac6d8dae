// steps.h: where one tick can take a walker, cell by cell: the tick's rules
// for the tools that reason about whole cells, such as a maze check.
#pragma once

#include "world/maze.h"

// What a tick does with a walker whose step ends on a cell.
enum StepOutcome {
  kStepRefused,  // the cell blocks: the walker stays or slides
  kStepTaken,    // the walker stands on the cell
  kStepThrown,   // the walker is thrown onto a random space cell
};

// The outcome of a step onto a cell holding a component of the kind, or
// onto an empty cell (the start's included) for kind -1, where teleports
// throw or, with no space cell to land on, do not.
StepOutcome OutcomeOfStepOnto(int kind, bool teleportsThrow);

// A teleport throws the walker only where there is a space cell to land on.
inline bool TeleportsThrow(const Maze& maze) { return maze.used[kSpace] > 0; }

// The same, in this maze.
inline StepOutcome OutcomeOfStepOnto(const Maze& maze, int kind) {
  return OutcomeOfStepOnto(kind, TeleportsThrow(maze));
}

// Positions are floats, whose steps are whole units up to 2^24: below it a
// step of one unit or less along y rounds to nothing. The walker crosses
// rows only down to this one, the last whose square begins above y = -2^24;
// in a row below it, the walker moves along its row alone. Throws land
// anywhere.
constexpr int64_t kDeepestRowWalkedTo = (int64_t{1} << 24) / kCellSize;

// The index of a space cell to throw the walker onto, drawn from count.
// draw gives whole numbers from 0 to drawMax, as rand() does up to RAND_MAX.
// With glibc's RAND_MAX it is draw() % count, one draw, as it always was;
// with any other, as Windows' 32,767, it is exactly uniform: drawn as many
// times as the count needs, and again from a last, partial span of counts.
constexpr int64_t kGlibcDraws = int64_t{1} << 31;
int DrawBelow(int count, int (*draw)(), int64_t drawMax);

// A step is at most one unit long and is tested only where it ends, so
// from a cell the walker reaches the eight around it: across an edge, and
// across a corner too, even between two walls beside that corner.
constexpr int kStepNeighbours[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1},
                                       {0, 1},   {1, -1}, {1, 0},  {1, 1}};
