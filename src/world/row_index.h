// row_index.h: finds the entries of a component list near a point, in list
// order, without scanning the whole list: the one lookup of frames and ticks.
#pragma once

#include <algorithm>
#include <cmath>

#include "world/maze.h"

// Frees an index's arrays and leaves it empty.
void ClearRowIndex(RowIndex& index);

namespace row_index_detail {

// How far a point lies from a coordinate, in double precision; every window
// test of the lookups, and the callers' own tests, form it the same way.
inline double Gap(float coordinate, double from) {
  return std::fabs(static_cast<double>(coordinate) - from);
}

// The covered prefix: runs whose y lies within reach, then in each run the
// entries whose x, as loaded, does. True when visit stopped the lookup.
template <typename Visit>
bool VisitIndexed(const RowIndex& index, const ComponentList& list, double x, double y,
                  double reach, Visit& visit) {
  // runY never grows, so the runs above the window come first.
  const float* runY = index.runY;
  int run = static_cast<int>(
      std::partition_point(runY, runY + index.runs,
                           [&](float ry) { return static_cast<double>(ry) - y > reach; }) -
      runY);
  auto homeX = [&](int i) { return index.homeX ? index.homeX[i] : list.X(i); };
  for (; run < index.runs && Gap(runY[run], y) <= reach; run++) {
    int lo = index.runStart[run], hi = index.runStart[run + 1];
    // x grows along a run: skip to the first entry not left of the window.
    while (lo < hi) {
      int mid = lo + (hi - lo) / 2;
      if (static_cast<double>(homeX(mid)) - x < -reach)
        lo = mid + 1;
      else
        hi = mid;
    }
    for (int i = lo; i < index.runStart[run + 1] && static_cast<double>(homeX(i)) - x <= reach; i++)
      if (visit(i)) return true;
  }
  return false;
}

// The appended entries within reach, sorted back into list order in the
// room kept for it. True when visit stopped the lookup.
template <typename Visit>
bool VisitAppended(const RowIndex& index, const ComponentList& list, double x, double y,
                   double reach, Visit& visit) {
  const int* order = index.appendedOrder;
  const int* end = order + index.appended;
  const int* from = std::partition_point(
      order, end, [&](int i) { return static_cast<double>(list[i].y) - y > reach; });
  int found = 0;
  for (const int* k = from; k < end && Gap(list[*k].y, y) <= reach; k++)
    if (Gap(list[*k].x, x) <= reach) index.nearScratch[found++] = *k;
  std::sort(index.nearScratch, index.nearScratch + found);
  for (int k = 0; k < found; k++)
    if (visit(index.nearScratch[k])) return true;
  return false;
}

// True when a point within reach of (x, y) may lie on the taken orbs' place,
// which a lookup by where the orbs were loaded would miss.
inline bool MayReachTakenOrbs(double x, double y, double reach) {
  return Gap(kOrbTaken.x, x) <= reach && Gap(kOrbTaken.y, y) <= reach;
}

}  // namespace row_index_detail

// Calls visit(i) in list order for every entry i of a kind's list whose
// point lies within reach of (x, y) on both axes, and maybe for others,
// until visit returns true. A visit that acts only on entries within reach
// thus sees what a scan of the whole list would. In: any x and y, infinite
// or not a number included. Never allocates.
template <typename Visit>
void VisitNear(const Maze& maze, ComponentKind kind, double x, double y, double reach,
               Visit visit) {
  using namespace row_index_detail;
  const RowIndex& index = maze.rowIndex[kind];
  const ComponentList& list = maze.list[kind];
  int scanFrom = index.count + index.appended;
  // Near the taken orbs' place, only a scan finds them.
  if (kind == kOrb && MayReachTakenOrbs(x, y, reach)) scanFrom = 0;
  if (scanFrom > 0) {
    if (VisitIndexed(index, list, x, y, reach, visit)) return;
    if (VisitAppended(index, list, x, y, reach, visit)) return;
  }
  for (int i = scanFrom; i < maze.used[kind]; i++)
    if (visit(i)) return;
}
