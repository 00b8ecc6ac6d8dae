// Start-up as a user sees it: options, usage text, the window, the maze file.
#include <gmock/gmock.h>
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

const char* const kBundledModels =
    "Loading space data    : 1 polygons, color 0.25 0.3 0.45 \n"
    "Loading wall data     : 3 polygons, color 0.35 0.55 1 \n"
    "Loading door data     : 2 polygons, color 0.3 0.95 0.4 \n"
    "Loading start data    : 1 polygons, color 1 1 1 \n"
    "Loading orb data      : 4 polygons, color 1 0.3 0.9 \n"
    "Loading teleport data : 3 polygons, color 1 0.45 0.1 \n"
    "Loading pedestal data : 3 polygons, color 1 0.85 0.3 \n";

class StartupTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Ok()) << "could not start Xvfb";
    dir_.Write("maze.txt", kSmallMaze);
    CopyBundledModels(dir_);
  }

  XServer server_;
  ScratchDir dir_;
};

// Runs until the last model's progress line is out, then ends the program.
std::string StartUpOutput(Zumbrel& run) {
  EXPECT_TRUE(run.WaitForLine("Loading pedestal data : ")) << run.Err();
  run.Stop();
  return run.Out();
}

}  // namespace

TEST_F(StartupTest, NoOptionsPrintsOnlyTheStatistics) {
  Zumbrel run(dir_.Path(), {}, server_.Name());
  EXPECT_EQ(StartUpOutput(run), std::string(kSmallMazeStatistics) + kBundledModels);
  EXPECT_EQ(run.Err(), "");
}

TEST_F(StartupTest, OptionMessagesComeInArgumentOrder) {
  Zumbrel run(dir_.Path(), {"-a", "-nr", "-v", "--alpha", "-nr"}, server_.Name());
  EXPECT_THAT(StartUpOutput(run),
            testing::StartsWith(std::string("Use of alpha has been enabled upon user's request.\n"
                        "Object rotation has been disabled upon user's request.\n"
                        "Program verbosity increased upon user's request.\n"
                        "Use of alpha has been enabled upon user's request.\n"
                        "Object rotation has been disabled upon user's request.\n") +
                kSmallMazeStatistics));
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
  EXPECT_EQ(StartUpOutput(run), std::string(kSmallMazeStatistics) + kBundledModels);
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

TEST_F(StartupTest, TheFirstMissingModelFileIsTheOnlyMessage) {
  ScratchDir dir;
  dir.Write("maze.txt", kSmallMaze);
  dir.Write("space.txt", "0 1 1 1");
  Zumbrel run(dir.Path(), {}, server_.Name());
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_EQ(run.ExitStatus(), 1);
  EXPECT_EQ(run.Out(), kSmallMazeStatistics);
  EXPECT_EQ(run.Err(), "Unable to open the wall file. Aborting.  : No such file or directory\n");
}

TEST_F(StartupTest, VerboseTracesEveryPolygonAndVertex) {
  ScratchDir dir;
  dir.Write("maze.txt", kSmallMaze);
  for (const char* name : {"space.txt", "door.txt", "start.txt", "orb.txt", "tele.txt"})
    dir.Write(name, "0 1 1 1");
  dir.Write("wall.txt", "1 0.5 0.5 0.5\n2\n1 2 3\n4 5 6\n");
  dir.Write("ped.txt", "1 1 1 1 0");
  Zumbrel run(dir.Path(), {"-verbose"}, server_.Name());
  ASSERT_TRUE(run.WaitForStdout("\tPolygon #0, 0 vertices\n")) << run.Err();
  run.Stop();
  EXPECT_EQ(run.Out(), std::string("Program verbosity increased upon user's request.\n") +
                           kSmallMazeStatistics +
                           "Loading space data    : 0 polygons, color 1 1 1 \n"
                           "Loading wall data     : 1 polygons, color 0.5 0.5 0.5 \n"
                           "\tPolygon #0, 2 vertices\n"
                           "\t\tVertex #0: 1 2 3 \n"
                           " \t\tVertex #1: 4 5 6 \n"
                           " Loading door data     : 0 polygons, color 1 1 1 \n"
                           "Loading start data    : 0 polygons, color 1 1 1 \n"
                           "Loading orb data      : 0 polygons, color 1 1 1 \n"
                           "Loading teleport data : 0 polygons, color 1 1 1 \n"
                           "Loading pedestal data : 1 polygons, color 1 1 1 \n"
                           "\tPolygon #0, 0 vertices\n");
}

TEST(StartupWithoutDisplayTest, NothingOfTheProgramsOwnIsPrinted) {
  ScratchDir dir;
  Zumbrel run(dir.Path(), {"-help"}, "");
  ASSERT_TRUE(run.WaitForExit());
  EXPECT_EQ(run.ExitStatus(), 1);
  EXPECT_EQ(run.Out(), "");
  EXPECT_NE(run.Err(), "");
}
