// maze_file.cpp: reads the maze map, maze.txt, into the component lists.
#include <cstring>

#include "world/maze.h"

// The buffer of one read: a row and the NUL after it.
static const int kMazeReadSize = kMazeRowLength + 1;

int ComponentOfCharacter(char c) {
  switch (c) {
    case '.': return kSpace;
    case '#': return kWall;
    case 'D': return kDoor;
    case 'O': return kOrb;
    case 'T': return kTeleport;
    case 'P': return kPedestal;
    default: return -1;
  }
}

void Maze::AddComponent(ComponentKind kind, int x, int64_t y) {
  int slot = GetNextFreeIndex(list[kind]);
  list[kind][slot] = Point2{static_cast<float>(x), static_cast<float>(y)};
}

static void PrintStatistics(const Maze& maze) {
  static const char* const kFormats[kNumComponentKinds] = {
      "Spaces   : %i / %i\n", "Walls    : %i / %i\n",
      "Doors    : %i / %i\n", "Orbs     : %i / %i\n",
      "Teleports: %i / %i\n", "Pedestal : %i / %i\n",
  };
  printf("Statistics: used / allocated\n");
  for (int k = 0; k < kNumComponentKinds; k++)
    printf(kFormats[k], maze.used[k], maze.allocated[k]);
}

void Maze::LoadMaze() {
  FILE* file = OpenDataFile("maze.txt");
  if (file == nullptr) Fatal("Unable to open the maze file. Aborting.  ");
  // A read that fails is no end of the maze: the rest of it would be lost.
  if (!ReadMaze(file)) Fatal("Unable to read the maze from maze.txt. Aborting.  ");
  fclose(file);

  PrintStatistics(*this);

  // Allocated, not used, counts; the extra one is the start model, which is
  // drawn every frame.
  gObjectTotal = 1;
  for (int k = 0; k < kNumComponentKinds; k++) gObjectTotal += allocated[k];

  IndexRows();
}

// Every read is a row of its own; a NUL byte ends what the read holds. The
// row coordinate is 64 bits wide: no file has rows enough to overflow it.
bool Maze::ReadMaze(FILE* file, MazeRowHook row, void* context) {
  char line[kMazeReadSize];
  memset(line, 0, sizeof line);
  int64_t y = 0;
  while (fgets(line, kMazeReadSize, file) != nullptr) {
    int length = static_cast<int>(strlen(line));
    if (row != nullptr) row(line, length, memchr(line, '\n', sizeof line) != nullptr, context);
    int x = 0;
    for (int c = 0; c < length; c++) {
      if (IsStartCharacter(line[c])) {
        start = walker = Point2{static_cast<float>(x), static_cast<float>(y)};
      } else {
        int kind = ComponentOfCharacter(line[c]);
        if (kind >= 0) AddComponent(static_cast<ComponentKind>(kind), x, y);
      }
      x += kCellSize;
    }
    memset(line, 0, sizeof line);
    y -= kCellSize;
  }
  return !ferror(file);
}
