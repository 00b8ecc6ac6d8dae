// update.cpp: one tick of the world: walking, walls, orbs, eye height, teleports.
#include "world/maze.h"
