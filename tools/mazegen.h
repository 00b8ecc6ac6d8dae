// mazegen.h: generates mazes in the maze file format.
#pragma once

#include <cstdint>
#include <string>

#include "world/maze.h"

// The widest maze whose rows the reader takes line for line.
constexpr int kWidestMaze = kWidestMazeLine;

// The tallest maze in which a walker still moves in fine steps: its last
// row lies at y = -999,995, where a float position moves in steps of 1/16.
constexpr int kTallestMaze = 200000;

struct MazeRequest {
  int width = 31;  // cells, border included: 3 to kWidestMaze
  int height = 31; // cells, border included: 3 to kTallestMaze
  uint64_t seed = 1;
  int doors = 5;
  int orbs = 5;
  int pedestals = 5;
  int teleports = 5;
};

// The maze as the file holds it: rows of width characters and a newline,
// closed by walls, with one start and every open cell reachable from it by
// the tick's steps; a teleport never stands on the only way into a place.
// The same request gives the same bytes. Returns false, with a message in
// error, for a request that cannot be met.
bool GenerateMaze(const MazeRequest& request, std::string& maze, std::string& error);
