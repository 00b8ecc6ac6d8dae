// map_main.cpp: zumbrel-map, which draws a maze file as an SVG map seen from
// above, or checks it for the mistakes a maze author makes.
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "binary_output.h"
#include "maze_map.h"

namespace {

const char* const kUsage =
    "Usage: zumbrel-map [--check] [--lines FROM-TO] [FILE]\n"
    "  Reads FILE (default maze.txt) as zumbrel does. Without --check, writes a\n"
    "  map of it as SVG to standard output: of lines FROM to TO of the file\n"
    "  with --lines, of all of it without. With --check, writes no map.\n"
    "  Problems go to standard error as FILE:LINE:COLUMN: message; with --check\n"
    "  the status is 1 when there is any, 0 when there is none. A file that\n"
    "  cannot be read, memory that runs out, or a map that cannot be written\n"
    "  gives status 2.\n";

const char* gName = "maze.txt";

// Ends the program when memory runs out, whether in the reader or here.
[[noreturn]] void OutOfMemory() {
  fprintf(stderr, "zumbrel-map: out of memory reading %s\n", gName);
  exit(2);
}
[[noreturn]] void OnFatal(const char* message) {
  (void)message;
  OutOfMemory();
}

// FROM-TO, two whole numbers from 1 with FROM no more than TO.
bool ParseLines(const char* text, int64_t& from, int64_t& to) {
  char dash = 0, end = 0;
  long long a = 0, b = 0;
  if (text == nullptr || sscanf(text, "%lld%c%lld%c", &a, &dash, &b, &end) != 3 || dash != '-')
    return false;
  from = a;
  to = b;
  return a >= 1 && a <= b;
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryOutput();
  bool check = false;
  int64_t fromLine = 1, toLine = INT64_MAX;
  int names = 0;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--help") == 0) {
      fputs(kUsage, stdout);
      return 0;
    }
    if (strcmp(argv[i], "--check") == 0) {
      check = true;
    } else if (strcmp(argv[i], "--lines") == 0) {
      if (!ParseLines(argv[++i], fromLine, toLine)) {
        fprintf(stderr, "zumbrel-map: --lines needs FROM-TO, whole numbers from 1\n%s", kUsage);
        return 2;
      }
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      fprintf(stderr, "zumbrel-map: unknown option '%s'\n%s", argv[i], kUsage);
      return 2;
    } else if (names++ == 0) {
      gName = argv[i];
    } else {
      fprintf(stderr, "zumbrel-map: one maze file at a time\n%s", kUsage);
      return 2;
    }
  }
  std::set_new_handler(OutOfMemory);
  gFatalHandler = OnFatal;

  FILE* file = OpenDataFile(gName);
  if (file == nullptr) {
    fprintf(stderr, "zumbrel-map: cannot open %s: %s\n", gName, strerror(errno));
    return 2;
  }
  MazeCells cells;
  if (!ReadMazeCells(file, gMaze, cells)) {
    fprintf(stderr, "zumbrel-map: cannot read %s: %s\n", gName, strerror(errno));
    return 2;
  }
  fclose(file);

  std::vector<MazeProblem> problems = CheckMaze(gMaze, cells);
  for (const MazeProblem& p : problems)
    fprintf(stderr, "%s:%" PRId64 ":%" PRId64 ": %s\n", gName, p.at.line, p.at.column,
            p.text.c_str());
  if (check) return problems.empty() ? 0 : 1;

  // An empty file still has the start, on the first cell of the first line.
  int64_t firstRow = cells.FirstRowOfLine(fromLine);
  int64_t endRow = toLine == INT64_MAX ? std::max<int64_t>(cells.Rows(), 1)
                                       : cells.FirstRowOfLine(toLine + 1);
  WriteMapSvg(stdout, cells, firstRow, endRow);
  if (fflush(stdout) != 0 || ferror(stdout)) {
    fprintf(stderr, "zumbrel-map: cannot write the map: %s\n", strerror(errno));
    return 2;
  }
  return 0;
}
