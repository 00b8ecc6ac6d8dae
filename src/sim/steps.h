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
// onto an empty cell (the start's included) for kind -1, in this maze.
StepOutcome OutcomeOfStepOnto(const Maze& maze, int kind);

// A step is at most one unit long and is tested only where it ends, so
// from a cell the walker reaches the eight around it: across an edge, and
// across a corner too, even between two walls beside that corner.
constexpr int kStepNeighbours[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1},
                                       {0, 1},   {1, -1}, {1, 0},  {1, 1}};
