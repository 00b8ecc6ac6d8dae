// row_index.cpp: builds the indexes of the component lists after loading,
// and brings entries appended while walking into them.
#include "world/row_index.h"

#include <algorithm>
#include <cstdlib>

void ClearRowIndex(RowIndex& index) {
  free(index.runY);
  free(index.runStart);
  free(index.homeX);
  free(index.appendedOrder);
  free(index.nearScratch);
  index = RowIndex{};
}

namespace {

// Allocates an index's array, or ends the program.
template <typename T>
T* Allocate(int count) {
  T* block = static_cast<T*>(malloc(sizeof(T) * count));
  if (block == nullptr) Fatal("Unable to allocate memory  ");
  return block;
}

// True when entry i starts a run: the first, or one whose y differs from
// the entry before it or whose x does not grow past it.
bool StartsRun(Point2 before, Point2 p, int i) {
  return i == 0 || p.y != before.y || !(p.x > before.x);
}

// Indexes every used entry of a list, or none where y grows somewhere.
// The arrays are stored in the index as they are made, so that a fatal
// error leaves nothing that the index does not own.
void BuildRowIndex(RowIndex& index, const ComponentList& list, int used, bool keepHomeX) {
  // A list of cells alone is in map order and cut into runs already.
  bool cells = list.packed == used;
  int runs = cells ? list.runs : 0;
  for (int i = 0; i < used && !cells; i++) {
    Point2 before = i > 0 ? list[i - 1] : Point2{}, p = list[i];
    if (i > 0 && !(p.y <= before.y)) return;  // not in map order
    if (StartsRun(before, p, i)) runs++;
  }

  index.runY = Allocate<float>(runs + 1);
  index.runStart = Allocate<int>(runs + 1);
  if (keepHomeX) index.homeX = Allocate<float>(used + 1);
  if (cells) {
    std::copy(list.runY, list.runY + runs, index.runY);
    std::copy(list.runStart, list.runStart + runs, index.runStart);
  }
  for (int i = 0, run = 0; i < used && !cells; i++) {
    Point2 before = i > 0 ? list[i - 1] : Point2{}, p = list[i];
    if (StartsRun(before, p, i)) {
      index.runY[run] = p.y;
      index.runStart[run++] = i;
    }
  }
  for (int i = 0; i < used && keepHomeX; i++) index.homeX[i] = list.X(i);
  index.runStart[runs] = used;
  index.runs = runs;
  index.count = used;
}

}  // namespace

void Maze::IndexRows() {
  for (int k = 0; k < kNumComponentKinds; k++) {
    ClearRowIndex(rowIndex[k]);
    BuildRowIndex(rowIndex[k], list[k], used[k], k == kOrb);
  }
}

// Only the entry right after those covered can join: the index covers a
// prefix of the list, and a scan takes care of whatever comes after it.
void Maze::IndexAppended(ComponentKind kind, int i) {
  RowIndex& index = rowIndex[kind];
  if (i != index.count + index.appended) return;
  if (std::isnan(list[kind][i].y)) return;  // no place in the order: scanned
  if (index.appended == index.appendedCapacity) {
    int capacity = index.appendedCapacity * 2 + 16;
    for (int** array : {&index.appendedOrder, &index.nearScratch}) {
      int* grown = static_cast<int*>(realloc(*array, sizeof(int) * capacity));
      if (grown == nullptr) Fatal("Unable to allocate memory  ");
      *array = grown;
    }
    index.appendedCapacity = capacity;
  }

  // After every entry of a greater or equal y.
  const ComponentList& points = list[kind];
  float y = points[i].y;
  int* order = index.appendedOrder;
  int at = index.appended;
  while (at > 0 && points[order[at - 1]].y < y) {
    order[at] = order[at - 1];
    at--;
  }
  order[at] = i;
  index.appended++;
}
