// row_index.h: finds the entries of a component list near a point without
// scanning the whole list, through the list's RowIndex.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "world/maze.h"

// Frees an index's arrays and leaves it empty.
void ClearRowIndex(RowIndex& index);

// True when a point within reach of (x, y) may lie on a taken orb's place,
// where taken orbs can be met: lookups by where orbs were loaded miss them.
inline bool MayReachTakenOrbs(double x, double y, double reach) {
  return std::fabs(x - kOrbTaken.x) <= reach && std::fabs(y - kOrbTaken.y) <= reach;
}

// Calls visit(i) for every indexed entry i whose cell as loaded lies within
// reach of (x, y) on both axes, or a little more, in list order, until visit
// returns true. In: any x and y, infinite or not a number included.
template <typename Visit>
void VisitIndexedNear(const RowIndex& index, const Point2* list, double x, double y,
                      double reach, Visit visit) {
  // The row and column windows, widened by the rounding of the divisions and
  // clamped in double before any conversion to int.
  double firstRow = std::ceil((-y - reach) / 5 - 1e-6);
  double lastRow = std::floor((-y + reach) / 5 + 1e-6);
  firstRow = std::max(firstRow, 0.0);
  lastRow = std::min(lastRow, static_cast<double>(index.rows - 1));
  if (!(firstRow <= lastRow)) return;  // nothing near, or not a number
  double left = x - reach - 1e-3, right = x + reach + 1e-3;

  auto homeX = [&](int i) -> double { return index.homeX ? index.homeX[i] : list[i].x; };
  for (int row = static_cast<int>(firstRow); row <= static_cast<int>(lastRow); row++) {
    int lo = index.rowStart[row], hi = index.rowStart[row + 1];
    // The first entry of the row at or right of the window's left edge.
    while (lo < hi) {
      int mid = lo + (hi - lo) / 2;
      if (homeX(mid) < left)
        lo = mid + 1;
      else
        hi = mid;
    }
    for (int i = lo; i < index.rowStart[row + 1] && homeX(i) <= right; i++)
      if (visit(i)) return;
  }
}

// The row of the map a point lies on, as a double so that any float
// converts: the order the appended entries are kept in.
inline double RowOf(Point2 p) { return std::floor(-static_cast<double>(p.y) / 5 + 0.5); }

// Calls visit(i) for every appended entry i that the index covers whose
// point lies within reach of (x, y) on both axes, or a little more, in list
// order, until visit returns true. In: any x and y.
template <typename Visit>
void VisitAppendedNear(const RowIndex& index, const Point2* list, double x, double y,
                       double reach, Visit visit) {
  double firstRow = std::floor((-y - reach) / 5) - 1;
  double lastRow = std::ceil((-y + reach) / 5) + 1;
  if (index.appended == 0 || !(firstRow <= lastRow)) return;

  const int* order = index.appendedOrder;
  int lo = 0, hi = index.appended;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (RowOf(list[order[mid]]) < firstRow)
      lo = mid + 1;
    else
      hi = mid;
  }
  int end = lo;
  while (end < index.appended && RowOf(list[order[end]]) <= lastRow) end++;
  if (end == lo) return;

  // The rows hold them in row order; they are visited in list order.
  int* near = static_cast<int*>(malloc(sizeof(int) * (end - lo)));
  if (near == nullptr) Fatal("Unable to allocate memory  ");
  int found = 0;
  for (int k = lo; k < end; k++) {
    Point2 p = list[order[k]];
    if (std::fabs(p.x - x) <= reach + 1e-3 && std::fabs(p.y - y) <= reach + 1e-3)
      near[found++] = order[k];
  }
  std::sort(near, near + found);
  for (int k = 0; k < found; k++)
    if (visit(near[k])) break;
  free(near);
}
