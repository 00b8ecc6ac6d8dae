// component_list.cpp: a component list's storage: cells packed by row, points kept whole.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "world/maze.h"

namespace {

// Grows an array to hold at least least entries, by half again, or ends
// the program.
template <typename T>
void Grow(T*& array, int& capacity, int least) {
  int slots = GrownCapacity(capacity, least);
  T* moved = static_cast<T*>(realloc(array, static_cast<size_t>(slots) * sizeof(T)));
  if (moved == nullptr) Fatal("Unable to allocate memory  ");
  array = moved;
  capacity = slots;
}

}  // namespace

ComponentList::~ComponentList() {
  free(column);
  free(runY);
  free(runStart);
  free(points);
}

int ComponentList::RunOf(int i) const {
  return static_cast<int>(std::upper_bound(runStart, runStart + runs, i) - runStart) - 1;
}

void ComponentList::Set(int i, Point2 p) {
  if (i < packed) {
    // The cells become points, ahead of those already whole.
    int whole = count - packed;
    Point2* all = static_cast<Point2*>(malloc(sizeof(Point2) * std::max(count, 1)));
    if (all == nullptr) Fatal("Unable to allocate memory  ");
    for (int k = 0; k < packed; k++) all[k] = (*this)[k];
    std::copy(points, points + whole, all + packed);
    free(points);
    points = all;
    capacity = std::max(count, 1);
    free(column);
    free(runY);
    free(runStart);
    column = nullptr, runY = nullptr, runStart = nullptr;
    packedCapacity = runCapacity = runs = packed = lastRun = 0;
  }
  int at = i - packed;
  if (at >= capacity) Grow(points, capacity, at + 1);
  for (int k = count - packed; k < at; k++) points[k] = Point2{0, 0};
  points[at] = p;
  count = std::max(count, i + 1);
}

void ComponentList::SetCells(int i, const uint16_t* columns, int n, float y) {
  bool follows = !keepsPoints && i == count && packed == count && (runs == 0 || y <= runY[runs - 1]);
  if (!follows) {
    for (int c = 0; c < n; c++) Set(i + c, Point2{static_cast<float>(columns[c] * kCellSize), y});
    return;
  }
  if (n == 0) return;
  // The columns grow along the row, so only its first cell may start a run.
  if (runs == 0 || y != runY[runs - 1] || !(columns[0] > column[packed - 1])) {
    if (runs == runCapacity) {
      int slots = runCapacity;
      Grow(runY, slots, runs + 1);
      Grow(runStart, runCapacity, runs + 1);
    }
    runY[runs] = y;
    runStart[runs++] = i;
  }
  if (packed > packedCapacity - n) Grow(column, packedCapacity, packed + n);
  std::copy(columns, columns + n, column + packed);
  packed += n;
  count += n;
}
