// The row-indexed frame and tick against plain scans of every list: the same
// calls with the same arguments in the same order, the same tick results.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "gl_recorder/gl_recorder.h"
#include "mazegen.h"
#include "oracle/plain_scans.h"
#include "render/render.h"
#include "test_maze.h"
#include "world/maze.h"

namespace {

std::string Generated(int width, int height, int items) {
  MazeRequest request;
  request.width = width;
  request.height = height;
  request.seed = static_cast<uint64_t>(width * 7919 + height);
  request.doors = request.orbs = request.pedestals = request.teleports = items;
  std::string maze, error;
  EXPECT_TRUE(GenerateMaze(request, maze, error)) << error;
  return maze;
}

// Loads a maze as start-up does, quietly, and gives every kind a model of
// one polygon so that each instance drawn shows its colour and draw calls.
void Load(const std::string& text, Maze& maze) {
  LoadMazeQuietly(text, maze);
  for (int m = 0; m < kNumModelKinds; m++) {
    maze.model[m] = static_cast<PolygonList>(malloc(sizeof(Polygon*)));
    maze.model[m][0] = new Polygon;
    maze.model[m][0]->SetVertexCount(1);
    maze.model[m][0]->SetColor(0.1f * m, 1, 0.5f);
    maze.model[m][0]->AddVertex(0, 0, 0);
    maze.modelCount[m] = 1;
  }
}

// Takes every third orb the way a walker does, so that orbs have moved and
// pedestals have been appended; the index is told of all but the last. The
// walk goes up the maze, so the appended pedestals' y rises along the list.
void TakeSomeOrbs(Maze& maze) {
  for (int i = maze.used[kOrb] - 1; i >= 0; i -= 3) {
    int slot = maze.GetNextFreeIndex(&maze.list[kPedestal]);
    maze.list[kPedestal].Set(slot, maze.list[kOrb][i]);
    if (i >= 3) maze.IndexAppended(kPedestal, slot);
    maze.list[kOrb].Set(i, kOrbTaken);
  }
}

// Places the walker somewhere worth testing: anywhere on or around the
// grid, on a cell's centre, exactly 110 from one, far away, by the taken
// orbs, or on an orb or a pedestal, appended ones included.
void PlaceWalker(Maze& maze, std::mt19937& random) {
  auto uniform = [&](double lo, double hi) {
    return static_cast<float>(std::uniform_real_distribution<double>(lo, hi)(random));
  };
  const ComponentList& walls = maze.list[kWall];
  Point2 cell = walls[random() % maze.used[kWall]];
  int orbs = maze.used[kOrb], pedestals = maze.used[kPedestal];
  switch (random() % 8) {
    case 0: maze.walker = cell; break;
    case 6: if (orbs) maze.walker = maze.list[kOrb][random() % orbs]; break;
    case 7: if (pedestals) maze.walker = maze.list[kPedestal][random() % pedestals]; break;
    case 1: maze.walker = Point2{cell.x + 110, cell.y}; break;
    case 2: maze.walker = Point2{cell.x, cell.y - 110}; break;
    case 3: maze.walker = Point2{uniform(-1e7, 1e7), uniform(-1e7, 1e7)}; break;
    case 4: maze.walker = Point2{kOrbTaken.x + uniform(-120, 120), kOrbTaken.y + uniform(-120, 120)}; break;
    default: {
      Point2 far = walls[maze.used[kWall] - 1];
      maze.walker = Point2{uniform(-150, far.x + 150), uniform(far.y - 150, 150)};
    }
  }
  maze.heading = random() % 4 == 0 ? static_cast<float>(random() % 8) * 0.7853982f
                                    : uniform(-1000, 1000);
  maze.eyeHeight = uniform(3, 40);
}

void ExpectSameFrames(Maze& maze, int frames, unsigned seed) {
  std::mt19937 random(seed);
  for (int frame = 0; frame < frames; frame++) {
    PlaceWalker(maze, random);
    gRotateObjects = frame % 5 != 0;
    gSpinAngle = static_cast<float>(frame % 180) * 2;

    ClearGlCalls();
    PlainDraw(maze);
    std::vector<GlCall> expected = RecordedGlCalls();
    int expectedDrawn = gObjectsDrawn;

    gSpinAngle = static_cast<float>(frame % 180) * 2;
    ClearGlCalls();
    maze.Draw();
    const std::vector<GlCall>& got = RecordedGlCalls();

    ASSERT_EQ(gObjectsDrawn, expectedDrawn) << "frame " << frame << " at " << maze.walker.x
                                            << ", " << maze.walker.y;
    ASSERT_EQ(got.size(), expected.size()) << "frame " << frame;
    for (size_t i = 0; i < got.size(); i++) {
      ASSERT_EQ(got[i].name, expected[i].name) << "frame " << frame << " call " << i;
      ASSERT_EQ(got[i].args, expected[i].args) << "frame " << frame << " call " << i;
      ASSERT_EQ(got[i].pointer, expected[i].pointer) << "frame " << frame << " call " << i;
    }
  }
  gRotateObjects = true;
  ClearGlCalls();
}

void ExpectSameTicks(const std::string& text, int ticks, unsigned seed) {
  Maze indexed, plain;
  Load(text, indexed);
  Load(text, plain);
  std::mt19937 random(seed);
  for (int tick = 0; tick < ticks; tick++) {
    // Now and then the walker is put somewhere new, in both worlds alike.
    if (random() % 50 == 0) {
      PlaceWalker(indexed, random);
      plain.walker = indexed.walker;
      plain.heading = indexed.heading;
      plain.eyeHeight = indexed.eyeHeight;
    }
    if (random() % 6 == 0) plain.speed = indexed.speed = static_cast<float>(static_cast<int>(random() % 3) - 1);
    if (random() % 6 == 0) plain.turnRate = indexed.turnRate = static_cast<float>(static_cast<int>(random() % 3) - 1);

    srand(tick);
    indexed.Update();
    srand(tick);
    PlainUpdate(plain);

    ASSERT_EQ(indexed.walker.x, plain.walker.x) << "tick " << tick;
    ASSERT_EQ(indexed.walker.y, plain.walker.y) << "tick " << tick;
    ASSERT_EQ(indexed.heading, plain.heading) << "tick " << tick;
    ASSERT_EQ(indexed.eyeHeight, plain.eyeHeight) << "tick " << tick;
    for (int k = 0; k < kNumComponentKinds; k++) ASSERT_EQ(indexed.used[k], plain.used[k]);
    for (int i = 0; i < indexed.used[kOrb]; i++) {
      ASSERT_EQ(indexed.list[kOrb][i].x, plain.list[kOrb][i].x) << "tick " << tick;
      ASSERT_EQ(indexed.list[kOrb][i].y, plain.list[kOrb][i].y) << "tick " << tick;
    }
  }
}

}  // namespace

TEST(IndexEquivalenceTest, FramesInTheBundledMaze) {
  Maze maze;
  Load(BundledMazeText(), maze);
  ASSERT_GT(maze.rowIndex[kWall].count, 0);
  ExpectSameFrames(maze, 1500, 1);
  TakeSomeOrbs(maze);
  ExpectSameFrames(maze, 1500, 2);
}

TEST(IndexEquivalenceTest, FramesInGeneratedMazes) {
  for (auto [width, height] : {std::pair<int, int>{101, 101}, {kWidestMaze, 40}, {7, 300}}) {
    Maze maze;
    Load(Generated(width, height, 60), maze);
    TakeSomeOrbs(maze);
    ExpectSameFrames(maze, 1000, static_cast<unsigned>(width));
  }
}

TEST(IndexEquivalenceTest, TicksInTheBundledAndGeneratedMazes) {
  ExpectSameTicks(BundledMazeText(), 20000, 3);
  ExpectSameTicks(Generated(61, 61, 150), 20000, 4);
  ExpectSameTicks(Generated(kWidestMaze, 30, 400), 20000, 5);
}

TEST(IndexEquivalenceTest, RowsFarDownStayIndexedByTheirCells) {
  // 14 million blank lines put the maze where a float's y steps by 8, so
  // neighbouring rows may share a y; the index still covers every entry,
  // with no more runs than entries.
  std::string text = std::string(14000000, '\n') + Generated(9, 40, 12);
  Maze maze;
  Load(text, maze);
  for (int k = 0; k < kNumComponentKinds; k++) {
    EXPECT_EQ(maze.rowIndex[k].count, maze.used[k]) << k;
    EXPECT_LE(maze.rowIndex[k].runs, maze.used[k]) << k;
  }
  TakeSomeOrbs(maze);
  ExpectSameFrames(maze, 1000, 6);
  ExpectSameTicks(text, 5000, 7);
}
