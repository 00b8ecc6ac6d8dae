// map_main.cpp: zumbrel-map, which draws a maze file as an SVG map seen from
// above, or checks it for the mistakes a maze author makes.
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "binary_output.h"
#include "maze_map.h"

namespace {

const char* const kUsage =
    "Usage: zumbrel-map [--check] [--lines FROM-TO] [--largest BYTES] [-o OUT] [FILE]\n"
    "  Reads FILE (default maze.txt) as zumbrel does. Without --check, writes a\n"
    "  map of it as SVG to OUT (-o or --output), or to standard output: of\n"
    "  lines FROM to TO of the file with --lines, of all of it without. With\n"
    "  --check, writes no map. With --largest, a map that would pass BYTES is\n"
    "  given up, and OUT removed when this run made it.\n"
    "  Problems go to standard error as FILE:LINE:COLUMN: message, the first ten\n"
    "  of each kind, then a count of the rest; with --check the status is 1\n"
    "  when there is any, 0 when there is none. A file that cannot be read,\n"
    "  memory that runs out, or a map that cannot be written gives status 2.\n";

const char* gName = "maze.txt";
// What the program is doing, for the line that says memory ran out.
const char* gDoing = "reading";

// Ends the program when memory runs out.
[[noreturn]] void OutOfMemory() {
  fprintf(stderr, "zumbrel-map: out of memory %s %s\n", gDoing, gName);
  exit(2);
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

// BYTES, a whole number from 0.
bool ParseBytes(const char* text, int64_t& bytes) {
  char end = 0;
  long long n = 0;
  if (text == nullptr || sscanf(text, "%lld%c", &n, &end) != 1 || n < 0) return false;
  bytes = n;
  return true;
}

#ifndef O_BINARY
#define O_BINARY 0
#endif

// OUT opened for the map; made tells whether this run created it, and so
// may remove it.
FILE* OpenOutput(const char* path, bool& made) {
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
  made = fd >= 0;
  if (fd < 0 && errno == EEXIST) fd = open(path, O_WRONLY | O_TRUNC | O_BINARY);
  return fd < 0 ? nullptr : fdopen(fd, "wb");
}

// Removes OUT only while its name still stands for the regular file this
// run made and wrote to: a device, a pipe or a file that was there before
// stays as it is. True when it was removed.
bool RemoveMadeOutput(FILE* out, const char* path, bool made) {
  struct stat opened, named;
  bool same = made && fstat(fileno(out), &opened) == 0 && stat(path, &named) == 0 &&
              S_ISREG(named.st_mode) && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
  fclose(out);
  return same && remove(path) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryOutput();
  bool check = false;
  int64_t fromLine = 1, toLine = INT64_MAX, largest = INT64_MAX;
  const char* output = nullptr;
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
    } else if (strcmp(argv[i], "--largest") == 0) {
      if (!ParseBytes(argv[++i], largest)) {
        fprintf(stderr, "zumbrel-map: --largest needs BYTES, a whole number\n%s", kUsage);
        return 2;
      }
    } else if (strcmp(argv[i], "-o") == 0 || strcmp(argv[i], "--output") == 0) {
      output = argv[++i];
      if (output == nullptr) {
        fprintf(stderr, "zumbrel-map: %s needs a file\n%s", argv[i - 1], kUsage);
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

  FILE* file = OpenDataFile(gName);
  if (file == nullptr) {
    fprintf(stderr, "zumbrel-map: cannot open %s: %s\n", gName, strerror(errno));
    return 2;
  }
  MazeCells cells;
  if (!ReadMazeCells(file, cells)) {
    fprintf(stderr, "zumbrel-map: cannot read %s: %s\n", gName, strerror(errno));
    return 2;
  }
  fclose(file);

  gDoing = "checking";
  std::vector<MazeProblem> problems = CheckMaze(cells);
  // Written in blocks; a count of the rest stands at line 0, on no place.
  static char errors[1 << 16];
  setvbuf(stderr, errors, _IOFBF, sizeof errors);
  for (const MazeProblem& p : problems)
    if (p.at.line == 0)
      fprintf(stderr, "%s: %s\n", gName, p.text.c_str());
    else
      fprintf(stderr, "%s:%" PRId64 ":%" PRId64 ": %s\n", gName, p.at.line, p.at.column,
              p.text.c_str());
  fflush(stderr);
  if (check) return problems.empty() ? 0 : 1;

  gDoing = "mapping";
  bool made = false;
  FILE* out = output == nullptr ? stdout : OpenOutput(output, made);
  if (out == nullptr) {
    fprintf(stderr, "zumbrel-map: cannot open %s: %s\n", output, strerror(errno));
    return 2;
  }
  // An empty file still has the start, on the first cell of the first line.
  int64_t firstRow = cells.FirstRowOfLine(fromLine);
  int64_t endRow = toLine == INT64_MAX ? std::max<int64_t>(cells.Rows(), 1)
                                       : cells.FirstRowOfLine(toLine + 1);
  bool whole = WriteMapSvg(out, cells, firstRow, endRow, largest);
  if (!whole) {
    fprintf(stderr, "zumbrel-map: the map of %s would be more than %" PRId64 " bytes\n", gName, largest);
    if (out != stdout && !RemoveMadeOutput(out, output, made))
      fprintf(stderr, "zumbrel-map: the map was given up, and %s left as it is\n", output);
    return 2;
  }
  if (fflush(out) != 0 || ferror(out) || (out != stdout && fclose(out) != 0)) {
    fprintf(stderr, "zumbrel-map: cannot write the map: %s\n", strerror(errno));
    return 2;
  }
  return 0;
}
