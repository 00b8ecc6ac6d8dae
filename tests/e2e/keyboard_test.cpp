// Keys sent to the real window: walking and turning change the picture,
// Escape quits, other keys do nothing.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "support/scratch.h"

namespace {

// Still orbs and teleports (-nr), so the picture changes only when the
// walker does.
class KeyboardTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Ok()) << "could not start Xvfb";
    CopyBundledData(dir_);
    run_.reset(new Zumbrel(dir_.Path(), {"-nr"}, server_.Name()));
    window_ = WaitForWindow(x(), "Zumbrel");
    ASSERT_NE(window_, 0u) << run_->Err();
    ASSERT_EQ(WaitForWindowSize(x(), window_, 500, 500).width, 500);
    FocusWindow(x(), window_);
  }

  Display* x() const { return server_.Connection(); }

  // The picture once the program has shown that it has handled what came
  // before: a report after the first tick has raised the eye, then two
  // more reports, written after whatever keys went down or up.
  std::vector<unsigned int> SteadyPicture() {
    if (!run_->WaitForReportAfterATick() || !run_->WaitForNextLine("Average fps") ||
        !run_->WaitForNextLine("Average fps"))
      return {};
    return GrabWindow(x(), window_);
  }

  // Polls until the picture differs from the given one, for as long as a
  // loaded machine may need.
  bool PictureChangesFrom(const std::vector<unsigned int>& before) {
    for (int report = 0; report < 20; report++) {
      if (GrabWindow(x(), window_) != before) return true;
      if (!run_->WaitForNextLine("Average fps")) return false;
    }
    return GrabWindow(x(), window_) != before;
  }

  XServer server_;
  ScratchDir dir_;
  std::unique_ptr<Zumbrel> run_;
  unsigned long window_ = 0;
};

}  // namespace

TEST_F(KeyboardTest, HoldingAWalkingOrTurningKeyChangesThePicture) {
  for (unsigned long key : {XK_i, XK_j, XK_L, XK_k}) {
    std::vector<unsigned int> before = SteadyPicture();
    ASSERT_FALSE(before.empty());
    SendKey(x(), key, true);
    EXPECT_TRUE(PictureChangesFrom(before)) << "key " << key;
    SendKey(x(), key, false);
  }
  EXPECT_TRUE(run_->Running());
}

TEST_F(KeyboardTest, EscapeEndsTheProgramWithStatusZero) {
  SendKey(x(), XK_Escape, true);
  ASSERT_TRUE(run_->WaitForExit());
  EXPECT_EQ(run_->ExitStatus(), 0);
  EXPECT_EQ(run_->Err(), "");
}

TEST_F(KeyboardTest, ArrowsAndOtherLettersDoNothing) {
  std::vector<unsigned int> before = SteadyPicture();
  ASSERT_FALSE(before.empty());
  const unsigned long keys[] = {XK_Up, XK_Left, XK_q, XK_w};
  for (unsigned long key : keys) SendKey(x(), key, true);
  // Reports written after the keys went down show that the loop has handled
  // them and that ticks have run since, with the keys still held.
  EXPECT_EQ(SteadyPicture(), before);
  EXPECT_TRUE(run_->Running());
  for (unsigned long key : keys) SendKey(x(), key, false);
}
