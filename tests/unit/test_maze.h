// test_maze.h: a Maze that frees what it allocated, for tests that build many.
#pragma once

#include <cstdlib>

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
