// The tick: walking, wall collision and sliding, orbs, eye height, teleports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include <random>
#include <string>
#include <vector>

#include "maze_map.h"
#include "sim/steps.h"
#include "test_maze.h"
#include "world/maze.h"

namespace {

class UpdateTest : public testing::Test {
 protected:
  void Add(ComponentKind kind, float x, float y) {
    int slot = maze_.GetNextFreeIndex(&maze_.list[kind]);
    maze_.list[kind].Set(slot, Point2{x, y});
  }
  bool InsideAWall() const {
    for (int i = 0; i < maze_.used[kWall]; i++) {
      Point2 w = maze_.list[kWall][i];
      if (std::fabs(maze_.walker.x - w.x) < 2.5 && std::fabs(maze_.walker.y - w.y) < 2.5)
        return true;
    }
    return false;
  }
  Maze maze_;
};

}  // namespace

TEST_F(UpdateTest, WalkingIntoAWallStopsAtTheLastFreeStep) {
  Add(kWall, 0, 10);  // its square spans y 7.5 to 12.5
  maze_.speed = 1;
  for (int tick = 1; tick <= 20; tick++) {
    maze_.Update();
    ASSERT_FALSE(InsideAWall()) << "tick " << tick;
    EXPECT_EQ(maze_.walker.y, std::min(tick, 7)) << "tick " << tick;
    EXPECT_EQ(maze_.walker.x, 0);
  }
}

TEST_F(UpdateTest, WalkingDiagonallyIntoAWallSlidesAlongIt) {
  for (int x = -100; x <= 100; x += 5) Add(kWall, static_cast<float>(x), 10);
  maze_.heading = static_cast<float>(-M_PI / 4);  // towards +x and +y
  maze_.speed = 1;
  for (int tick = 0; tick < 40; tick++) {
    maze_.Update();
    ASSERT_FALSE(InsideAWall()) << "tick " << tick;
  }
  EXPECT_LT(maze_.walker.y, 7.5f);
  EXPECT_GT(maze_.walker.y, 6.5f);
  EXPECT_NEAR(maze_.walker.x, 40 * std::sqrt(0.5), 1e-3);
}

TEST_F(UpdateTest, WalkingIntoACornerStaysPut) {
  // Neither the whole step, nor its y part, nor its x part is free.
  Add(kWall, 0, 5);
  Add(kWall, 5, 5);
  Add(kWall, 5, 0);
  maze_.walker = Point2{2, 2};
  maze_.heading = static_cast<float>(-M_PI / 4);
  maze_.speed = 1;
  for (int tick = 0; tick < 10; tick++) {
    maze_.Update();
    EXPECT_FLOAT_EQ(maze_.walker.x, 2);
    EXPECT_FLOAT_EQ(maze_.walker.y, 2);
  }
}

// A wall's square holds its edges: the seam between two walls side by side
// is no way through. Just outside the edge is free.
TEST_F(UpdateTest, AWallBlocksItsSquareAndItsEdges) {
  Add(kWall, 0, 0);
  Add(kWall, 5, 0);
  const struct {
    float x, y;
    bool free;
  } cases[] = {
      {2.5f, 0, false},        {-2.5f, 0, false},        {0, 2.5f, false},
      {0, -2.5f, false},       {-2.5000002f, 0, true},   {0, -2.5000002f, true},
      {2.5f, 2.5000002f, true}, {2.5f, 2.5f, false},     {7.5000005f, 0, true},
  };
  for (const auto& c : cases) {
    maze_.walker = Point2{c.x, c.y};
    EXPECT_EQ(maze_.PositionIsFree(), c.free) << c.x << ", " << c.y;
  }
}

// The draw of a throw's landing: rand() % count where the draw covers the
// count, several draws where it does not, a draw past the last whole span of
// counts drawn again.
TEST(DrawBelowTest, EveryIndexCanComeUp) {
  static std::vector<int> draws;
  static size_t next;
  const struct {
    int count;
    int64_t drawMax;
    std::vector<int> draws;
    int index;
  } cases[] = {{51480, 2147483647, {123456}, 123456 % 51480}, {32768, 32767, {32767}, 32767},
               {51480, 32767, {1, 5}, 32773}, {51480, 32767, {0, 0}, 0},
               // Past the last whole span of counts, from its first value on: drawn again.
               {51480, 32767, {32767, 32767, 7, 9}, (7 * 32768 + 9) % 51480},
               {51480, 32767, {32767, 9304, 7, 9}, (7 * 32768 + 9) % 51480},
               {20000, 32767, {20000, 19999}, 19999}, {20000, 2147483647, {20000}, 0},
               // glibc's largest draw, taken as it comes, not drawn again.
               {20000, 2147483647, {2147483647}, 2147483647 % 20000}};
  for (const auto& c : cases) {
    draws = c.draws, next = 0;
    EXPECT_EQ(DrawBelow(c.count, [] { return draws[next++]; }, c.drawMax), c.index) << c.count;
    EXPECT_EQ(next, c.draws.size()) << c.count;
  }
}

// Every value a 15-bit draw can give, once each: the first draws kept take
// every index equally often, however the count divides 32,768.
TEST(DrawBelowTest, EveryIndexComesUpEquallyOftenFromAFifteenBitDraw) {
  static int first, calls;
  for (int count : {16385, 20000, 32767}) {
    std::vector<int> hits(count);
    for (first = 0; first <= 32767; first++) {
      calls = 0;
      int index = DrawBelow(count, [] { return calls++ ? 0 : first; }, 32767);
      if (calls == 1) hits[index]++;
    }
    EXPECT_EQ(*std::min_element(hits.begin(), hits.end()), 1) << count;
    EXPECT_EQ(*std::max_element(hits.begin(), hits.end()), 1) << count;
  }
}

TEST_F(UpdateTest, ATurnKeyAloneTurnsInPlace) {
  maze_.turnRate = 1;
  maze_.walker = Point2{3, 4};
  float expected = 0;
  for (int tick = 0; tick < 3; tick++) {
    maze_.Update();
    expected = static_cast<float>(expected + static_cast<double>(0.1f));
    EXPECT_EQ(maze_.heading, expected);
  }
  EXPECT_NEAR(maze_.heading, 0.3, 1e-6);
  maze_.turnRate = -1;
  maze_.Update();
  EXPECT_NEAR(maze_.heading, 0.2, 1e-6);
  EXPECT_EQ(maze_.walker.x, 3);
  EXPECT_EQ(maze_.walker.y, 4);
}

TEST_F(UpdateTest, PastAThousandTurnsTheHeadingLosesWholeTurnsAndKeepsItsStep) {
  // Just short of the bound the sum is stored as it always was.
  const float kNearBound = 6283.0f;  // 1000 turns are 6283.185 radians
  maze_.heading = kNearBound;
  maze_.turnRate = 1;
  maze_.Update();
  EXPECT_EQ(maze_.heading, static_cast<float>(kNearBound + static_cast<double>(0.1f)));
  maze_.Update();
  maze_.Update();
  EXPECT_NEAR(maze_.heading, std::fmod(kNearBound + 0.3, 2 * M_PI), 1e-3);
  for (int tick = 0; tick < 100; tick++) {
    float before = maze_.heading;
    maze_.Update();
    EXPECT_NEAR(maze_.heading - before, 0.1, 1e-6);
  }
  maze_.heading = -kNearBound;
  maze_.turnRate = -1;
  for (int tick = 0; tick < 3; tick++) maze_.Update();
  EXPECT_NEAR(maze_.heading, std::fmod(-kNearBound - 0.3, 2 * M_PI), 1e-3);
}

TEST_F(UpdateTest, StepsFollowTheHeadingCounterClockwise) {
  maze_.heading = static_cast<float>(M_PI / 2);  // facing -x
  maze_.speed = 1;
  maze_.Update();
  EXPECT_FLOAT_EQ(maze_.walker.x, -1);
  EXPECT_NEAR(maze_.walker.y, 0, 1e-7);
  maze_.speed = -1;
  maze_.Update();
  EXPECT_NEAR(maze_.walker.x, 0, 1e-7);
}

TEST_F(UpdateTest, AnOrbBecomesAPedestalAndRaisesTheEye) {
  Add(kOrb, 0, 5);
  Add(kOrb, 100, 100);
  Add(kPedestal, 50, 50);
  maze_.speed = 1;
  maze_.Update();
  maze_.Update();
  EXPECT_EQ(maze_.eyeHeight, 3);
  maze_.Update();  // y = 3: on the orb's cell
  EXPECT_EQ(maze_.eyeHeight, 7);
  EXPECT_EQ(maze_.used[kOrb], 2);
  EXPECT_EQ(maze_.list[kOrb][0].x, -100000);
  EXPECT_EQ(maze_.list[kOrb][0].y, -100000);
  EXPECT_EQ(maze_.list[kOrb][1].x, 100);
  ASSERT_EQ(maze_.used[kPedestal], 2);
  EXPECT_EQ(maze_.list[kPedestal][1].x, 0);
  EXPECT_EQ(maze_.list[kPedestal][1].y, 5);

  // Standing on the new pedestal keeps the eye up; nothing more is taken.
  maze_.speed = 0;
  maze_.Update();
  EXPECT_EQ(maze_.eyeHeight, 7);
  EXPECT_EQ(maze_.used[kPedestal], 2);
}

TEST_F(UpdateTest, AtMostOneOrbIsTakenATick) {
  Add(kOrb, 0, 0);
  Add(kOrb, 1, 1);
  maze_.Update();
  EXPECT_EQ(maze_.used[kPedestal], 1);
  EXPECT_EQ(maze_.list[kOrb][1].x, 1);
  maze_.Update();
  EXPECT_EQ(maze_.used[kPedestal], 2);
}

// An orb's square does not hold its edges, as a wall's does.
TEST_F(UpdateTest, AnOrbIsTakenOnlyFromInsideItsSquare) {
  Add(kOrb, 0, 0);
  maze_.walker = Point2{2.5f, 0};
  maze_.Update();
  EXPECT_EQ(maze_.used[kPedestal], 0);
  maze_.walker = Point2{2.4999998f, 0};
  maze_.Update();
  EXPECT_EQ(maze_.used[kPedestal], 1);
}

TEST_F(UpdateTest, ATakenOrbIsNeverTakenAgain) {
  // Orbs go to the taken place; a walker who follows them takes nothing.
  Add(kOrb, 0, 0);
  Add(kOrb, 5, 0);
  maze_.Update();
  maze_.walker = Point2{5, 0};
  maze_.Update();
  maze_.walker = kOrbTaken;
  for (int tick = 0; tick < 3; tick++) maze_.Update();
  EXPECT_EQ(maze_.used[kPedestal], 2);
  EXPECT_EQ(maze_.eyeHeight, 5.5f);  // sinking from 7: nothing raises it
}

TEST_F(UpdateTest, TheEyeSinksHalfAUnitATickToThree) {
  maze_.Update();
  EXPECT_EQ(maze_.eyeHeight, 3);  // from 0 straight up to rest

  maze_.eyeHeight = 7;
  int ticks = 0;
  while (maze_.eyeHeight > 3) {
    maze_.Update();
    ticks++;
  }
  EXPECT_EQ(ticks, 8);

  maze_.eyeHeight = 40;
  ticks = 0;
  while (maze_.eyeHeight > 3) {
    maze_.Update();
    ticks++;
  }
  EXPECT_EQ(ticks, 74);
  EXPECT_EQ(maze_.eyeHeight, 3);
}

TEST_F(UpdateTest, WithoutWallsTheWalkerGoesAnywhere) {
  Add(kDoor, 0, 5);
  Add(kSpace, 0, 10);
  maze_.speed = 1;
  for (int tick = 0; tick < 1000; tick++) maze_.Update();
  EXPECT_EQ(maze_.walker.y, 1000);
}

TEST_F(UpdateTest, ATeleportThrowsTheWalkerOntoASpaceCentreHighUp) {
  Add(kSpace, 100, -100);
  Add(kSpace, 200, -200);
  Add(kSpace, 300, -300);
  Add(kTeleport, 0, 5);
  Add(kTeleport, 300, -305);
  maze_.speed = 1;
  srand(7);
  for (int tick = 0; tick < 3; tick++) maze_.Update();
  EXPECT_EQ(maze_.eyeHeight, 40);
  bool onSpaceCentre = false;
  for (int i = 0; i < 3; i++)
    onSpaceCentre |= maze_.walker.x == maze_.list[kSpace][i].x &&
                     maze_.walker.y == maze_.list[kSpace][i].y;
  EXPECT_TRUE(onSpaceCentre) << maze_.walker.x << ", " << maze_.walker.y;

  // Landing is not a teleport of its own: standing still, the eye sinks.
  maze_.speed = 0;
  Point2 landed = maze_.walker;
  maze_.Update();
  EXPECT_EQ(maze_.walker.x, landed.x);
  EXPECT_EQ(maze_.walker.y, landed.y);
  EXPECT_EQ(maze_.eyeHeight, 39.5);
}

// The draw that picks the last space cell of a maze read from a file lands
// on that cell, the last of its list's last row.
TEST(TeleportTest, AThrowCanLandOnTheLastSpaceCellOfTheFile) {
  Maze maze;
  LoadMazeQuietly("#T.#\n" + std::string(300, '.') + "\n#..X.\n", maze);
  int spaces = maze.used[kSpace];
  unsigned seed = 1;
  while ((srand(seed), rand() % spaces != spaces - 1)) seed++;
  maze.walker = maze.list[kTeleport][0];
  srand(seed);
  maze.CheckTeleports();
  EXPECT_EQ(maze.walker.x, 20);
  EXPECT_EQ(maze.walker.y, -10);
}

TEST_F(UpdateTest, ATeleportWithNoSpaceCellsLeavesTheWalkerBe) {
  Add(kTeleport, 0, 0);
  maze_.walker = Point2{1, 1};
  maze_.Update();
  EXPECT_EQ(maze_.walker.x, 1);
  EXPECT_EQ(maze_.walker.y, 1);
  EXPECT_EQ(maze_.eyeHeight, 3);
}

// Keys held for some ticks: a walking speed and a turn rate.
struct HeldKeys { int ticks; float speed, turnRate; };

// Drives the real tick through the maze with the keys, then random keys
// until ticks have run: every cell the walker stands strictly inside is one
// the maze check says it reaches. Returns the deepest row it stood in.
int64_t ExpectStandsOnlyWhereTheCheckSaysItCanGo(const std::string& text,
                                                 const std::vector<HeldKeys>& keys, int ticks,
                                                 unsigned seed) {
  Maze maze;
  LoadMazeQuietly(text, maze);
  MazeCells cells;
  FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  EXPECT_TRUE(ReadMazeCells(file, cells));
  fclose(file);
  Reach reach = FindReach(cells);

  std::mt19937 random(seed);
  srand(seed);
  size_t held = 0;
  int heldFor = 0;
  int64_t deepest = -1;
  for (int tick = 0; tick < ticks; tick++) {
    while (held < keys.size() && heldFor == keys[held].ticks) held++, heldFor = 0;
    if (held < keys.size()) {
      maze.speed = keys[held].speed, maze.turnRate = keys[held].turnRate, heldFor++;
    } else if (tick % 15 == 0) {
      maze.speed = static_cast<float>(random() % 3) - 1;
      maze.turnRate = static_cast<float>(random() % 3) - 1;
    }
    maze.Update();
    // The cell the walker is strictly inside, if any.
    double column = std::round(maze.walker.x / 5.0), row = std::round(-maze.walker.y / 5.0);
    if (std::fabs(maze.walker.x - 5 * column) >= 2.5 || std::fabs(maze.walker.y + 5 * row) >= 2.5)
      continue;
    int64_t r = static_cast<int64_t>(row), c = static_cast<int64_t>(column);
    deepest = std::max(deepest, r);
    bool reached = cells.Holds(r, c) ? reach.cell.Has(cells.rowStart[r] + c) : reach.outside;
    EXPECT_TRUE(reached) << "seed " << seed << " tick " << tick << " at row " << r << ", column "
                         << c << " of\n" << text.substr(0, 2000);
    if (!reached) break;
  }
  return deepest;
}

TEST(WalkerReachTest, TheWalkerStandsOnlyWhereTheCheckSaysItCanGo) {
  // Random keys through random small mazes.
  const char kCells[] = "####....  DOPT";
  std::mt19937 random(7);
  for (unsigned trial = 0; trial < 300; trial++) {
    int width = 3 + static_cast<int>(random() % 6), height = 3 + static_cast<int>(random() % 6);
    std::string text;
    for (int r = 0; r < height; r++) {
      for (int c = 0; c < width; c++) text += kCells[random() % (sizeof kCells - 1)];
      text += '\n';
    }
    text[random() % height * (width + 1) + random() % width] = 'X';
    ExpectStandsOnlyWhereTheCheckSaysItCanGo(text, {}, 3000, trial);
  }

  // Along the seam between two walls side by side, or two teleports, to
  // the row beyond them: doors, where no throw lands.
  std::vector<HeldKeys> seam;
  for (HeldKeys step : std::vector<HeldKeys>{{29, 1, 0}, {11, -1, 0}, {5, 1, 0}, {24, 1, 0},
                                             {16, 1, 0}, {15, 1, 0}})
    seam.insert(seam.end(), {{step.ticks, 0, -1}, {1, step.speed, 0}, {step.ticks, 0, 1}});
  seam.insert(seam.end(), {{22, 1, 0}, {16, 0, -1}, {2, 1, 0}});
  for (const char* beside : {"#.....#\n#######\n", "#DDDDD#\n#TTTTT#\n"})
    ExpectStandsOnlyWhereTheCheckSaysItCanGo(
        "#######\n" + std::string(beside) + "#.....#\n#.....#\n#X....#\n#.....#\n#.....#\n#######\n",
        seam, 400, 1);

  // Among many spaces, thrown by teleports.
  std::string spaces;
  for (int r = 0; r < 300; r++) spaces += std::string(200, r % 7 == 3 ? 'T' : '.') + "\n";
  spaces[0] = 'X';
  ExpectStandsOnlyWhereTheCheckSaysItCanGo(spaces, {}, 3000, 2);
  // Thrown onto the only spaces, sixteen cells that a row's read takes at once.
  ExpectStandsOnlyWhereTheCheckSaysItCanGo("XT\n################\n#..............#\n################\n", {},
                                           3000, 3);
}

// Down a corridor as deep as floats let the walker go, and past it: the
// walker stops in the row the check names as the last it reaches.
TEST(WalkerReachTest, TheWalkerStopsWhereTheCheckSaysAStepRoundsToNothing) {
  const int64_t kLines = kDeepestRowWalkedTo + 20, kStartRow = kDeepestRowWalkedTo - 8;
  std::string text;
  text.reserve(4 * kLines);
  for (int64_t r = 0; r < kLines; r++) text += r == kStartRow ? "#X#\n" : "#.#\n";
  // Facing down the corridor, then walking.
  int64_t deepest = ExpectStandsOnlyWhereTheCheckSaysItCanGo(
      text, {{31, 0, 1}, {1, 0, 0}, {200, 1, 0}}, 232, 3);
  EXPECT_EQ(deepest, kDeepestRowWalkedTo);
  MazeCells cells;
  FILE* file = fmemopen(text.data(), text.size(), "r");
  ASSERT_TRUE(ReadMazeCells(file, cells));
  fclose(file);
  std::vector<MazeProblem> problems = CheckMaze(cells);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].at.line, kDeepestRowWalkedTo + 2);

  // In the deepest row walked to, a pocket is a region of its own, and an
  // open end steps off onto the outside, which reaches the cell beside it
  // at the top; below, the line past the float limit alone, where the
  // outside leads nowhere. The rows above are longer, so that only the
  // deepest row's own end leads out.
  const struct {
    const char *top, *deepest, *below;
    std::vector<int64_t> lines;
  } rows[] = {{"#.#####\n", "#.#.###\n", "#.#####\n", {kDeepestRowWalkedTo + 1, kDeepestRowWalkedTo + 2}},
              {"#####.#\n", "#...\n", "#.#####\n", {kDeepestRowWalkedTo + 2}},
              {"#####.#\n", "#..#\n", "#.#####\n", {1, kDeepestRowWalkedTo + 2}},
              {"#####.#\n", "#...\n", ".######\n", {kDeepestRowWalkedTo + 2}}};
  for (const auto& row : rows) {
    std::string deep;
    deep.reserve(6 * kLines);
    for (int64_t r = 0; r < kLines; r++)
      deep += r == 0                     ? row.top
              : r == kStartRow            ? "#X#####\n"
              : r == kDeepestRowWalkedTo ? row.deepest
              : r > kDeepestRowWalkedTo   ? row.below
                                          : "#.#####\n";
    MazeCells deepCells;
    file = fmemopen(deep.data(), deep.size(), "r");
    ASSERT_TRUE(ReadMazeCells(file, deepCells));
    fclose(file);
    std::vector<int64_t> lines;
    for (const MazeProblem& problem : CheckMaze(deepCells)) lines.push_back(problem.at.line);
    EXPECT_EQ(lines, row.lines) << row.top << row.deepest;
  }
}
