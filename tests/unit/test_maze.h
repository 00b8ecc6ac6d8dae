// test_maze.h: mazes read as start-up reads them, for the tests.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture.h"
#include "support/scratch.h"

#include "world/maze.h"

// Reads maze text into a maze as start-up does, with its statistics out of
// the way.
inline void LoadMazeQuietly(const std::string& text, Maze& maze) {
  ScratchDir dir;
  dir.Write("maze.txt", text);
  WorkingDir cd(dir.Path());
  StdoutCapture quiet;
  maze.LoadMaze();
}

// The bundled maze file's text.
inline std::string BundledMazeText() {
  std::string text;
  FILE* file = fopen(ZUMBREL_DATA_DIR "/maze.txt", "rb");
  char buffer[4096];
  size_t n;
  while (file != nullptr && (n = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  if (file != nullptr) fclose(file);
  return text;
}
