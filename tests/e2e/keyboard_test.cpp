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

  // Polls until two grabs a while apart agree: the eye has settled.
  std::vector<unsigned int> SteadyPicture() {
    std::vector<unsigned int> last;
    for (int attempt = 0; attempt < 200; attempt++) {
      usleep(100000);
      std::vector<unsigned int> now = GrabWindow(x(), window_);
      if (!now.empty() && now == last) return now;
      last = now;
    }
    return {};
  }

  // Polls until the picture differs from the given one.
  bool PictureChangesFrom(const std::vector<unsigned int>& before) {
    for (int attempt = 0; attempt < 200; attempt++) {
      if (GrabWindow(x(), window_) != before) return true;
      usleep(50000);
    }
    return false;
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
  ASSERT_TRUE(run_->WaitForNextLine("Average fps"));
  ASSERT_TRUE(run_->WaitForNextLine("Average fps"));
  EXPECT_TRUE(run_->Running());
  EXPECT_EQ(GrabWindow(x(), window_), before);
  for (unsigned long key : keys) SendKey(x(), key, false);
}
