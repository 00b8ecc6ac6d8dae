// Start-up as a user sees it: options, usage text, the window, the maze file.
#include <gtest/gtest.h>

#include "harness.h"
#include "support/scratch.h"

namespace {

const char* const kSmallMaze =
    "#####\n"
    "#X.O#\n"
    "#.#T#\n"
    "#D.P#\n"
    "#####\n";

const char* const kSmallMazeStatistics =
    "Statistics: used / allocated\n"
    "Spaces   : 3 / 20\n"
    "Walls    : 17 / 20\n"
    "Doors    : 1 / 20\n"
    "Orbs     : 1 / 20\n"
    "Teleports: 1 / 20\n"
    "Pedestal : 1 / 20\n";

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Ok()) << "could not start Xvfb";
    dir_.Write("maze.txt", kSmallMaze);
  }

  XServer server_;
  ScratchDir dir_;
};

// Runs until the load statistics are out, then ends the program.
std::string OutputUpToStatistics(Zumbrel& run) {
  EXPECT_TRUE(run.WaitForStdout("Pedestal :")) << run.Err();
  run.Stop();
  return run.Out();
}

}  // namespace

TEST_F(StartupTest, NoOptionsPrintsOnlyTheStatistics) {
  Zumbrel run(dir_.Path(), {}, server_.Name());
  EXPECT_EQ(OutputUpToStatistics(run), kSmallMazeStatistics);
  EXPECT_EQ(run.Err(), "");
}

TEST_F(StartupTest, OptionMessagesComeInArgumentOrder) {
  Zumbrel run(dir_.Path(), {"-a", "-nr", "-v", "--alpha", "-nr"}, server_.Name());
  EXPECT_EQ(OutputUpToStatistics(run),
            std::string("Use of alpha has been enabled upon user's request.\n"
                        "Object rotation has been disabled upon user's request.\n"
                        "Program verbosity increased upon user's request.\n"
                        "Use of alpha has been enabled upon user's request.\n"
                        "Object rotation has been disabled upon user's request.\n") +
                kSmallMazeStatistics);
}

TEST_F(StartupTest, AnUnknownOptionPrintsTheUsageAndFails) {
  Zumbrel run(dir_.Path(), {"-v", "-x"}, server_.Name());
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_EQ(run.ExitStatus(), 1);
  EXPECT_EQ(run.Out(), std::string("Program verbosity increased upon user's request.\n") +
                           kUsageText);
  EXPECT_EQ(run.Err(), "Unknown arg: -x\n");
}

TEST_F(StartupTest, HelpAnywhereInAnArgumentPrintsTheUsageAndFails) {
  for (const char* arg : {"-help", "-v-help", "--help"}) {
    Zumbrel run(dir_.Path(), {arg}, server_.Name());
    ASSERT_TRUE(run.WaitForExit()) << arg;
    EXPECT_EQ(run.ExitStatus(), 1) << arg;
    EXPECT_EQ(run.Out(), kUsageText) << arg;
    EXPECT_EQ(run.Err(), "") << arg;
  }
}

TEST_F(StartupTest, TheWindowIs500By500AndTitledZumbrelWhateverTheGeometry) {
  Zumbrel run(dir_.Path(), {"-geometry", "800x600"}, server_.Name());
  unsigned long window = WaitForWindow(server_.Connection(), "Zumbrel");
  ASSERT_NE(window, 0u) << run.Err();

  // The resize reaches the server once GLUT's loop runs.
  WindowSize size = WaitForWindowSize(server_.Connection(), window, 500, 500);
  EXPECT_EQ(size.width, 500);
  EXPECT_EQ(size.height, 500);
  EXPECT_EQ(OutputUpToStatistics(run), kSmallMazeStatistics);
  EXPECT_EQ(run.Err(), "");
}

TEST_F(StartupTest, AMissingMazeFileIsFatalAfterTheWindowOpens) {
  ScratchDir empty;
  Zumbrel run(empty.Path(), {"-nr"}, server_.Name());
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_EQ(run.ExitStatus(), 1);
  EXPECT_EQ(run.Out(), "Object rotation has been disabled upon user's request.\n");
  EXPECT_EQ(run.Err(),
            "Unable to open the maze file. Aborting.  : No such file or directory\n");
}

TEST(StartupWithoutDisplayTest, NothingOfTheProgramsOwnIsPrinted) {
  ScratchDir dir;
  Zumbrel run(dir.Path(), {"-help"}, "");
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_EQ(run.ExitStatus(), 1);
  EXPECT_EQ(run.Out(), "");
  EXPECT_NE(run.Err(), "");
}
