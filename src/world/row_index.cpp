// row_index.cpp: builds the row indexes of the component lists after loading.
#include "world/row_index.h"

#include <cstdlib>

void ClearRowIndex(RowIndex& index) {
  free(index.rowStart);
  free(index.homeX);
  free(index.appendedOrder);
  index = RowIndex{};
}

namespace {

// The map row and column of a point the reader placed, or false for a point
// off the grid.
bool CellOf(Point2 p, int& row, int& column) {
  double c = p.x / 5.0, r = -p.y / 5.0;
  if (!(c >= 0 && r >= 0 && c < 1e9 && r < 1e9)) return false;
  column = static_cast<int>(c);
  row = static_cast<int>(r);
  return column == c && row == r;
}

// An index of all used entries of a list, or an empty one where the list is
// not in map order.
RowIndex BuildRowIndex(const Point2* list, int used, bool keepHomeX) {
  RowIndex index;
  int lastRow = -1, lastColumn = -1;
  for (int i = 0; i < used; i++) {
    int row, column;
    if (!CellOf(list[i], row, column)) return index;  // off the grid
    if (row < lastRow || (row == lastRow && column < lastColumn)) return index;  // out of order
    lastRow = row;
    lastColumn = column;
  }

  index.rows = lastRow + 1;
  index.rowStart = static_cast<int*>(malloc(sizeof(int) * (index.rows + 1)));
  if (keepHomeX) index.homeX = static_cast<float*>(malloc(sizeof(float) * (used + 1)));
  if (index.rowStart == nullptr || (keepHomeX && index.homeX == nullptr))
    Fatal("Unable to allocate memory  ");
  int i = 0, row, column;
  for (int r = 0; r <= index.rows; r++) {
    index.rowStart[r] = i;
    while (i < used && CellOf(list[i], row, column) && row == r) i++;
  }
  if (keepHomeX)
    for (int j = 0; j < used; j++) index.homeX[j] = list[j].x;
  index.count = used;
  return index;
}

}  // namespace

void Maze::IndexRows() {
  for (int k = 0; k < kNumComponentKinds; k++) {
    ClearRowIndex(rowIndex[k]);
    rowIndex[k] = BuildRowIndex(list[k], used[k], k == kOrb);
  }
}

// Only the entry right after those covered can join: the index covers a
// prefix of the list, and a scan takes care of whatever comes after it.
void Maze::IndexAppended(ComponentKind kind, int i) {
  RowIndex& index = rowIndex[kind];
  if (i != index.count + index.appended) return;
  if (index.appended == index.appendedCapacity) {
    int capacity = index.appendedCapacity * 2 + 16;
    int* grown = static_cast<int*>(realloc(index.appendedOrder, sizeof(int) * capacity));
    if (grown == nullptr) Fatal("Unable to allocate memory  ");
    index.appendedOrder = grown;
    index.appendedCapacity = capacity;
  }

  // After every entry on a row above it or on the same row.
  double row = RowOf(list[kind][i]);
  int* order = index.appendedOrder;
  int at = index.appended;
  while (at > 0 && RowOf(list[kind][order[at - 1]]) > row) {
    order[at] = order[at - 1];
    at--;
  }
  order[at] = i;
  index.appended++;
}
