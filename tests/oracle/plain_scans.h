// plain_scans.h: the frame and the tick as plain scans of every list, the
// reference that the row-indexed lookups of the program must agree with.
#pragma once

#include "world/maze.h"

// Draws a frame as Maze::Draw does, testing every cell of every list.
void PlainDraw(Maze& maze);

// Runs a tick as Maze::Update does, scanning every list for the walker.
void PlainUpdate(Maze& maze);
