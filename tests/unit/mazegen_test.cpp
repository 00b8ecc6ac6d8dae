// The maze generator: its shape, its contents, its limits, and its mazes
// as the check and the tick see them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "maze_map.h"
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

// Every maze checks clean by the check's own walker, which steps as the tick
// does: at the narrowest and widest, and for many seeds with teleports.
TEST(MazegenTest, EveryMazeChecksClean) {
  const struct {
    int width, height, seeds, doors, orbs, pedestals, teleports;
  } cases[] = {
      {3, 41, 60, 2, 2, 2, 4},
      {kWidestMaze, 12, 3, 40, 40, 40, 60},
      {9, 9, 200, 3, 3, 2, 3},
      {21, 21, 60, 5, 5, 5, 12},
  };
  for (const auto& c : cases)
    for (int seed = 1; seed <= c.seeds; seed++) {
      MazeRequest request{c.width, c.height, static_cast<uint64_t>(seed), c.doors,
                          c.orbs,  c.pedestals, c.teleports};
      std::string text = Generate(request);
      FILE* file = fmemopen(text.data(), text.size(), "r");
      MazeCells cells;
      ASSERT_TRUE(ReadMazeCells(file, cells));
      fclose(file);
      std::vector<MazeProblem> problems = CheckMaze(cells);
      EXPECT_TRUE(problems.empty()) << c.width << "x" << c.height << " seed " << seed << ": "
                                    << problems[0].text << "\n" << text;
      // Each thing asked for, placed once, none over another.
      const int counts[] = {1, c.doors, c.orbs, c.pedestals, c.teleports};
      for (int k = 0; k < 5; k++)
        EXPECT_EQ(std::count(text.begin(), text.end(), "XDOPT"[k]), counts[k])
            << "XDOPT"[k] << " in " << c.width << "x" << c.height << " seed " << seed;
    }
}

TEST(MazegenTest, TheSameSeedGivesTheSameBytes) {
  MazeRequest request;
  request.width = kWidestMaze;
  request.height = 50;
  request.seed = 99;
  std::string first = Generate(request);
  EXPECT_EQ(Generate(request), first);
  request.seed = 100;
  EXPECT_NE(Generate(request), first);
  // A maze a user wrote the seed of, byte for byte as it has always come.
  EXPECT_EQ(Generate(MazeRequest{21, 11, 5, 2, 2, 1, 3}),
            "#####################\n#O#.....#...D...#...#\n#.#.#.###.#####.#.#.#\n"
            "#.#.#.....#...#..T#.#\n#.#.#######.#.#####D#\n#.#...#.....#....O..#\n"
            "#.###.#.###########.#\n#P#..X#..T#...#.....#\n#.#######.#.###.#####\n"
            "#........T#.........#\n#####################\n");
  // One large enough that the loops' and the teleports' draws start blocks
  // of draws past the walk's, by its bytes' FNV-1a hash.
  uint64_t hash = 0xcbf29ce484222325;
  for (unsigned char c : Generate(MazeRequest{101, 61, 7, 20, 5, 5, 30})) hash = (hash ^ c) * 0x100000001b3;
  EXPECT_EQ(hash, 0x23bebb63319d99b8u);
  // Teleports on nearly half the rooms, closing off places that each keep
  // a space cell, where no door goes.
  EXPECT_EQ(Generate(MazeRequest{15, 9, 1, 8, 0, 0, 12}),
            "###############\n#T#..T.T.T.TD.#\n#.#D#.#####.###\n#T#...#.DT#...#\n#.#####.#.#.#D#\n"
            "#T#TD.DT#TD.#.#\n#.#.#####.###.#\n#T.X#.......D.#\n###############\n");
}

// Each limit, at it and just past it.
TEST(MazegenTest, RefusesWhatCannotBeBuilt) {
  const struct {
    int width, height, orbs;
    const char* error;  // empty: built
  } cases[] = {
      {509, 3, 0, ""},
      {510, 3, 0,
       "width 510 is more than 509: the maze reader takes 510 characters at a time, the "
       "newline included, so each wider row would read as two"},
      {3, 200000, 0, ""},
      {3, 200001, 0,
       "height 200001 is more than 200000, the tallest maze a walker still moves through in "
       "steps of 1/16 unit"},
      {3, 3, 0, ""},
      {2, 3, 0, "a maze is at least 3 by 3 cells"},
      {5, 5, 100,
       "the maze has too few open cells for that many doors, orbs, pedestals and teleports"},
      // One open cell, which the start takes.
      {3, 3, 1, "the maze has too few open cells for that many doors, orbs, pedestals and teleports"},
  };
  for (const auto& c : cases) {
    MazeRequest request;
    request.width = c.width;
    request.height = c.height;
    request.orbs = c.orbs;
    request.doors = request.pedestals = request.teleports = 0;
    std::string maze, error;
    EXPECT_EQ(GenerateMaze(request, maze, error), *c.error == '\0') << c.width << "x" << c.height;
    EXPECT_EQ(error, c.error) << c.width << "x" << c.height;
  }
}
