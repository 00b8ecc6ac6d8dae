// A million ticks of random keys: the walker stays out of walls, the eye on
// its grid, and the lists grow only as orbs are taken.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "test_maze.h"
#include "world/maze.h"

namespace {

// A closed 41 by 41 maze, thick with orbs, teleports and pedestals.
std::string BusyMaze() {
  std::mt19937 random(41);
  std::string text;
  for (int row = 0; row < 41; row++) {
    for (int col = 0; col < 41; col++) {
      bool border = row == 0 || col == 0 || row == 40 || col == 40;
      int dice = static_cast<int>(random() % 20);
      text += border ? '#' : row == 20 && col == 20 ? 'X' : "##OOTTP........D....."[dice];
    }
    text += '\n';
  }
  return text;
}

void Soak(Maze& maze, unsigned seed) {
  std::set<std::pair<int, int>> walls;
  for (int i = 0; i < maze.used[kWall]; i++)
    walls.emplace(static_cast<int>(maze.list[kWall][i].x) / 5,
                  static_cast<int>(-maze.list[kWall][i].y) / 5);
  auto insideAWall = [&](Point2 p) {
    int col = static_cast<int>(std::lround(p.x / 5)), row = static_cast<int>(std::lround(-p.y / 5));
    for (int dc = -1; dc <= 1; dc++)
      for (int dr = -1; dr <= 1; dr++)
        if (walls.count({col + dc, row + dr}) &&
            std::fabs(p.x - 5.0 * (col + dc)) < 2.5 && std::fabs(p.y + 5.0 * (row + dr)) < 2.5)
          return true;
    return false;
  };

  int used[kNumComponentKinds];
  for (int k = 0; k < kNumComponentKinds; k++) used[k] = maze.used[k];
  std::mt19937 random(seed);
  srand(seed);
  for (int tick = 0; tick < 1000000; tick++) {
    if (random() % 8 == 0) maze.speed = static_cast<float>(static_cast<int>(random() % 3) - 1);
    if (random() % 8 == 0) maze.turnRate = static_cast<float>(static_cast<int>(random() % 3) - 1);
    maze.Update();

    ASSERT_FALSE(insideAWall(maze.walker))
        << "tick " << tick << " at " << maze.walker.x << ", " << maze.walker.y;
    float eye = maze.eyeHeight;
    ASSERT_TRUE(eye >= 3 && eye <= 40 && eye * 2 == std::floor(eye * 2))
        << "tick " << tick << " eye " << eye;
    for (int k = 0; k < kNumComponentKinds; k++) {
      if (k == kPedestal) {
        ASSERT_LE(maze.used[k], used[kPedestal] + used[kOrb]) << "tick " << tick;
      } else {
        ASSERT_EQ(maze.used[k], used[k]) << "tick " << tick << " kind " << k;
      }
    }
  }
}

}  // namespace

TEST(SoakTest, AMillionTicksInTheBundledMaze) {
  Maze maze;
  LoadMazeQuietly(BundledMazeText(), maze);
  ASSERT_GT(maze.used[kWall], 0);
  Soak(maze, 1);
}

TEST(SoakTest, AMillionTicksAmongManyTeleportsAndOrbs) {
  Maze maze;
  LoadMazeQuietly(BusyMaze(), maze);
  ASSERT_GT(maze.used[kTeleport], 100);
  ASSERT_GT(maze.used[kOrb], 100);
  Soak(maze, 2);
  EXPECT_GT(maze.used[kPedestal], maze.used[kOrb] / 10);  // the walker got about
}
