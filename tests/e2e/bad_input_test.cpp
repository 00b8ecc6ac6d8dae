// Bad data files as a user meets them: one clear message and status 1, or a
// normal start, never a crash.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "harness.h"
#include "support/scratch.h"

namespace {

#ifdef ZUMBREL_SANITIZED
const bool kSanitized = true;
#else
const bool kSanitized = false;
#endif

class BadInputTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Ok()) << "could not start Xvfb"; }

  // Runs the program in the directory and expects it to fail with exactly
  // this message.
  void ExpectFatalIn(const ScratchDir& dir, const std::string& message,
                     bool limitMemory = false) {
    Zumbrel run(dir.Path(), {}, server_.Name(), limitMemory);
    ASSERT_TRUE(run.WaitForExit()) << message;
    EXPECT_EQ(run.ExitStatus(), 1) << message;
    // AddressSanitizer warns of an allocation it refuses before the message.
    if (limitMemory && kSanitized)
      EXPECT_THAT(run.Err(), testing::EndsWith(message));
    else
      EXPECT_EQ(run.Err(), message);
  }

  // The same on the bundled data with one file replaced.
  void ExpectFatal(const std::string& name, const std::string& bytes,
                   const std::string& message, bool limitMemory = false) {
    ScratchDir dir;
    CopyBundledData(dir);
    dir.Write(name, bytes);
    ExpectFatalIn(dir, message, limitMemory);
  }

  XServer server_;
};

const char kJunkBytes[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe\x01\x80 \t\x7f#.DOTPX";
const std::string kJunk(kJunkBytes, sizeof kJunkBytes - 1);

}  // namespace

TEST_F(BadInputTest, MazeFilesThatCannotBeRead) {
  ScratchDir missing;
  CopyBundledModels(missing);
  ExpectFatalIn(missing, "Unable to open the maze file. Aborting.  : No such file or directory\n");

  ScratchDir directory;
  CopyBundledModels(directory);
  mkdir((directory.Path() + "/maze.txt").c_str(), 0755);
  ExpectFatalIn(directory, "Unable to open the maze file. Aborting.  : Is a directory\n");

  // Opened, but every read fails.
  ScratchDir failing;
  CopyBundledModels(failing);
  ASSERT_EQ(symlink("/proc/self/mem", (failing.Path() + "/maze.txt").c_str()), 0);
  ExpectFatalIn(failing, "Unable to read the maze from maze.txt. Aborting.  : Input/output error\n");
}

TEST_F(BadInputTest, AnUnreadableMazeFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
  ScratchDir dir;
  CopyBundledData(dir);
  chmod((dir.Path() + "/maze.txt").c_str(), 0);
  ExpectFatalIn(dir, "Unable to open the maze file. Aborting.  : Permission denied\n");
}

TEST_F(BadInputTest, AMazeFileOfBinaryJunkStartsNormally) {
  ScratchDir dir;
  CopyBundledData(dir);
  dir.Write("maze.txt", kJunk + kJunk);
  Zumbrel run(dir.Path(), {}, server_.Name());
  EXPECT_TRUE(run.WaitForLine("Average fps")) << run.Err();
  EXPECT_TRUE(run.Running());
  run.Stop();
  EXPECT_EQ(run.Err(), "");
}

TEST_F(BadInputTest, ModelFilesThatCannotBeRead) {
  const std::string kEnds = "Unable to read a number from orb.txt. Aborting.  : No data available\n";
  ExpectFatal("orb.txt", "", kEnds);
  ExpectFatal("orb.txt", "3 1 0.5", kEnds);                    // truncated in the colour
  ExpectFatal("orb.txt", "1 1 0 0\n3\n0 0 0\n1 1", kEnds);       // truncated in a vertex
  ExpectFatal("orb.txt", "2147483647 1 1 1 1 0 0 0", kEnds);    // far fewer polygons than claimed
  ExpectFatal("orb.txt", "1 1 0 0 three",
              "Unable to read a number from orb.txt. Aborting.  : Invalid argument\n");
  ExpectFatal("orb.txt", "-2 1 1 1",
              "Negative count in orb.txt. Aborting.  : Numerical result out of range\n");
  ExpectFatal("orb.txt", "1 1 1 1 -3 0 0 0",
              "Negative count in orb.txt. Aborting.  : Numerical result out of range\n");
  ExpectFatal("orb.txt", "1 1 1 1 2147483647 0 0 0", kEnds, true);  // far fewer vertices
}

TEST_F(BadInputTest, AModelFileThatIsADirectory) {
  ScratchDir dir;
  CopyBundledData(dir);
  unlink((dir.Path() + "/tele.txt").c_str());
  mkdir((dir.Path() + "/tele.txt").c_str(), 0755);
  ExpectFatalIn(dir, "Unable to open the teleport file. Aborting.  : Is a directory\n");
}

TEST_F(BadInputTest, BinaryJunkInEachModelFile) {
  for (const char* name : {"space.txt", "wall.txt", "door.txt", "start.txt", "orb.txt",
                           "tele.txt", "ped.txt"})
    ExpectFatal(name, kJunk,
                std::string("Unable to read a number from ") + name +
                    ". Aborting.  : Invalid argument\n");
}
