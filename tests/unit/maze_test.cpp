// Component lists: growth in steps of 20, and the fatal ends of growth and of
// an unknown storage.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "memory_limit.h"
#include "test_maze.h"
#include "world/maze.h"

TEST(ComponentListTest, StartsWithTwentyEmptySlotsPerKind) {
  Maze maze;
  for (int k = 0; k < kNumComponentKinds; k++) {
    EXPECT_EQ(maze.allocated[k], 20);
    EXPECT_EQ(maze.used[k], 0);
    EXPECT_NE(maze.list[k], nullptr);
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
    int slot = maze.GetNextFreeIndex(maze.list[kOrb]);
    ASSERT_EQ(slot, i);
    maze.list[kOrb][slot] = Point2{static_cast<float>(i), static_cast<float>(-i)};
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
    int slot = maze.GetNextFreeIndex(maze.list[kWall]);
    maze.list[kWall][slot] = Point2{static_cast<float>(i), 0};
  }
  EXPECT_EQ(maze.allocated[kWall], 10020);
  EXPECT_GE(maze.capacity[kWall], 10020);
  EXPECT_LE(maze.capacity[kWall], 10020 * 3 / 2 + 20);
  EXPECT_EQ(maze.list[kWall][10000].x, 10000);
  EXPECT_EQ(maze.list[kWall][0].x, 0);
}

TEST(ComponentListTest, PicksTheListByItsStorage) {
  Maze maze;
  EXPECT_EQ(maze.GetNextFreeIndex(maze.list[kPedestal]), 0);
  EXPECT_EQ(maze.GetNextFreeIndex(maze.list[kPedestal]), 1);
  EXPECT_EQ(maze.GetNextFreeIndex(maze.list[kSpace]), 0);
  EXPECT_EQ(maze.used[kPedestal], 2);
  EXPECT_EQ(maze.used[kSpace], 1);
}

TEST(ComponentListDeathTest, UnknownStorageIsFatal) {
  Maze maze;
  Point2 stranger[1];
  EXPECT_EXIT(maze.GetNextFreeIndex(stranger), testing::ExitedWithCode(1),
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
// next size is formed without overflowing an int, and memory runs out.
TEST(ComponentListDeathTest, AListThatCannotGrowIsFatal) {
  for (int slots : {1500000000, 2147483647 - 10}) {
    Maze maze;
    maze.used[kWall] = maze.allocated[kWall] = maze.capacity[kWall] = slots;
    EXPECT_EXIT((LimitMemory(), maze.GetNextFreeIndex(maze.list[kWall])),
                testing::ExitedWithCode(1),
                AllocationFailure("Unable to allocate memory  : Cannot allocate memory\n"))
        << slots;
    maze.used[kWall] = maze.allocated[kWall] = maze.capacity[kWall] = 0;
  }
}
