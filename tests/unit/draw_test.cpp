// The renderer against a recording GL: camera, preclipping, shading, order.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "gl_recorder/gl_recorder.h"
#include "render/render.h"
#include "test_maze.h"
#include "world/maze.h"

namespace {

// One model instance as the recorded calls show it.
struct Instance {
  double x = 0, y = 0;
  bool rotated = false;
  double angle = 0;
  int model = -1;     // ModelKind of the vertex arrays drawn, -1 for none
  std::string color;  // "glColor3f" or "glColor4f", empty when none
  std::vector<double> rgba;
  int polygons = 0;
};

class DrawTest : public testing::Test {
 protected:
  void SetUp() override {
    gUseAlpha = false;
    gRotateObjects = true;
    gSpinAngle = 0;
    for (int m = 0; m < kNumModelKinds; m++) GiveModel(static_cast<ModelKind>(m), 1);
    GiveModel(kStartModel, 0);  // counted only where a test wants it
    ClearGlCalls();
  }
  void TearDown() override {
    gUseAlpha = false;
    gRotateObjects = true;
  }

  // Replaces a model with one of polygons of three vertices each.
  void GiveModel(ModelKind m, int polygons) {
    for (int i = 0; i < maze_.modelCount[m]; i++) delete maze_.model[m][i];
    free(maze_.model[m]);
    maze_.model[m] = static_cast<PolygonList>(malloc(sizeof(Polygon*) * (polygons + 1)));
    maze_.modelCount[m] = polygons;
    for (int i = 0; i < polygons; i++) {
      Polygon* p = new Polygon;
      p->SetVertexCount(3);
      p->SetColor(1, 0.5, 0.25);
      for (int v = 0; v < 3; v++) p->AddVertex(v, 0, 0);
      maze_.model[m][i] = p;
    }
  }

  void Add(ComponentKind kind, float x, float y) {
    int slot = maze_.GetNextFreeIndex(&maze_.list[kind]);
    maze_.list[kind].Set(slot, Point2{x, y});
  }

  int ModelOf(const void* vertices) const {
    for (int m = 0; m < kNumModelKinds; m++)
      for (int i = 0; i < maze_.modelCount[m]; i++)
        if (maze_.model[m][i]->vertices == vertices) return m;
    return -2;
  }

  // Draws one frame and reads the instances back from the recorded calls;
  // the start marker, always last, goes to start_.
  std::vector<Instance> DrawFrame() {
    ClearGlCalls();
    maze_.Draw();
    const std::vector<GlCall>& calls = RecordedGlCalls();
    std::vector<Instance> instances;
    EXPECT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front().name, "glPushMatrix");
    EXPECT_EQ(calls[1].name, "gluLookAt");
    EXPECT_EQ(calls.back().name, "glPopMatrix");
    for (size_t i = 2; i + 1 < calls.size(); i++) {
      const GlCall& call = calls[i];
      if (call.name == "glTranslatef") {
        EXPECT_EQ(calls[i - 1].name, "glPushMatrix");
        EXPECT_EQ(call.args[2], 0);
        instances.push_back(Instance{});
        instances.back().x = call.args[0];
        instances.back().y = call.args[1];
      } else if (call.name == "glRotatef") {
        instances.back().rotated = true;
        instances.back().angle = call.args[0];
        EXPECT_EQ(call.args, (std::vector<double>{call.args[0], 0, 0, 1}));
      } else if (call.name == "glColor3f" || call.name == "glColor4f") {
        instances.back().color = call.name;
        instances.back().rgba = call.args;
      } else if (call.name == "glVertexPointer") {
        EXPECT_EQ(call.args, (std::vector<double>{3, GL_FLOAT, 12}));
        instances.back().model = ModelOf(call.pointer);
      } else if (call.name == "glDrawArrays") {
        EXPECT_EQ(call.args, (std::vector<double>{GL_LINE_LOOP, 0, 3}));
        instances.back().polygons++;
      }
    }
    EXPECT_FALSE(instances.empty());
    if (!instances.empty()) {
      start_ = instances.back();
      instances.pop_back();
    }
    return instances;
  }

  Maze maze_;
  Instance start_;
};

}  // namespace

TEST_F(DrawTest, LooksTwentyAheadAtHeightThreeInDoublePrecision) {
  maze_.walker = Point2{1000.25f, -777.5f};
  maze_.eyeHeight = 7;
  maze_.heading = 0.7f;
  DrawFrame();
  float s = static_cast<float>(-std::sin(static_cast<double>(0.7f)));
  float c = static_cast<float>(std::cos(static_cast<double>(0.7f)));
  std::vector<double> expected = {1000.25, -777.5, 7, 1000.25 + 20.0 * s, -777.5 + 20.0 * c,
                                  3,       0,      0, 1};
  EXPECT_EQ(RecordedGlCalls()[1].args, expected);
  // The target is not rounded to single precision on the way.
  EXPECT_NE(RecordedGlCalls()[1].args[3], static_cast<double>(static_cast<float>(expected[3])));
  EXPECT_NE(RecordedGlCalls()[1].args[4], static_cast<double>(static_cast<float>(expected[4])));
}

TEST_F(DrawTest, PreclipsAtTheFarPlaneAndShadesByDistance) {
  Add(kSpace, 0, 110);     // exactly at the far plane: skipped
  Add(kSpace, 0, 109.9f);  // just inside: almost black
  Add(kSpace, 60, 0);      // half way: half bright
  Add(kSpace, 0, 10);      // full brightness up to 10
  Add(kSpace, -3, 4);      // nearer still
  std::vector<Instance> drawn = DrawFrame();
  ASSERT_EQ(drawn.size(), 4u);
  EXPECT_EQ(drawn[0].y, 109.9f);
  EXPECT_NEAR(drawn[0].rgba[0], 0.001, 1e-5);
  EXPECT_EQ(drawn[0].rgba[0], static_cast<float>(1.1 - 0.01 * 109.9f));
  EXPECT_EQ(drawn[1].rgba, (std::vector<double>{0.5f, 0.25f, 0.125f}));
  EXPECT_EQ(drawn[2].rgba, (std::vector<double>{1, 0.5, 0.25}));
  EXPECT_EQ(drawn[3].rgba, (std::vector<double>{1, 0.5, 0.25}));
  EXPECT_EQ(gObjectsDrawn, 4);
}

// The page weighs a stranger's models by this bound: no more than 1,619 cells
// of a list stand within the far plane, wherever the walker stands.
TEST_F(DrawTest, NoFrameDrawsMoreOfAListThanTheFarPlaneHolds) {
  for (int i = 0; i < 61 * 61; i++) Add(kWall, 5.0f * (i % 61 - 30), 5.0f * (i / 61 - 30));
  size_t most = 0;
  for (float at : {0.0f, 1.25f, 2.5f}) {
    maze_.walker = Point2{at, at};
    maze_.heading = 0.8f * at;
    most = std::max(most, DrawFrame().size());
  }
  EXPECT_TRUE(most > 1100 && most <= 1619) << most;
}

TEST_F(DrawTest, PreclipsBehindButNotBesideTheWalker) {
  maze_.walker = Point2{100, 100};
  maze_.heading = static_cast<float>(M_PI / 2);  // facing -x
  Add(kWall, 120, 100);   // straight behind
  Add(kWall, 100, 120);   // 90 degrees to the side, outside the field of view
  Add(kWall, 100, 100);   // under the eye: 0/0 fails the test
  Add(kWall, 120, 119);   // about 136.5 degrees off the view: skipped
  Add(kWall, 120, 79);    // about 133.6 degrees off the view: drawn
  std::vector<Instance> drawn = DrawFrame();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[0].x, 100);
  EXPECT_EQ(drawn[0].y, 120);
  EXPECT_EQ(drawn[1].y, 79);
  EXPECT_EQ(gObjectsDrawn, 2);
}

TEST_F(DrawTest, DrawsTheListsInFixedOrderEachWithItsModel) {
  Add(kDoor, 0, 10);
  Add(kPedestal, 0, 20);
  Add(kTeleport, 0, 30);
  Add(kOrb, 0, 40);
  Add(kWall, 0, 50);
  Add(kSpace, 0, 60);
  Add(kSpace, 5, 60);
  maze_.start = Point2{0, 70};
  GiveModel(kStartModel, 2);
  std::vector<Instance> drawn = DrawFrame();
  drawn.push_back(start_);
  ASSERT_EQ(drawn.size(), 8u);
  const int expected[][2] = {{60, kSpaceModel},    {60, kSpaceModel}, {50, kWallModel},
                             {40, kOrbModel},      {30, kTeleportModel},
                             {20, kPedestalModel}, {10, kDoorModel},  {70, kStartModel}};
  for (int i = 0; i < 8; i++) {
    EXPECT_EQ(drawn[i].y, expected[i][0]) << "instance " << i;
    EXPECT_EQ(drawn[i].model, expected[i][1]) << "instance " << i;
  }
  EXPECT_EQ(drawn[0].x, 0);
  EXPECT_EQ(drawn[1].x, 5);
  EXPECT_EQ(drawn[7].polygons, 2);
  EXPECT_EQ(gObjectsDrawn, 8);
}

TEST_F(DrawTest, AnEmptyModelDrawsAndCountsNothing) {
  GiveModel(kWallModel, 0);
  Add(kSpace, 0, 20);
  Add(kWall, 0, 10);
  std::vector<Instance> drawn = DrawFrame();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[0].polygons, 1);
  EXPECT_EQ(drawn[1].color, "");
  EXPECT_EQ(drawn[1].polygons, 0);
  EXPECT_EQ(gObjectsDrawn, 1);
}

TEST_F(DrawTest, TheStartIsDrawnEveryFrameWhereverItLies) {
  GiveModel(kStartModel, 1);
  maze_.start = Point2{0, -500};  // behind and beyond the far plane
  for (int frame = 0; frame < 2; frame++) {
    EXPECT_TRUE(DrawFrame().empty());
    EXPECT_EQ(start_.y, -500);
    EXPECT_EQ(start_.model, kStartModel);
    EXPECT_EQ(start_.rgba, (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(gObjectsDrawn, 1);
  }
}

TEST_F(DrawTest, OrbsAndTeleportsSpinByTwoDegreesAFrame) {
  Add(kOrb, 0, 10);
  Add(kTeleport, 0, 20);
  Add(kPedestal, 0, 30);
  gSpinAngle = 10;
  std::vector<Instance> drawn = DrawFrame();
  ASSERT_EQ(drawn.size(), 3u);
  EXPECT_TRUE(drawn[0].rotated);
  EXPECT_EQ(drawn[0].angle, 10);
  EXPECT_TRUE(drawn[1].rotated);
  EXPECT_EQ(drawn[1].angle, 10);
  EXPECT_FALSE(drawn[2].rotated);
  EXPECT_EQ(gSpinAngle, 12);
  drawn = DrawFrame();
  EXPECT_EQ(drawn[0].angle, 12);
  EXPECT_EQ(gSpinAngle, 14);
}

TEST_F(DrawTest, WithoutRotationNothingSpinsButTheAngleStillGrows) {
  gRotateObjects = false;
  Add(kOrb, 0, 10);
  Add(kTeleport, 0, 20);
  DrawFrame();
  for (const GlCall& call : RecordedGlCalls()) EXPECT_NE(call.name, "glRotatef");
  EXPECT_EQ(gSpinAngle, 2);
  DrawFrame();
  EXPECT_EQ(gSpinAngle, 4);
}

TEST_F(DrawTest, AlphaBlendingUsesTheShadeAsAlpha) {
  gUseAlpha = true;
  Add(kSpace, 0, 60);
  std::vector<Instance> drawn = DrawFrame();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].color, "glColor4f");
  EXPECT_EQ(drawn[0].rgba, (std::vector<double>{0.5f, 0.25f, 0.125f, 0.5f}));
}

TEST_F(DrawTest, EveryPolygonIsOneVertexArrayAndOneLineLoop) {
  GiveModel(kWallModel, 3);
  maze_.DrawComponent(maze_.model[kWallModel], 3, 1);
  const std::vector<GlCall>& calls = RecordedGlCalls();
  ASSERT_EQ(calls.size(), 7u);
  EXPECT_EQ(calls[0].name, "glColor3f");
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(calls[1 + 2 * i].name, "glVertexPointer");
    EXPECT_EQ(calls[1 + 2 * i].pointer, maze_.model[kWallModel][i]->vertices);
    EXPECT_EQ(calls[2 + 2 * i].name, "glDrawArrays");
  }
}
