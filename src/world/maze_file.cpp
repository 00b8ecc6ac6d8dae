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

// Every read is a row of its own; a NUL byte ends what the read holds.
bool ReadMazeRows(FILE* file, MazeRowHook row, void* context) {
  char line[kMazeReadSize];
  memset(line, 0, sizeof line);
  while (fgets(line, kMazeReadSize, file) != nullptr) {
    int length = static_cast<int>(strlen(line));
    row(line, length, memchr(line, '\n', sizeof line) != nullptr, context);
    memset(line, 0, sizeof line);
  }
  return !ferror(file);
}

namespace {

// A read of the maze into its lists, and whoever else is told of its rows.
// The row coordinate is 64 bits wide: no file has rows enough to overflow it.
struct MazeReading {
  Maze* maze;
  MazeRowHook row;
  void* context;
  int64_t y;
};

}  // namespace

void Maze::AddRow(const char* text, int length, bool endsLine, void* context) {
  MazeReading& reading = *static_cast<MazeReading*>(context);
  if (reading.row != nullptr) reading.row(text, length, endsLine, reading.context);
  Maze& maze = *reading.maze;
  int x = 0;
  for (int c = 0; c < length; c++) {
    if (IsStartCharacter(text[c])) {
      maze.start = maze.walker = Point2{static_cast<float>(x), static_cast<float>(reading.y)};
    } else {
      int kind = ComponentOfCharacter(text[c]);
      if (kind >= 0) maze.AddComponent(static_cast<ComponentKind>(kind), x, reading.y);
    }
    x += kCellSize;
  }
  reading.y -= kCellSize;
}

bool Maze::ReadMaze(FILE* file, MazeRowHook row, void* context) {
  MazeReading reading = {this, row, context, 0};
  return ReadMazeRows(file, AddRow, &reading);
}
