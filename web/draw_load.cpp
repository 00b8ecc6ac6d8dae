// draw_load.cpp: what a maze and its models give one frame to draw, read by
// the game's own readers, for the page to weigh a stranger's link.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "render/render.h"
#include "world/maze.h"

namespace {

// The most cells whose centres lie nearer an eye than the far plane, the eye
// anywhere: the square of each such cell lies within the circle half a
// diagonal wider, and the squares do not overlap.
int64_t FrameCells() {
  const double reach = kFarPlane / kCellSize + std::sqrt(0.5);
  return static_cast<int64_t>(std::acos(-1.0) * reach * reach);
}

void CountRow(const char* text, int length, bool, void* context) {
  int64_t* cells = static_cast<int64_t*>(context);
  for (int c = 0; c < length; c++) {
    int kind = ComponentOfCharacter(text[c]);
    if (kind >= 0) cells[kind]++;
  }
}

// The cells of each model's kind that one frame can draw: those of its list
// within the far plane, pedestals counting the orbs they are taken from, and
// the start marker once. Without a maze, as many as the far plane holds.
void DrawnCells(const char* mazeName, int64_t drawn[kNumModelKinds]) {
  for (int m = 0; m < kNumModelKinds; m++) drawn[m] = FrameCells();
  drawn[kStartModel] = 1;
  if (mazeName[0] == '\0') return;  // any maze
  FILE* maze = fopen(mazeName, "rb");
  if (maze == nullptr) Fatal("Unable to open the maze file. Aborting.  ");
  int64_t cells[kNumComponentKinds] = {};
  if (!ReadMazeRows(maze, CountRow, cells)) Fatal("Unable to read the maze file. Aborting.  ");
  fclose(maze);
  cells[kPedestal] += cells[kOrb];
  for (int k = 0; k < kNumComponentKinds; k++)
    drawn[kListModel[k]] = std::min(drawn[kListModel[k]], cells[k]);
}

}  // namespace

// zumbrel-load MAZE SPACE WALL DOOR START ORB TELE PED: each model file given
// (an empty argument for one that is not) read as the game reads it, and a
// line for it on standard error: "MODEL POLYGONS VERTICES CELLS", MODEL its
// place in that order and CELLS the most of its kind one frame draws in MAZE
// (an empty argument: in any maze).
// A file the game cannot read ends the program as it would end the game.
int LoadMain(int argc, char** argv) {
  if (argc != 2 + kNumModelKinds) {
    fputs("zumbrel-load: a maze and the seven models, each name or empty\n", stderr);
    return 2;
  }
  int64_t drawn[kNumModelKinds];
  DrawnCells(argv[1], drawn);
  for (int m = 0; m < kNumModelKinds; m++) {
    const char* name = argv[2 + m];
    if (name[0] == '\0') continue;
    FILE* file = fopen(name, "rb");
    if (file == nullptr) Fatal("Unable to open a model file. Aborting.  ");
    PolygonList polygons = nullptr;
    int count = 0;
    gMaze.LoadPolygonList(file, polygons, count, name);
    int64_t vertices = 0;
    for (int i = 0; i < count; i++) vertices += polygons[i]->used;
    fprintf(stderr, "%d %d %lld %lld\n", m, count, static_cast<long long>(vertices),
            static_cast<long long>(drawn[m]));
    fclose(file);
  }
  return 0;
}
