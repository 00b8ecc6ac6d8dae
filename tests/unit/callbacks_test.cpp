// Start-up's window and graphics state, and the display and timer callbacks:
// their calls, in order, and their counters.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "capture.h"
#include "gl_recorder/gl_recorder.h"
#include "render/render.h"
#include "world/maze.h"

namespace {

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (const GlCall& call : RecordedGlCalls()) names.push_back(call.name);
  return names;
}

}  // namespace

TEST(CallbacksTest, TheWindowItsCallbacksAndTheFixedStateWithAndWithoutBlending) {
  using Call = std::pair<std::string, std::vector<double>>;
  const std::vector<Call> kBefore = {
      {"glutInitDisplayMode", {GLUT_DOUBLE}}, {"glutCreateWindow", {}},
      {"glutReshapeWindow", {500, 500}},      {"glutIgnoreKeyRepeat", {1}},
      {"glutDisplayFunc", {}},                {"glutIdleFunc", {}},
      {"glutKeyboardFunc", {}},               {"glutKeyboardUpFunc", {}},
      {"glEnableClientState", {GL_VERTEX_ARRAY}}};
  const std::vector<Call> kBlending = {{"glEnable", {GL_BLEND}},
                                       {"glBlendFunc", {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}}};
  const std::vector<Call> kAfter = {{"glMatrixMode", {GL_PROJECTION}},
                                    {"glLoadIdentity", {}},
                                    {"gluPerspective", {60, 1, 0.1, 110}},
                                    {"glGetIntegerv", {GL_MAX_PROJECTION_STACK_DEPTH}},
                                    {"glutGetWindow", {}}};
  for (bool alpha : {false, true}) {
    std::vector<Call> expected = kBefore;
    if (alpha) expected.insert(expected.end(), kBlending.begin(), kBlending.end());
    expected.insert(expected.end(), kAfter.begin(), kAfter.end());
    gUseAlpha = alpha;
    ClearGlCalls();
    OpenWindow();
    std::vector<Call> calls;
    for (const GlCall& call : RecordedGlCalls()) calls.emplace_back(call.name, call.args);
    ASSERT_EQ(calls, expected) << (alpha ? "with -a" : "without -a");
    const void* const kCallbacks[] = {reinterpret_cast<const void*>(&OnDisplay),
                                      reinterpret_cast<const void*>(&OnDisplay),
                                      reinterpret_cast<const void*>(&OnKeyDown),
                                      reinterpret_cast<const void*>(&OnKeyUp)};
    for (int i = 0; i < 4; i++) EXPECT_EQ(RecordedGlCalls()[4 + i].pointer, kCallbacks[i]);
    EXPECT_STREQ(static_cast<const char*>(RecordedGlCalls()[1].pointer), "Zumbrel");
  }
  gUseAlpha = false;
  ClearGlCalls();
}

TEST(CallbacksTest, ADisplayClearsDrawsFlushesSwapsAndCounts) {
  gFrameCount = 7;
  ClearGlCalls();
  OnDisplay();
  ASSERT_EQ(Names(), (std::vector<std::string>{"glClear", "glPushMatrix", "gluLookAt",
                                               "glPushMatrix", "glTranslatef", "glPopMatrix",
                                               "glPopMatrix", "glFlush", "glutSwapBuffers"}));
  EXPECT_EQ(RecordedGlCalls()[0].args, (std::vector<double>{GL_COLOR_BUFFER_BIT}));
  EXPECT_EQ(gFrameCount, 8);
}

TEST(CallbacksTest, ATickUpdatesRedisplaysRearmsAndCounts) {
  gWindowId = 3;
  gUpdateCount = 2147483647;  // the largest 32-bit int: counting on is no overflow
  gMaze.walker = Point2{0, 0};
  gMaze.heading = 0;
  gMaze.speed = 1;
  ClearGlCalls();
  OnTimer(1);
  gMaze.speed = 0;
  EXPECT_EQ(gMaze.walker.y, 1);
  ASSERT_EQ(Names(), (std::vector<std::string>{"glutPostWindowRedisplay", "glutTimerFunc"}));
  EXPECT_EQ(RecordedGlCalls()[0].args, (std::vector<double>{3}));
  EXPECT_EQ(RecordedGlCalls()[1].args, (std::vector<double>{50, 1}));
  EXPECT_EQ(RecordedGlCalls()[1].pointer, reinterpret_cast<const void*>(&OnTimer));
  EXPECT_EQ(gUpdateCount, 2147483648);
}

TEST(CallbacksTest, TheSpinStaysWithinATurnAndNeverFreezes) {
  gSpinAngle = 358;
  ClearGlCalls();
  gMaze.Draw();
  EXPECT_EQ(gSpinAngle, 0);

  // Where an ever-growing float would stop changing.
  gSpinAngle = 33554432;
  gMaze.Draw();
  for (int frame = 0; frame < 400; frame++) {
    float last = gSpinAngle;
    gMaze.Draw();
    ASSERT_GE(gSpinAngle, 0);
    ASSERT_LT(gSpinAngle, 360);
    ASSERT_EQ(gSpinAngle, last + 2 < 360 ? last + 2 : last + 2 - 360);
  }
  ClearGlCalls();
}
