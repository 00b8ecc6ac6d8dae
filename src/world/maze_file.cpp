// maze_file.cpp: reads the maze map, maze.txt, into the component lists.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "world/maze.h"
#include "world/row_bytes.h"

// The buffer of one read: a row and the NUL after it.
static const int kMazeReadSize = kMazeRowLength + 1;

int ComponentOfCharacter(char c) {
  switch (c) {
    case kSpaceCharacter: return kSpace;
    case kWallCharacter: return kWall;
    case 'D': return kDoor;
    case 'O': return kOrb;
    case 'T': return kTeleport;
    case 'P': return kPedestal;
    default: return -1;
  }
}

void Maze::AddCells(ComponentKind kind, const uint16_t* columns, int n, int64_t y) {
  list[kind].SetCells(ReserveSlots(kind, n), columns, n, static_cast<float>(y));
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
// The file is taken a block at a time and cut into reads as fgets cuts
// it: at most a row's characters, up to and including a newline, in a
// buffer that holds them and then NULs, as a buffer cleared before each
// read would.
bool ReadMazeRows(FILE* file, MazeRowHook row, void* context) {
  static const size_t kBlock = size_t{1} << 18, kMostRead = kMazeReadSize - 1;
  std::vector<char> block(kBlock);
  char line[kMazeReadSize] = {};
  size_t at = 0, held = 0, filled = 0;  // line[filled, kMazeReadSize) is NUL
  bool more = true;
  int failure = 0;
  for (;;) {
    if (more && held - at < kMostRead) {
      memmove(block.data(), block.data() + at, held - at);
      held -= at;
      at = 0;
      held += fread(block.data() + held, 1, kBlock - held, file);
      // Short only at the end of the file or at a failure.
      more = held == kBlock;
      if (ferror(file)) failure = errno;
    }
    if (at == held) break;
    const char* start = block.data() + at;
    size_t most = std::min(held - at, kMostRead);
    const char* newline = static_cast<const char*>(memchr(start, '\n', most));
    size_t length = newline != nullptr ? static_cast<size_t>(newline - start) + 1 : most;
    // A read that a failure cut short is no row.
    if (newline == nullptr && length < kMostRead && failure != 0) break;
    memcpy(line, start, length);
    if (filled > length) memset(line + length, 0, filled - length);
    filled = length;
    row(line, static_cast<int>(strlen(line)), newline != nullptr, context);
    at += length;
  }
  if (failure != 0) errno = failure;
  return failure == 0;
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

// Where a character's cell goes: its component list, the start, or nowhere,
// looked up once for every byte.
struct CellPlaces {
  static const int kStart = kNumComponentKinds, kNowhere = kNumComponentKinds + 1;
  unsigned char place[256];
  CellPlaces() {
    for (int c = 0; c < 256; c++) {
      char character = static_cast<char>(c);
      int kind = ComponentOfCharacter(character);
      place[c] = static_cast<unsigned char>(IsStartCharacter(character) ? kStart : kind >= 0 ? kind : kNowhere);
    }
  }
};
const CellPlaces kCellPlaces;

// For each eight bits, the places of those set, lowest first, and how many.
struct MarkedPlaces {
  uint16_t place[256][8] = {};
  unsigned char count[256] = {};
  MarkedPlaces() {
    for (int bits = 0; bits < 256; bits++)
      for (int i = 0; i < 8; i++)
        if (bits >> i & 1) place[bits][count[bits]++] = static_cast<uint16_t>(i);
  }
};
const MarkedPlaces kMarkedPlaces;

// Appends at + the place of every set bit to columns at n, storing eight
// columns whatever the count: columns must hold eight past n.
void AppendMarked(uint16_t* columns, int& n, unsigned bits, int at) {
  uint64_t lanes[2];
  memcpy(lanes, kMarkedPlaces.place[bits], sizeof lanes);
  // Each 16-bit lane gains at, with no carry between: places and columns are small.
  for (uint64_t& lane : lanes) lane += 0x0001000100010001 * static_cast<uint64_t>(at);
  memcpy(columns + n, lanes, sizeof lanes);
  n += kMarkedPlaces.count[bits];
}

}  // namespace

// Sorts a row's columns by where they go, then adds each list's columns at
// once: the same lists, in the same order, as a cell at a time would.
// Eight characters that are all spaces and walls, nearly every eight of a
// large maze, are sorted at once, without a branch between the two.
void Maze::AddRow(const char* text, int length, bool endsLine, void* context) {
  MazeReading& reading = *static_cast<MazeReading*>(context);
  if (reading.row != nullptr) reading.row(text, length, endsLine, reading.context);
  Maze& maze = *reading.maze;
  uint16_t columns[CellPlaces::kNowhere + 1][kMazeRowLength];
  int counts[CellPlaces::kNowhere + 1] = {};
  auto sortEach = [&](int from, int to) {
    for (int c = from; c < to; c++) {
      int place = kCellPlaces.place[static_cast<unsigned char>(text[c])];
      columns[place][counts[place]++] = static_cast<uint16_t>(c);
    }
  };
  int c = 0;
  for (; c + 8 <= length; c += 8) {
    uint64_t word = LoadWord(text + c);
    uint64_t spaces = BytesEqual(word, kSpaceCharacter), walls = BytesEqual(word, kWallCharacter);
    if ((spaces | walls) != kHighBits) {
      sortEach(c, c + 8);
      continue;
    }
    // Neither count is past c, so eight columns more fit in the row.
    AppendMarked(columns[kSpace], counts[kSpace], MarkBits(spaces), c);
    AppendMarked(columns[kWall], counts[kWall], MarkBits(walls), c);
  }
  sortEach(c, length);

  // The last start of the row is the one that stays.
  if (int starts = counts[CellPlaces::kStart])
    maze.start = maze.walker = Point2{static_cast<float>(columns[CellPlaces::kStart][starts - 1] * kCellSize),
                                      static_cast<float>(reading.y)};
  for (int k = 0; k < kNumComponentKinds; k++)
    if (counts[k] > 0) maze.AddCells(static_cast<ComponentKind>(k), columns[k], counts[k], reading.y);
  reading.y -= kCellSize;
}

bool Maze::ReadMaze(FILE* file, MazeRowHook row, void* context) {
  MazeReading reading = {this, row, context, 0};
  return ReadMazeRows(file, AddRow, &reading);
}
