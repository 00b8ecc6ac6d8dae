// Component lists: growth in steps of 20, and the fatal ends of growth and of
// an unknown storage.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "memory_limit.h"
#include "test_maze.h"
#include "world/maze.h"

TEST(ComponentListTest, StartsWithTwentyEmptySlotsPerKind) {
  Maze maze;
  for (int k = 0; k < kNumComponentKinds; k++) {
    EXPECT_EQ(maze.allocated[k], 20);
    EXPECT_EQ(maze.used[k], 0);
  }
  for (int m = 0; m < kNumModelKinds; m++) {
    EXPECT_EQ(maze.model[m], nullptr);
    EXPECT_EQ(maze.modelCount[m], 0);
  }
  EXPECT_EQ(maze.eyeHeight, 0);
  EXPECT_EQ(maze.heading, 0);
}

TEST(ComponentListTest, GrowsByTwentyAndKeepsEveryEntry) {
  Maze maze;
  for (int i = 0; i < 41; i++) {
    int slot = maze.GetNextFreeIndex(&maze.list[kOrb]);
    ASSERT_EQ(slot, i);
    maze.list[kOrb].Set(slot, Point2{static_cast<float>(i), static_cast<float>(-i)});
    int expected = i < 20 ? 20 : i < 40 ? 40 : 60;
    EXPECT_EQ(maze.allocated[kOrb], expected) << "after entry " << i + 1;
  }
  EXPECT_EQ(maze.allocated[kOrb], 60);
  EXPECT_EQ(maze.used[kOrb], 41);
  for (int i = 0; i < 41; i++) {
    EXPECT_EQ(maze.list[kOrb][i].x, i);
    EXPECT_EQ(maze.list[kOrb][i].y, -i);
  }
  // The other lists are untouched.
  for (int k = 0; k < kNumComponentKinds; k++) {
    if (k == kOrb) continue;
    EXPECT_EQ(maze.allocated[k], 20);
    EXPECT_EQ(maze.used[k], 0);
  }
}

TEST(ComponentListTest, AllocatedCountsInTwentiesWhileTheStorageRunsAhead) {
  Maze maze;
  for (int i = 0; i < 10001; i++) {
    int slot = maze.GetNextFreeIndex(&maze.list[kWall]);
    maze.list[kWall].Set(slot, Point2{static_cast<float>(i), 0});
  }
  EXPECT_EQ(maze.allocated[kWall], 10020);
  EXPECT_GE(maze.list[kWall].capacity, 10001);
  EXPECT_LE(maze.list[kWall].capacity, 10001 * 3 / 2 + 1);
  EXPECT_EQ(maze.list[kWall][10000].x, 10000);
  EXPECT_EQ(maze.list[kWall][0].x, 0);
}

// Cells and points, set in any order, read back as the floats they were set
// as: cells of falling rows are packed, a row at an equal y whose columns go
// on joins the run before it, and anything out of reading order, a slot
// among the cells or past the end turns the list, or the rest, into points.
TEST(ComponentListTest, ReadsBackWhatWasSetHoweverItIsKept) {
  struct Step {
    int slot;
    std::vector<uint16_t> columns;  // a row of cells, or one point at {columns[0], y}
    float y;
    bool point;
  };
  const struct {
    const char* what;
    std::vector<Step> steps;
    int packed;
  } cases[] = {
      {"falling rows", {{0, {0, 3, 509}, 0, false}, {3, {1}, -5, false}, {4, {2, 7}, -10, false}}, 6},
      {"an equal y goes on", {{0, {1, 2}, -1e9f, false}, {2, {3, 4}, -1e9f, false}, {4, {0}, -1e9f, false}}, 5},
      {"a rising y", {{0, {4}, -10, false}, {1, {5, 6}, -5, false}}, 1},
      {"a point after cells", {{0, {1, 2}, 0, false}, {2, {9}, 3.5f, true}, {3, {3}, -5, false}}, 2},
      {"a slot among the cells", {{0, {1, 2, 3}, 0, false}, {1, {8}, 8, true}}, 0},
      {"a slot past the end", {{0, {1}, 0, false}, {3, {2}, -5, false}}, 1},
  };
  for (const auto& c : cases) {
    ComponentList list;
    std::vector<Point2> expected;
    for (const Step& step : c.steps) {
      int n = static_cast<int>(step.columns.size());
      if (step.slot + n > static_cast<int>(expected.size())) expected.resize(step.slot + n, Point2{0, 0});
      for (int k = 0; k < n; k++) expected[step.slot + k] = Point2{step.columns[k] * 5.0f, step.y};
      if (step.point)
        list.Set(step.slot, expected[step.slot]);
      else
        list.SetCells(step.slot, step.columns.data(), n, step.y);
    }
    ASSERT_EQ(list.count, static_cast<int>(expected.size())) << c.what;
    EXPECT_EQ(list.packed, c.packed) << c.what;
    for (int i = 0; i < list.count; i++) {
      EXPECT_EQ(list[i].x, expected[i].x) << c.what << " entry " << i;
      EXPECT_EQ(list[i].y, expected[i].y) << c.what << " entry " << i;
      EXPECT_EQ(list.X(i), expected[i].x) << c.what << " entry " << i;
    }
  }
}

// Storage past the size that is mapped rather than taken from malloc, as a
// huge maze's is: packed cells grown across it, then all of them turned
// into points, read back the same.
TEST(ComponentListTest, StorageLargeEnoughToMapReadsBackTheSame) {
  ComponentList list;
  std::vector<uint16_t> row(500);
  for (int c = 0; c < 500; c++) row[c] = static_cast<uint16_t>(c);
  const int kRows = 6000;  // 3 million cells: 6 MB of columns, 24 MB of points
  for (int r = 0; r < kRows; r++) list.SetCells(r * 500, row.data(), 500, -5.0f * r);
  for (bool points : {false, true}) {
    ASSERT_EQ(list.packed, points ? 0 : kRows * 500);
    for (int i : {0, 499, 500, 1234567, kRows * 500 - 1})
      EXPECT_EQ(std::make_pair(list[i].x, list[i].y), std::make_pair(i % 500 * 5.0f, -5.0f * (i / 500))) << i;
    list.Set(0, Point2{0, 0});  // a slot among the cells
  }
}

TEST(ComponentListTest, PicksTheListByItsStorage) {
  Maze maze;
  EXPECT_EQ(maze.GetNextFreeIndex(&maze.list[kPedestal]), 0);
  EXPECT_EQ(maze.GetNextFreeIndex(&maze.list[kPedestal]), 1);
  EXPECT_EQ(maze.GetNextFreeIndex(&maze.list[kSpace]), 0);
  EXPECT_EQ(maze.used[kPedestal], 2);
  EXPECT_EQ(maze.used[kSpace], 1);
}

TEST(ComponentListDeathTest, UnknownStorageIsFatal) {
  Maze maze;
  ComponentList stranger;
  EXPECT_EXIT(maze.GetNextFreeIndex(&stranger), testing::ExitedWithCode(1),
              testing::Eq("Invalid component list passed to GetNextFreeIndex. "
                          "Aborting.  : Invalid argument\n"));
  EXPECT_EXIT(maze.GetNextFreeIndex(nullptr), testing::ExitedWithCode(1),
              testing::StartsWith("Invalid component list"));
}

// Half again, at least what is asked for, and never past what an int counts.
TEST(ComponentListTest, StorageGrowsByHalfAgain) {
  const struct {
    int capacity, least, grown;
  } cases[] = {{20, 40, 40}, {20, 21, 30}, {1500000000, 1500000020, INT_MAX},
               {INT_MAX - 10, INT_MAX - 10, INT_MAX}};
  for (const auto& c : cases) EXPECT_EQ(GrownCapacity(c.capacity, c.least), c.grown) << c.capacity;
}

// A list whose storage holds this many slots, all used, grows once more: the
// next size is formed without overflowing an int, and memory runs out. At
// the last twenty an int counts, the count itself can grow no more.
TEST(ComponentListDeathTest, AListThatCannotGrowIsFatal) {
  for (int slots : {1500000000, 2147483647 - 10}) {
    Maze maze;
    maze.used[kWall] = maze.allocated[kWall] = slots;
    ComponentList& walls = maze.list[kWall];
    walls.count = walls.capacity = slots;
    EXPECT_EXIT((LimitMemory(), walls.Set(maze.GetNextFreeIndex(&walls), Point2{})),
                testing::ExitedWithCode(1),
                AllocationFailure("Unable to allocate memory  : Cannot allocate memory\n"))
        << slots;
    walls.count = walls.capacity = 0;
  }
}
