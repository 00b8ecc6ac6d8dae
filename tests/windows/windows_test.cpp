// The Windows zip as a user unzips it, run under Wine on a private X server,
// against this build: the same statistics, models, mazes, checks and maps.
#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "e2e/harness.h"
#include "support/scratch.h"

namespace {

const char* const kWine = "/usr/lib/wine/wine64";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Windows' text mode ends the game's lines in CR LF; its words are the same.
std::string WithLineFeedsAlone(std::string text) {
  size_t to = 0;
  for (size_t i = 0; i < text.size(); i++)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) text[to++] = text[i];
  text.resize(to);
  return text;
}

// What a run printed before its first frame report.
std::string BeforeTheReports(const std::string& out) {
  return out.substr(0, out.find("Average fps"));
}

struct Result {
  int status;
  std::string out, err;
};

// Runs a program with arguments in a directory, as a shell would, its
// standard output and error in files.
Result RunIn(const std::string& dir, const std::string& program, const std::string& args) {
  std::string command = "cd '" + dir + "' && " + program + " " + args + " >out.bin 2>err.bin";
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir + "/out.bin"),
          Slurp(dir + "/err.bin")};
}

class WindowsTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("WINEPREFIX", ZUMBREL_WINE_PREFIX, 1);
    setenv("WINEDEBUG", "-all", 1);
    std::string unzip = "unzip -q '" ZUMBREL_WINDOWS_ZIP "' -d '" + zip_.Path() + "'";
    ASSERT_EQ(std::system(unzip.c_str()), 0);
    folder_ = zip_.Path() + "/zumbrel-" ZUMBREL_VERSION "-win64";
  }

  // A program of the zip, under Wine.
  std::string Exe(const std::string& name) const {
    return std::string(kWine) + " '" + folder_ + "/" + name + ".exe'";
  }

  ScratchDir zip_;
  std::string folder_;
};

// A maze the generator makes, with teleports, and one with mistakes.
std::string GeneratedMaze() {
  ScratchDir dir;
  return RunIn(dir.Path(), ZUMBREL_MAZEGEN_BINARY, "--width 41 --height 23 --seed 5").out;
}
const char* const kFaultyMaze = "#####\n#X#.#\n###o#\n#.#.#\n#####\n#\r\n";

}  // namespace

TEST_F(WindowsTest, TheGameShowsTheBundledMazeAndEscapeEndsIt) {
  XServer server;
  ASSERT_TRUE(server.Ok()) << "could not start Xvfb";
  ScratchDir linuxData;
  CopyBundledData(linuxData);
  Zumbrel linuxRun(linuxData.Path(), {}, server.Name());
  ASSERT_TRUE(linuxRun.WaitForLine("Loading pedestal data : ")) << linuxRun.Err();
  linuxRun.Stop();

  // Wine's first start of a program takes a while: deadlines are long.
  Zumbrel run(folder_, {}, server.Name(), false, {kWine, folder_ + "/zumbrel.exe"});
  unsigned long window = WaitForWindow(server.Connection(), "Zumbrel", 120);
  ASSERT_NE(window, 0u) << run.Err();
  ASSERT_TRUE(run.WaitForReportAfterATick(120)) << run.Out() << run.Err();
  EXPECT_EQ(BeforeTheReports(WithLineFeedsAlone(run.Out())), linuxRun.Out());

  int wall = 0;
  for (unsigned int pixel : GrabWindow(server.Connection(), window)) wall += IsBundledWallColour(pixel);
  EXPECT_GT(wall, 100);

  // Wine takes the X focus in its own time, and may let a key go by until
  // it has: Escape is pressed again until the program ends.
  bool ended = false;
  for (int press = 0; press < 12 && !ended; press++) {
    FocusWindow(server.Connection(), window);
    SendKey(server.Connection(), XK_Escape, true);
    SendKey(server.Connection(), XK_Escape, false);
    ended = run.WaitForExit(10);
  }
  ASSERT_TRUE(ended);
  EXPECT_EQ(run.ExitStatus(), 0);
}

TEST_F(WindowsTest, AGeneratedMazeGivesTheSameStatistics) {
  XServer server;
  ASSERT_TRUE(server.Ok()) << "could not start Xvfb";
  std::string maze = GeneratedMaze();
  ASSERT_NE(maze, "");
  ScratchDir linuxData;
  CopyBundledData(linuxData);
  linuxData.Write("maze.txt", maze);
  Zumbrel linuxRun(linuxData.Path(), {"-nr"}, server.Name());
  ASSERT_TRUE(linuxRun.WaitForLine("Loading pedestal data : ")) << linuxRun.Err();
  linuxRun.Stop();

  std::ofstream(folder_ + "/maze.txt", std::ios::binary) << maze;
  Zumbrel run(folder_, {"-nr"}, server.Name(), false, {kWine, folder_ + "/zumbrel.exe"});
  ASSERT_TRUE(run.WaitForLine("Loading pedestal data : ", 120)) << run.Err();
  run.Stop();
  EXPECT_EQ(WithLineFeedsAlone(run.Out()), linuxRun.Out());
}

TEST_F(WindowsTest, TheGeneratorWritesTheSameBytes) {
  const char* const requests[] = {
      "", "--width 3 --height 40 --seed 9 --teleports 3 --doors 1 --orbs 1 --pedestals 1",
      "--width 509 --height 30 --seed 77", "--width 61 --height 41 --seed 18446744073709551615",
      "--width 510"};
  ScratchDir dir;
  for (const char* request : requests) {
    Result linuxRun = RunIn(dir.Path(), ZUMBREL_MAZEGEN_BINARY, request);
    Result windowsRun = RunIn(dir.Path(), Exe("zumbrel-mazegen"), request);
    EXPECT_EQ(windowsRun.status, linuxRun.status) << request;
    EXPECT_EQ(windowsRun.out, linuxRun.out) << request;
    EXPECT_EQ(windowsRun.err, linuxRun.err) << request;
  }
}

TEST_F(WindowsTest, TheMapToolGivesTheSameChecksAndMaps) {
  for (const std::string& maze : {GeneratedMaze(), std::string(kFaultyMaze)}) {
    ScratchDir dir;
    dir.Write("maze.txt", maze);
    for (const char* args : {"--check maze.txt", "maze.txt"}) {
      Result linuxRun = RunIn(dir.Path(), ZUMBREL_MAP_BINARY, args);
      Result windowsRun = RunIn(dir.Path(), Exe("zumbrel-map"), args);
      EXPECT_EQ(windowsRun.status, linuxRun.status) << args << "\n" << maze;
      EXPECT_EQ(windowsRun.err, linuxRun.err) << args << "\n" << maze;
      EXPECT_EQ(windowsRun.out, linuxRun.out) << args << "\n" << maze;
    }
  }
}

// The installer in a fresh prefix: the programs and files in Program
// Files\Zumbrel, the game walking there, a Start-menu entry that starts it
// there, and nothing left once it is removed.
TEST_F(WindowsTest, TheInstallerInstallsTheGameAndRemovesItAll) {
  if (std::string(ZUMBREL_WINDOWS_MSI).empty()) GTEST_SKIP() << "no installer was made";
  XServer server;
  ASSERT_TRUE(server.Ok()) << "could not start Xvfb";
  ScratchDir prefix;
  setenv("WINEPREFIX", prefix.Path().c_str(), 1);
  std::string wine = std::string("DISPLAY=") + server.Name() + " " + kWine;
  ASSERT_EQ(RunIn(prefix.Path(), "WINEDLLOVERRIDES=mscoree,mshtml= " + wine, "wineboot -i").status, 0);
  ASSERT_EQ(RunIn(prefix.Path(), wine, "msiexec /i '" ZUMBREL_WINDOWS_MSI "' /qn").status, 0);
  const std::string folder = prefix.Path() + "/drive_c/Program Files/Zumbrel";
  for (const char* file : {"zumbrel.exe", "zumbrel-mazegen.exe", "zumbrel-map.exe", "maze.txt", "orb.txt",
                           "README.txt", "LICENSE.txt"})
    EXPECT_TRUE(std::ifstream(folder + "/" + file).good()) << file;

  ScratchDir linuxData;
  CopyBundledData(linuxData);
  Zumbrel linuxRun(linuxData.Path(), {"-nr"}, server.Name());
  ASSERT_TRUE(linuxRun.WaitForLine("Loading pedestal data : ")) << linuxRun.Err();
  linuxRun.Stop();
  Zumbrel run(folder, {"-nr"}, server.Name(), false, {kWine, folder + "/zumbrel.exe"});
  ASSERT_TRUE(run.WaitForLine("Loading pedestal data : ", 120)) << run.Err();
  run.Stop();
  EXPECT_EQ(WithLineFeedsAlone(run.Out()), linuxRun.Out());

  // The entry starts the game where it finds its files: the bundled maze's
  // walls are drawn, which a game started elsewhere, ending at its first
  // read, never does.
  std::string entry = RunIn(prefix.Path(), "find \"$PWD/drive_c\" -name Zumbrel.lnk", "").out;
  ASSERT_NE(entry, "");
  entry.pop_back();
  EXPECT_EQ(RunIn(prefix.Path(), wine, "start /unix '" + entry + "'").status, 0);
  unsigned long window = WaitForWindow(server.Connection(), "Zumbrel", 120);
  ASSERT_NE(window, 0u);
  int wall = 0;
  for (int poll = 0; poll < 600 && wall <= 100; poll++, usleep(200000)) {
    wall = 0;
    for (unsigned int pixel : GrabWindow(server.Connection(), window)) wall += IsBundledWallColour(pixel);
  }
  EXPECT_GT(wall, 100);
  RunIn(prefix.Path(), "/usr/lib/wine/wineserver", "-k");

  ASSERT_EQ(RunIn(prefix.Path(), wine, "msiexec /x '" ZUMBREL_WINDOWS_MSI "' /qn").status, 0);
  EXPECT_EQ(RunIn(prefix.Path(), "find drive_c -iname '*zumbrel*'", "").out, "");
  RunIn(prefix.Path(), "/usr/lib/wine/wineserver", "-k");
}

// Each program carries its icon and its version, as Windows shows them.
TEST_F(WindowsTest, TheProgramsCarryTheirIconAndVersion) {
  for (const char* program : {"zumbrel", "zumbrel-mazegen", "zumbrel-map"}) {
    Result resources = RunIn(zip_.Path(), "wrestool -l", "'" + folder_ + "/" + program + ".exe'");
    EXPECT_NE(resources.out.find("--type=14 "), std::string::npos) << program << ": no icon group";
    EXPECT_NE(resources.out.find("--type=16 "), std::string::npos) << program << ": no version";
  }
}

// Nothing to install: every DLL a program imports comes with Windows.
TEST_F(WindowsTest, TheProgramsImportOnlyWindowsOwnDlls) {
  const std::string kWindows = " ADVAPI32.dll GDI32.dll GLU32.dll KERNEL32.dll msvcrt.dll "
                               "OPENGL32.dll USER32.dll WINMM.dll ";
  for (const char* program : {"zumbrel", "zumbrel-mazegen", "zumbrel-map"}) {
    Result dlls = RunIn(zip_.Path(), "x86_64-w64-mingw32-objdump -p",
                        "'" + folder_ + "/" + program + ".exe' | awk '/DLL Name/ { print $3 }'");
    ASSERT_EQ(dlls.status, 0) << program;
    ASSERT_NE(dlls.out, "") << program;
    std::istringstream names(dlls.out);
    for (std::string dll; names >> dll;)
      EXPECT_NE(kWindows.find(" " + dll + " "), std::string::npos) << program << " imports " << dll;
  }
}
