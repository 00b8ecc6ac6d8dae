// The running program's window and its frame report, on the bundled data.
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "support/scratch.h"

namespace {

class DisplayTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Ok()) << "could not start Xvfb";
    CopyBundledData(dir_);
  }

  XServer server_;
  ScratchDir dir_;
};

}  // namespace

TEST_F(DisplayTest, TheWindowShowsTheMazeInTheWallColour) {
  Zumbrel run(dir_.Path(), {}, server_.Name());
  unsigned long window = WaitForWindow(server_.Connection(), "Zumbrel");
  ASSERT_NE(window, 0u) << run.Err();
  ASSERT_EQ(WaitForWindowSize(server_.Connection(), window, 500, 500).width, 500);

  // A report after the first tick comes after frames that show the maze
  // from the eye's height.
  ASSERT_TRUE(run.WaitForReportAfterATick()) << run.Err();
  int lit = 0, wall = 0;
  for (unsigned int pixel : GrabWindow(server_.Connection(), window)) {
    lit += pixel != 0;
    wall += IsBundledWallColour(pixel);
  }
  EXPECT_GT(lit, 1000);
  EXPECT_GT(wall, 100);
  EXPECT_EQ(run.Err(), "");
}

TEST_F(DisplayTest, AFrameReportFollowsEveryHundredFrames) {
  Zumbrel run(dir_.Path(), {}, server_.Name());
  ASSERT_TRUE(run.WaitForLine("Average fps: updated ", 60)) << run.Err();
  run.Stop();
  std::string out = run.Out();
  size_t at = out.find("Average fps: updated ");
  std::string line = out.substr(at, out.find('\n', at) - at + 1);
  EXPECT_NE(line.find(", display "), std::string::npos) << line;
  EXPECT_EQ(line.substr(line.size() - 4), " % \n") << line;
  EXPECT_NE(line.find(". preclipping hit rate: "), std::string::npos) << line;
}
