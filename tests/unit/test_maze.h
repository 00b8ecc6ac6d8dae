// test_maze.h: a Maze that frees what it allocated, for tests that build many.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture.h"
#include "support/scratch.h"

#include "world/maze.h"
#include "world/row_index.h"

// Frees a model as the reader builds it: polygons made with new, their
// vertex arrays and the list itself with malloc.
inline void FreeModel(PolygonList polygons, int count) {
  if (polygons == nullptr) return;
  for (int i = 0; i < count; i++) {
    free(polygons[i]->vertices);
    delete polygons[i];
  }
  free(polygons);
}

// The program never frees its one Maze; a test that builds its own does.
struct TestMaze : Maze {
  TestMaze() = default;
  TestMaze(const TestMaze&) = delete;
  TestMaze& operator=(const TestMaze&) = delete;
  ~TestMaze() {
    for (int k = 0; k < kNumComponentKinds; k++) {
      free(list[k]);
      ClearRowIndex(rowIndex[k]);
    }
    for (int m = 0; m < kNumModelKinds; m++) FreeModel(model[m], modelCount[m]);
  }
};

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
