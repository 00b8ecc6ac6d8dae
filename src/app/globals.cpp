// globals.cpp: the one Maze and the program's flags and counters.
#include "app/app.h"
#include "render/render.h"
#include "world/maze.h"

Maze gMaze;

// Set from the command line, fixed once start-up has parsed it.
bool gUseAlpha = false;
bool gRotateObjects = true;
bool gVerbose = false;

int gWindowId = 0;
int64_t gStartTime = 0;  // seconds, the clock at start-up

// Counters for the frame report.
int64_t gUpdateCount = 0;
int gObjectsDrawn = 0;
int gObjectTotal = 0;
