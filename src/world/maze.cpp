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
    used[k] = 0;
  }
  list[kOrb].keepsPoints = true;
  for (int m = 0; m < kNumModelKinds; m++) {
    model[m] = nullptr;
    modelCount[m] = 0;
  }
}

// Frees the lists, models and indexes, whatever a reader left half built:
// the program's one Maze at exit, the Mazes of tests and tools when done.
Maze::~Maze() {
  for (int k = 0; k < kNumComponentKinds; k++) ClearRowIndex(rowIndex[k]);
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

// The caller passes the list, not its kind, and then sets the slot.
int Maze::GetNextFreeIndex(const ComponentList* storage) {
  int k = 0;
  while (k < kNumComponentKinds && &list[k] != storage) k++;
  if (k == kNumComponentKinds) {
    errno = EINVAL;
    Fatal("Invalid component list passed to GetNextFreeIndex. Aborting.  ");
  }
  return ReserveSlots(k, 1);
}

// Reserves the next n slots of kind k's list, returning the first: the
// allocated count grows in steps of 20 to cover them, as the statistics show.
int Maze::ReserveSlots(int k, int n) {
  int64_t needed = int64_t{used[k]} + n;
  if (needed > allocated[k]) {
    int64_t grown = allocated[k] + (needed - allocated[k] + kListStep - 1) / kListStep * kListStep;
    // The counts are ints: a list they cannot count cannot grow.
    if (grown > INT_MAX) {
      errno = ENOMEM;
      Fatal("Unable to allocate memory  ");
    }
    allocated[k] = static_cast<int>(grown);
  }
  int first = used[k];
  used[k] += n;
  return first;
}
