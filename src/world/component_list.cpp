// component_list.cpp: a component list's storage: cells packed by row, points kept whole.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "world/maze.h"

namespace {

// Where an array's storage comes from. A huge maze's arrays, from 4 MB up
// to the 1 GB that a list of the largest maze's cells as points stays
// under, are mapped on their own where the system allows, in the kernel's
// 2 MB pages where it has them, and grown by moving the mapping to a
// boundary of those pages: their first touch then faults once each 2 MB
// rather than each 4 KB, which on some machines is most of a huge maze's
// load. Others come from malloc. The bytes an array was given tell which.
#if defined(__linux__) && defined(MADV_HUGEPAGE) && defined(MREMAP_FIXED)
constexpr size_t kLargePage = size_t{2} << 20;
bool Mapped(size_t bytes) { return bytes >= (size_t{4} << 20) && bytes < (size_t{1} << 30); }
size_t MappedSize(size_t bytes) { return (bytes + 4095) & ~size_t{4095}; }

// Room for bytes that starts on a large page's boundary, reserved and not
// yet backed, or nullptr: a large page moved there stays whole.
char* AlignedRoom(size_t bytes) {
  char* area = static_cast<char*>(
      mmap(nullptr, bytes + kLargePage, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
  if (area == MAP_FAILED) return nullptr;
  char* room = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(area) + kLargePage - 1) & ~(kLargePage - 1));
  if (room > area) munmap(area, static_cast<size_t>(room - area));
  munmap(room + bytes, kLargePage - static_cast<size_t>(room - area));
  return room;
}

void ReleaseBytes(void* array, size_t bytes) {
  if (Mapped(bytes))
    munmap(array, MappedSize(bytes));
  else
    free(array);
}

void* ResizeBytes(void* array, size_t bytes, size_t grown) {
  if (!Mapped(bytes) && !Mapped(grown)) return realloc(array, grown);
  if (!Mapped(grown)) {
    void* taken = malloc(grown);
    if (taken == nullptr) return nullptr;
    memcpy(taken, array, bytes);
    ReleaseBytes(array, bytes);
    return taken;
  }
  grown = MappedSize(grown);
  char* room = AlignedRoom(grown);
  if (room == nullptr) return nullptr;
  void* moved = Mapped(bytes) ? mremap(array, MappedSize(bytes), grown, MREMAP_MAYMOVE | MREMAP_FIXED, room)
                              : mmap(room, grown, PROT_READ | PROT_WRITE, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (moved == MAP_FAILED) {
    munmap(room, grown);
    return nullptr;
  }
  if (!Mapped(bytes)) {
    madvise(moved, grown, MADV_HUGEPAGE);
    if (bytes > 0) memcpy(moved, array, bytes);
    free(array);
  }
  return moved;
}
#else
void* ResizeBytes(void* array, size_t, size_t grown) { return realloc(array, grown); }
void ReleaseBytes(void* array, size_t) { free(array); }
#endif

// Grows an array to hold at least least entries, by half again, or ends
// the program.
template <typename T>
void Grow(T*& array, int& capacity, int least) {
  int slots = GrownCapacity(capacity, least);
  T* moved = static_cast<T*>(
      ResizeBytes(array, sizeof(T) * static_cast<size_t>(capacity), sizeof(T) * static_cast<size_t>(slots)));
  if (moved == nullptr) Fatal("Unable to allocate memory  ");
  array = moved;
  capacity = slots;
}

template <typename T>
void Release(T*& array, int capacity) {
  ReleaseBytes(array, sizeof(T) * static_cast<size_t>(capacity));
  array = nullptr;
}

}  // namespace

ComponentList::~ComponentList() {
  Release(column, packedCapacity);
  Release(runY, runCapacity);
  Release(runStart, runCapacity);
  Release(points, capacity);
}

int ComponentList::RunOf(int i) const {
  return static_cast<int>(std::upper_bound(runStart, runStart + runs, i) - runStart) - 1;
}

void ComponentList::Set(int i, Point2 p) {
  if (i < packed) {
    // The cells become points, ahead of those already whole.
    int whole = count - packed, none = 0;
    Point2* all = nullptr;
    Grow(all, none, std::max(count, 1));
    for (int k = 0; k < packed; k++) all[k] = (*this)[k];
    std::copy(points, points + whole, all + packed);
    Release(points, capacity);
    points = all;
    capacity = none;
    Release(column, packedCapacity);
    Release(runY, runCapacity);
    Release(runStart, runCapacity);
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
