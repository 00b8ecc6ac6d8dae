// zumbrel-map as a maze author runs it: the check's exact lines and status,
// and a map with one square per cell.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/scratch.h"

namespace {

struct Result {
  int status;
  std::string out, err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs zumbrel-map in the directory with maze.txt holding the text, or
// linked to the file the text names after "->"; its output goes to out. A
// shell command before it, such as a ulimit, may set it up.
Result RunMap(const std::string& maze, const std::string& args,
              const std::string& out = "out.txt", const std::string& before = "true") {
  ScratchDir dir;
  if (maze.rfind("->", 0) == 0)
    EXPECT_EQ(symlink(maze.c_str() + 2, (dir.Path() + "/maze.txt").c_str()), 0);
  else
    dir.Write("maze.txt", maze);
  std::string command = "cd '" + dir.Path() + "' && " + before + " && '" ZUMBREL_MAP_BINARY "' " +
                        args + " >" + out + " 2>err.txt";
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir.Path() + "/out.txt"),
          Slurp(dir.Path() + "/err.txt")};
}

}  // namespace

TEST(MapTest, TheCheckNamesEachMistakeWhereItStands) {
  const std::string kLong = "X" + std::string(600, '.') + "\n";
  const std::string kLongRow =
      "a row holds at most 510 characters: the rest of this line becomes a row of its own\n";
  std::string manyLowerCase, manyPockets;
  for (int c = 2; c <= 11; c++)
    manyLowerCase += "maze.txt:1:" + std::to_string(c) + ": lower-case 'o' is an empty cell; an orb is 'O'\n";
  for (int c = 4; c <= 22; c += 2)
    manyPockets += "maze.txt:2:" + std::to_string(c) + ": the walker cannot reach this region of 1 open cell from the start\n";
  const std::string kWalled = std::string(25, '#') + "\n";
  const std::string kUtf16 =
      "maze.txt:1:1: UTF-16 text, with a NUL byte in every character, which ends the game's "
      "read of each row: save the file as UTF-8\n"
      "maze.txt:1:1: no start (X): the walker starts on the first cell of the first line\n";
  const struct {
    const char* what;
    std::string maze;
    int status;
    std::string err;
  } cases[] = {
      {"a clean maze", "#####\n#X.T#\n#####\n", 0, ""},
      {"a pocket, and a lower-case letter", "#####\n#X#.#\n###o#\n#.#.#\n#####\n", 1,
       "maze.txt:2:4: the walker cannot reach this region of 2 open cells from the start\n"
       "maze.txt:3:4: lower-case 'o' is an empty cell; an orb is 'O'\n"
       "maze.txt:4:2: the walker cannot reach this region of 1 open cell from the start\n"},
      {"a teleport reaches every space", "#####\n#XT##\n###.#\n#####\n", 0, ""},
      {"a step cuts the corner between two walls", "####\n#X##\n##.#\n####\n", 0, ""},
      {"a teleport is never walked through", "#######\n#X.TDO#\n#######\n", 1,
       "maze.txt:2:5: the walker cannot reach this region of 2 open cells from the start\n"},
      {"a line of exactly a row, then its newline as a row", "X" + std::string(509, '.') + "\n",
       1,
       "maze.txt:1:511: a row holds at most 510 characters: the rest of this line becomes "
       "a row of its own\n"},
      {"a line one short of a row", "X" + std::string(508, '.') + "\n", 0, ""},
      {"a read that fails", "->/proc/self/mem", 2,
       "zumbrel-map: cannot read maze.txt: Input/output error\n"},
      {"no start", "###\n#.#\n###\n", 1,
       "maze.txt:1:1: no start (X): the walker starts on the first cell of the first line\n"
       "maze.txt:2:2: the walker cannot reach this region of 1 open cell from the start\n"},
      {"two starts", "#####\n#X.X#\n#####\n", 1,
       "maze.txt:2:4: 2 starts (X): the walker starts on this one, the last\n"},
      {"a long line", kLong, 1,
       "maze.txt:1:511: a row holds at most 510 characters: the rest of this line becomes "
       "a row of its own\n"},
      {"a line of three rows", "X" + std::string(1099, '.') + "\n", 1, "maze.txt:1:511: " + kLongRow},
      {"a teleport with no space to throw to is walked on", "#####\n#XTO#\n#####\n", 0, ""},
      {"a NUL byte ends a row, even one of no cells", std::string("#X\0#\n\0\n", 7), 0, ""},
      {"each lower-case letter", "#Xdpx#\n", 1,
       "maze.txt:1:3: lower-case 'd' is an empty cell; a door is 'D'\n"
       "maze.txt:1:4: lower-case 'p' is an empty cell; a pedestal is 'P'\n"
       "maze.txt:1:5: lower-case 'x' is an empty cell; the start is 'X'\n"},
      {"ten of a kind, all listed", "X" + std::string(10, 'o') + "\n", 1, manyLowerCase},
      {"eleven of a kind: ten, then a count", "X" + std::string(11, 'o') + "\n", 1,
       manyLowerCase + "maze.txt: 1 more lower-case cell letters, not listed\n"},
      {"eleven pockets: ten, then a count", kWalled + "#X#.#.#.#.#.#.#.#.#.#.#.#\n" + kWalled, 1,
       manyPockets + "maze.txt: 1 more regions the walker cannot reach, not listed\n"},
      {"beside the outside only by a corner", "#####\nX#.#\n###\n", 0, ""},
      {"a place after long lines", "X" + std::string(599, '.') + "\n" + std::string(520, '.') + "X\n", 1,
       "maze.txt:1:511: " + kLongRow + "maze.txt:2:511: " + kLongRow +
           "maze.txt:2:521: 2 starts (X): the walker starts on this one, the last\n"},
      {"a byte-order mark", "\xEF\xBB\xBF###\n#X#\n###\n", 1,
       "maze.txt:1:1: a UTF-8 byte-order mark, which the game reads as three empty cells that "
       "shift this line: save the file without one\n"},
      {"UTF-16", std::string("\xFF\xFE#\0X\0#\0\n\0", 10), 1, kUtf16},
      {"UTF-16, big-endian", std::string("\xFE\xFF\0#\0X\0#\0\n", 10), 1, kUtf16},
  };
  for (const auto& c : cases) {
    Result result = RunMap(c.maze, "--check");
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.err, c.err) << c.what;
    EXPECT_EQ(result.out, "") << c.what;
  }
  Result nowhere = RunMap("#####\n#X..#\n#####\n", "-o no/such/dir/map.svg");
  EXPECT_EQ(nowhere.status, 2);
  EXPECT_EQ(nowhere.err, "zumbrel-map: cannot open no/such/dir/map.svg: No such file or directory\n");
  Result missing = RunMap("", "--check nothing.txt");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err, "zumbrel-map: cannot open nothing.txt: No such file or directory\n");
  Result full = RunMap("#####\n#X..#\n#####\n", "", "/dev/full");
  EXPECT_EQ(full.status, 2);
  EXPECT_EQ(full.err, "zumbrel-map: cannot write the map: No space left on device\n");
#ifndef ZUMBREL_SANITIZED  // AddressSanitizer needs its address space
  // Ten million cells are checked in 64 MB of address space, a byte a cell;
  // 48 million are not in 32 MB, and memory runs out in new.
  std::string wide = std::string(509, '#') + "\n";
  std::string big;
  for (int row = 0; row < 20000; row++) big += wide;
  Result memory = RunMap(big, "--check", "out.txt", "ulimit -v 65536");
  EXPECT_EQ(memory.status, 1);
  EXPECT_EQ(memory.err,
            "maze.txt:1:1: no start (X): the walker starts on the first cell of the first line\n");
  Result blanks = RunMap(std::string(48 << 20, ' '), "--check", "out.txt", "ulimit -v 32768");
  EXPECT_EQ(blanks.status, 2);
  EXPECT_EQ(blanks.err, "zumbrel-map: out of memory reading maze.txt\n");
#endif
}

// The cells a map draws: the widths of its runs of squares, added up.
size_t CellsDrawn(const std::string& svg) {
  static const std::regex kRun("h([0-9]+)v1h-\\1z");
  size_t cells = 0;
  for (std::sregex_iterator run(svg.begin(), svg.end(), kRun), end; run != end; ++run)
    cells += std::stoul((*run)[1]);
  return cells;
}

TEST(MapTest, TheMapIsSvgWithOneSquarePerCell) {
  // Ten cells that are not empty: the blank and the lower-case letter are.
  const std::string kMaze = "####\n#X t\n#DOP\n";
  std::string tall = "X\n";
  for (int row = 1; row < 65; row++) tall += "#\n";
  const struct {
    std::string maze;
    const char* args;
    size_t cells;
  } cases[] = {{kMaze, "", 10}, {kMaze, "--lines 1-1", 4}, {kMaze, "--lines 2-2", 2},
               {kMaze, "--lines 3-9", 4}, {tall, "", 65}, {kMaze, "-o out.txt", 10},
               {kMaze, "--output out.txt", 10}};
  for (const auto& c : cases) {
    // The map to out.txt, nothing to stdout.
    bool named = std::string(c.args).find("out.txt") != std::string::npos;
    Result result = RunMap(c.maze, c.args, named ? "/dev/null" : "out.txt");
    EXPECT_EQ(result.status, 0) << c.args;
    if (c.maze == kMaze) {
      EXPECT_EQ(result.err, "maze.txt:2:4: lower-case 't' is an empty cell; a teleport is 'T'\n");
    }
    ScratchDir dir;
    dir.Write("map.svg", result.out);
    EXPECT_EQ(std::system(("xmllint --noout '" + dir.Path() + "/map.svg'").c_str()), 0);
    EXPECT_EQ(CellsDrawn(result.out), c.cells) << c.args;
  }
  // A part of the maze starts at the top of its picture.
  EXPECT_NE(RunMap(kMaze, "--lines 3-9").out.find("d=\"M1 0h"), std::string::npos);
  // Lines count from 1, and run from FROM to TO, no further.
  for (const char* lines : {"0-2", "3-2", "1-2x", "-2"}) {
    Result none = RunMap(kMaze, std::string("--lines ") + lines);
    EXPECT_EQ(none.status, 2) << lines;
    EXPECT_EQ(none.out, "") << lines;
    EXPECT_EQ(none.err.rfind("zumbrel-map: --lines needs FROM-TO, whole numbers from 1\n", 0), 0u);
  }
}

TEST(MapTest, AMapPastTheLargestIsGivenUp) {
  // Many bands, so that the map stops long before its end.
  std::string maze = "X";
  for (int row = 0; row < 2000; row++) maze += "#.#.#.#.#.\n";
  const size_t whole = RunMap(maze, "").out.size();
  const std::string past = "zumbrel-map: the map of maze.txt would be more than " +
                           std::to_string(whole - 1) + " bytes\n";
  // A pipe, or a file that was there before, stays: said by "kept" once the map has ended.
  const std::string left = "zumbrel-map: the map was given up, and map.out left as it is\n";
  const std::string kept = " && trap 'test -e map.out && rm map.out && echo kept >out.txt' EXIT";
  const struct {
    std::string args;
    int status;
    std::string err;
    std::string before = "true";
  } cases[] = {{"--largest " + std::to_string(whole) + " -o out.txt", 0, ""},
               {"--largest " + std::to_string(whole - 1) + " -o out.txt", 2, past},
               {"--largest " + std::to_string(whole - 1), 2, past},
               {"--largest 0 -o out.txt", 2, "zumbrel-map: the map of maze.txt would be more than 0 bytes\n"},
               {"--largest 0 -o map.out", 2, left, "mkfifo map.out && { cat map.out >/dev/null & }" + kept},
               {"--largest 0 -o map.out", 2, left, "echo old >map.out" + kept},
               {"--largest -1 -o out.txt", 2, "zumbrel-map: --largest needs BYTES, a whole number\n"},
               {"--largest 9x -o out.txt", 2, "zumbrel-map: --largest needs BYTES, a whole number\n"}};
  for (const auto& c : cases) {
    Result result = RunMap(maze, c.args, "/dev/null", c.before);
    EXPECT_EQ(result.status, c.status) << c.args;
    EXPECT_NE(result.err.find(c.err), std::string::npos) << c.args;
    // The whole map, or no file at all, but where the file was not this run's: "kept\n".
    EXPECT_EQ(result.out.size(), c.before != "true" ? 5u : c.status == 0 ? whole : 0u) << c.args;
  }
  // Written to standard output, a map given up stops short.
  EXPECT_LT(RunMap(maze, "--largest 10000").out.size(), 2 * 64 * 10 * 20u);
}
