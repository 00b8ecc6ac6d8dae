// The maze generator: its shape, its contents, reachability and repeatability.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mazegen.h"

namespace {

std::string Generate(const MazeRequest& request) {
  std::string maze, error;
  EXPECT_TRUE(GenerateMaze(request, maze, error)) << error;
  return maze;
}

std::vector<std::string> Rows(const std::string& maze) {
  std::vector<std::string> rows;
  size_t at = 0, end;
  while ((end = maze.find('\n', at)) != std::string::npos) {
    rows.push_back(maze.substr(at, end - at));
    at = end + 1;
  }
  EXPECT_EQ(at, maze.size()) << "the last row ends in a newline";
  return rows;
}

}  // namespace

TEST(MazegenTest, ClosedByWallsWithOneStartAndTheRequestedItems) {
  MazeRequest request;
  request.width = 40;  // even: the last inner column stays wall
  request.height = 25;
  request.doors = 6;
  request.orbs = 7;
  request.pedestals = 8;
  request.teleports = 9;
  std::string maze = Generate(request);
  std::vector<std::string> rows = Rows(maze);
  ASSERT_EQ(rows.size(), 25u);
  for (size_t r = 0; r < rows.size(); r++) {
    ASSERT_EQ(rows[r].size(), 40u);
    EXPECT_EQ(rows[r].front(), '#');
    EXPECT_EQ(rows[r].back(), '#');
    if (r == 0 || r + 1 == rows.size()) {
      EXPECT_EQ(rows[r], std::string(40, '#'));
    }
  }
  EXPECT_EQ(std::count(maze.begin(), maze.end(), 'X'), 1);
  EXPECT_EQ(std::count(maze.begin(), maze.end(), 'D'), 6);
  EXPECT_EQ(std::count(maze.begin(), maze.end(), 'O'), 7);
  EXPECT_EQ(std::count(maze.begin(), maze.end(), 'P'), 8);
  EXPECT_EQ(std::count(maze.begin(), maze.end(), 'T'), 9);
}

TEST(MazegenTest, EveryOpenCellIsReachableFromTheStart) {
  MazeRequest request;
  request.width = 101;
  request.height = 77;
  request.seed = 12345;
  std::vector<std::string> rows = Rows(Generate(request));
  std::vector<std::pair<int, int>> todo;
  for (int r = 0; r < 77; r++)
    for (int c = 0; c < 101; c++)
      if (rows[r][c] == 'X') todo.emplace_back(r, c);
  ASSERT_EQ(todo.size(), 1u);
  std::vector<std::string> seen = rows;
  seen[todo[0].first][todo[0].second] = '#';
  while (!todo.empty()) {
    auto [r, c] = todo.back();
    todo.pop_back();
    for (auto [dr, dc] : {std::pair<int, int>{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
      if (seen[r + dr][c + dc] == '#') continue;
      seen[r + dr][c + dc] = '#';
      todo.emplace_back(r + dr, c + dc);
    }
  }
  for (int r = 0; r < 77; r++) EXPECT_EQ(seen[r], std::string(101, '#')) << "row " << r;
}

TEST(MazegenTest, TheSameSeedGivesTheSameBytes) {
  MazeRequest request;
  request.width = 510;
  request.height = 50;
  request.seed = 99;
  std::string first = Generate(request);
  EXPECT_EQ(Generate(request), first);
  request.seed = 100;
  EXPECT_NE(Generate(request), first);
}

TEST(MazegenTest, RefusesWhatCannotBeBuilt) {
  std::string maze, error;
  MazeRequest wide;
  wide.width = 511;
  EXPECT_FALSE(GenerateMaze(wide, maze, error));
  EXPECT_EQ(error, "width 511 is more than 510, the widest row the maze reader takes");

  MazeRequest tall;
  tall.width = 3;
  tall.height = 200001;
  EXPECT_FALSE(GenerateMaze(tall, maze, error));
  EXPECT_EQ(error, "height 200001 is more than 200000, the tallest maze a walker still moves "
                   "through in steps of 1/16 unit");

  MazeRequest crowded;
  crowded.width = crowded.height = 5;
  crowded.orbs = 100;
  EXPECT_FALSE(GenerateMaze(crowded, maze, error));
  EXPECT_NE(error.find("too few open cells"), std::string::npos);

  MazeRequest tiny;
  tiny.width = 2;
  EXPECT_FALSE(GenerateMaze(tiny, maze, error));
}
