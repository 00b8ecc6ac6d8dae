// The frame report: when it prints and what its figures read.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "app/app.h"
#include "capture.h"
#include "render/render.h"
#include "world/maze.h"

namespace {

class FrameReportTest : public testing::Test {
 protected:
  void SetUp() override {
    gFrameCount = 0;
    gUpdateCount = 0;
    gObjectsDrawn = 0;
    gObjectTotal = 121;
    gStartTime = static_cast<int>(time(nullptr)) - 1000;
  }
};

std::string Report(int elapsed) {
  StdoutCapture capture;
  PrintFrameReport(elapsed);
  return capture.Take();
}

}  // namespace

TEST_F(FrameReportTest, PrintsOnTheHundredthFrameAndEveryHundredAfter) {
  StdoutCapture capture;
  for (int frame = 1; frame <= 99; frame++) CountFrame();
  EXPECT_EQ(capture.Take(), "");

  StdoutCapture hundredth;
  CountFrame();
  EXPECT_EQ(hundredth.Take().rfind("Average fps: updated 0, display 0.", 0), 0u);
  EXPECT_EQ(gFrameCount, 100);

  StdoutCapture next;
  for (int frame = 101; frame <= 199; frame++) CountFrame();
  EXPECT_EQ(next.Take(), "");
  StdoutCapture second;
  CountFrame();
  EXPECT_NE(second.Take(), "");
}

TEST_F(FrameReportTest, RatesAreAveragesSinceStartUp) {
  gUpdateCount = 60;
  gFrameCount = 100;
  gObjectsDrawn = 11;
  EXPECT_EQ(Report(4),
            "Average fps: updated 15, display 25. preclipping hit rate: 90.9 % \n");
}

TEST_F(FrameReportTest, NoElapsedTimeGivesInfiniteRates) {
  gUpdateCount = 3;
  gFrameCount = 100;
  gObjectsDrawn = 121;
  EXPECT_EQ(Report(0),
            "Average fps: updated inf, display inf. preclipping hit rate: 0.0 % \n");
}

TEST_F(FrameReportTest, CountersRunPastThirtyTwoBitsAndTheFiguresStayRight) {
  // 2147483599 frames: the next one is a hundredth, then the count passes
  // the largest 32-bit int.
  gFrameCount = 2147483599;
  StdoutCapture capture;
  for (int frame = 0; frame < 200; frame++) CountFrame();
  std::string reports = capture.Take();
  EXPECT_EQ(gFrameCount, 2147483799);
  size_t first = reports.find("Average fps");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(reports.find("Average fps", first + 1), std::string::npos);

  // A month at 2,000 frames and 20 ticks a second.
  gFrameCount = 5184000000;
  gUpdateCount = 51840000;
  EXPECT_EQ(Report(2592000),
            "Average fps: updated 20, display 2000. preclipping hit rate: 100.0 % \n");
}
