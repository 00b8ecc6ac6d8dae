// maze.cpp: the Maze's construction and its growing component lists.
#include "world/maze.h"

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "world/row_index.h"

// Lists grow by this many slots at a time.
static const int kListStep = 20;

Maze::Maze()
    : start{0, 0},
      walker{0, 0},
      eyeHeight(0),
      speed(0),
      heading(0),
      turnRate(0) {
  for (int k = 0; k < kNumComponentKinds; k++) {
    allocated[k] = kListStep;
    capacity[k] = kListStep;
    used[k] = 0;
    list[k] = static_cast<Point2*>(malloc(kListStep * sizeof(Point2)));
    if (list[k] == nullptr) Fatal("Unable to allocate memory  ");
  }
  for (int m = 0; m < kNumModelKinds; m++) {
    model[m] = nullptr;
    modelCount[m] = 0;
  }
}

// Frees the lists, models and indexes, whatever a reader left half built:
// the program's one Maze at exit, the Mazes of tests and tools when done.
Maze::~Maze() {
  for (int k = 0; k < kNumComponentKinds; k++) {
    free(list[k]);
    ClearRowIndex(rowIndex[k]);
  }
  for (int m = 0; m < kNumModelKinds; m++) {
    if (model[m] == nullptr) continue;
    for (int i = 0; i < modelCount[m]; i++) delete model[m][i];
    free(model[m]);
  }
}

// The storage grows by half again, not by 20, so that reading a large maze
// takes time in proportion to its size: growing a long list by small steps
// moves it again and again.
int GrownCapacity(int capacity, int least) {
  int64_t grown = std::min<int64_t>(INT_MAX, capacity + int64_t{capacity} / 2);
  return std::max(least, static_cast<int>(grown));
}

// The caller passes the list's storage, not its kind, and must read the
// storage pointer again after the call: growing may move it.
int Maze::GetNextFreeIndex(const Point2* storage) {
  int k = 0;
  while (k < kNumComponentKinds && list[k] != storage) k++;
  if (k == kNumComponentKinds) {
    errno = EINVAL;
    Fatal("Invalid component list passed to GetNextFreeIndex. Aborting.  ");
  }

  if (used[k] >= allocated[k]) {
    // The counts are ints: a list they cannot count cannot grow.
    if (allocated[k] > INT_MAX - kListStep) {
      errno = ENOMEM;
      Fatal("Unable to allocate memory  ");
    }
    allocated[k] += kListStep;
    if (allocated[k] > capacity[k]) {
      int slots = GrownCapacity(capacity[k], allocated[k]);
      size_t bytes = static_cast<size_t>(slots) * sizeof(Point2);
      Point2* moved = static_cast<Point2*>(realloc(list[k], bytes));
      if (moved == nullptr) Fatal("Unable to allocate memory  ");
      list[k] = moved;
      capacity[k] = slots;
    }
  }
  return used[k]++;
}
