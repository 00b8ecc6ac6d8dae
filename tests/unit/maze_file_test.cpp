// The maze map reader: cell positions, rows, long lines, NUL bytes, statistics.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "capture.h"
#include "support/scratch.h"
#include "test_maze.h"
#include "world/maze.h"

namespace {

struct Loaded {
  Maze maze;
  std::string output;
};

// Loads a maze.txt holding exactly these bytes, as start-up does.
void Load(const std::string& bytes, Loaded& loaded) {
  ScratchDir dir;
  dir.Write("maze.txt", bytes);
  WorkingDir cd(dir.Path());
  StdoutCapture capture;
  loaded.maze.LoadMaze();
  loaded.output = capture.Take();
}

std::vector<std::pair<float, float>> Entries(const Maze& maze, int kind) {
  std::vector<std::pair<float, float>> entries;
  for (int i = 0; i < maze.used[kind]; i++)
    entries.emplace_back(maze.list[kind][i].x, maze.list[kind][i].y);
  return entries;
}

using Cells = std::vector<std::pair<float, float>>;

}  // namespace

TEST(MazeFileTest, ColumnsStepXAndTheStartSetsTheWalker) {
  Loaded l;
  Load("#X.\n", l);
  EXPECT_EQ(Entries(l.maze, kWall), (Cells{{0, 0}}));
  EXPECT_EQ(Entries(l.maze, kSpace), (Cells{{10, 0}}));
  EXPECT_EQ(l.maze.start.x, 5);
  EXPECT_EQ(l.maze.start.y, 0);
  EXPECT_EQ(l.maze.walker.x, 5);
  EXPECT_EQ(l.maze.walker.y, 0);
}

TEST(MazeFileTest, EveryCharacterOfTheTableLandsInItsList) {
  Loaded l;
  Load(".#DOTP\n", l);
  EXPECT_EQ(Entries(l.maze, kSpace), (Cells{{0, 0}}));
  EXPECT_EQ(Entries(l.maze, kWall), (Cells{{5, 0}}));
  EXPECT_EQ(Entries(l.maze, kDoor), (Cells{{10, 0}}));
  EXPECT_EQ(Entries(l.maze, kOrb), (Cells{{15, 0}}));
  EXPECT_EQ(Entries(l.maze, kTeleport), (Cells{{20, 0}}));
  EXPECT_EQ(Entries(l.maze, kPedestal), (Cells{{25, 0}}));
}

TEST(MazeFileTest, RowsStepYDownAndBlankLinesStillCount) {
  Loaded l;
  Load("#\n  D\n\n.\n", l);
  EXPECT_EQ(Entries(l.maze, kWall), (Cells{{0, 0}}));
  EXPECT_EQ(Entries(l.maze, kDoor), (Cells{{10, -5}}));
  EXPECT_EQ(Entries(l.maze, kSpace), (Cells{{0, -15}}));
}

TEST(MazeFileTest, ListsKeepFileOrderRowByRow) {
  Loaded l;
  Load("#.#\n.#\n", l);
  EXPECT_EQ(Entries(l.maze, kWall), (Cells{{0, 0}, {10, 0}, {5, -5}}));
  EXPECT_EQ(Entries(l.maze, kSpace), (Cells{{5, 0}, {0, -5}}));
}

TEST(MazeFileTest, LongLinesAreReadAsSeveralRows) {
  // 600 walls: 510 in the first read, then 90 and the newline one row down.
  Loaded l;
  Load(std::string(600, '#') + "\n.\n", l);
  Cells walls = Entries(l.maze, kWall);
  ASSERT_EQ(walls.size(), 600u);
  EXPECT_EQ(walls[509], (std::pair<float, float>{2545, 0}));
  EXPECT_EQ(walls[510], (std::pair<float, float>{0, -5}));
  EXPECT_EQ(walls[599], (std::pair<float, float>{445, -5}));
  EXPECT_EQ(Entries(l.maze, kSpace), (Cells{{0, -10}}));
}

TEST(MazeFileTest, ALineOfExactly510LeavesItsNewlineARowOfItsOwn) {
  Loaded l;
  Load(std::string(510, '.') + "\n#\n", l);
  EXPECT_EQ(l.maze.used[kSpace], 510);
  EXPECT_EQ(Entries(l.maze, kWall), (Cells{{0, -10}}));
}

TEST(MazeFileTest, ANulByteEndsWhatTheReadHolds) {
  Loaded l;
  Load(std::string("#\0#\n", 4) + std::string("\0#\n", 3) + "D\n", l);
  EXPECT_EQ(Entries(l.maze, kWall), (Cells{{0, 0}}));
  // The read that starts with NUL is still a row.
  EXPECT_EQ(Entries(l.maze, kDoor), (Cells{{0, -10}}));
}

TEST(MazeFileTest, LowerCaseAndUnknownCharactersOnlyTakeAColumn) {
  Loaded l;
  Load("doptx q\t\r.\n", l);
  for (int k = kWall; k < kNumComponentKinds; k++)
    EXPECT_EQ(l.maze.used[k], 0) << "kind " << k;
  EXPECT_EQ(Entries(l.maze, kSpace), (Cells{{45, 0}}));
  EXPECT_EQ(l.maze.start.x, 0);
  EXPECT_EQ(l.maze.start.y, 0);
}

TEST(MazeFileTest, TheLastStartWinsAndAMissingStartKeepsTheOrigin) {
  Loaded several;
  Load("X.\n.X\n", several);
  EXPECT_EQ(several.maze.start.x, 5);
  EXPECT_EQ(several.maze.start.y, -5);
  EXPECT_EQ(several.maze.walker.x, 5);
  EXPECT_EQ(several.maze.walker.y, -5);

  Loaded none;
  Load("..\n", none);
  EXPECT_EQ(none.maze.walker.x, 0);
  EXPECT_EQ(none.maze.walker.y, 0);
}

// Rows of every length up to the widest, of spaces and walls alone, mixed
// with the other characters or not, land in the lists a cell at a time would
// give, the start included, in a file large enough that reads cross the
// blocks it is taken in.
TEST(MazeFileTest, RowsOfAnyMixLandWhereACellAtATimeWouldPutThem) {
  const char* const kMixes[] = {".#", ".#DOTPX", ".#  x\xff", "DOTP"};
  std::mt19937 random(5);
  for (const char* mix : kMixes) {
    std::string text;
    std::vector<Cells> expected(kNumComponentKinds);
    std::pair<float, float> start{0, 0};
    for (int row = 0; text.size() < 600000; row++) {
      for (int c = 0; c < row * 7 % (kWidestMazeLine + 1); c++) {
        char ch = mix[random() % strlen(mix)];
        text += ch;
        std::pair<float, float> cell{c * 5.0f, row * -5.0f};
        if (IsStartCharacter(ch)) start = cell;
        if (ComponentOfCharacter(ch) >= 0) expected[ComponentOfCharacter(ch)].push_back(cell);
      }
      text += '\n';
    }
    Loaded l;
    Load(text, l);
    for (int k = 0; k < kNumComponentKinds; k++) EXPECT_EQ(Entries(l.maze, k), expected[k]) << mix << " kind " << k;
    EXPECT_EQ(std::make_pair(l.maze.start.x, l.maze.start.y), start) << mix;
  }
}

TEST(MazeFileTest, AnEmptyFilePrintsZeroesAndCountsTheStart) {
  Loaded l;
  Load("", l);
  EXPECT_EQ(l.output,
            "Statistics: used / allocated\n"
            "Spaces   : 0 / 20\n"
            "Walls    : 0 / 20\n"
            "Doors    : 0 / 20\n"
            "Orbs     : 0 / 20\n"
            "Teleports: 0 / 20\n"
            "Pedestal : 0 / 20\n");
  EXPECT_EQ(gObjectTotal, 121);
}

TEST(MazeFileTest, StatisticsShowUsedAndAllocatedAfterGrowth) {
  Loaded l;
  Load(std::string(21, '#') + "\nTTP.\n", l);
  EXPECT_EQ(l.output,
            "Statistics: used / allocated\n"
            "Spaces   : 1 / 20\n"
            "Walls    : 21 / 40\n"
            "Doors    : 0 / 20\n"
            "Orbs     : 0 / 20\n"
            "Teleports: 2 / 20\n"
            "Pedestal : 1 / 20\n");
  EXPECT_EQ(gObjectTotal, 141);
}

TEST(MazeFileDeathTest, AMissingFileIsFatal) {
  ScratchDir dir;
  WorkingDir cd(dir.Path());
  Maze maze;
  EXPECT_EXIT(maze.LoadMaze(), testing::ExitedWithCode(1),
              testing::Eq("Unable to open the maze file. Aborting.  : "
                          "No such file or directory\n"));
}
