// map_main.cpp: zumbrel-map, which draws a maze file as an SVG map seen from
// above, or checks it for the mistakes a maze author makes.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "world/maze.h"

namespace {

const char* const kUsage =
    "Usage: zumbrel-map [--check] [FILE]\n"
    "  Reads FILE (default maze.txt) as zumbrel does. Without --check, writes a\n"
    "  map of it as SVG to standard output. With --check, writes no map.\n"
    "  Problems go to standard error as FILE:LINE:COLUMN: message; with --check\n"
    "  the status is 1 when there is any, 0 when there is none. A file that\n"
    "  cannot be read gives status 2.\n";

struct Problem {
  int64_t line;
  int64_t column;
  std::string text;
};

// Where a row of the maze starts in the file: a 1-based line and the
// 0-based column of its first character.
struct RowStart {
  int64_t line;
  int64_t column;
};

// What the reader shows of the file, read by read.
struct Reading {
  std::vector<RowStart> rows;
  RowStart next{1, 0};
  int starts = 0;
  std::vector<Problem> problems;
};

// Letters that count in upper case only, and what the upper case stands for.
const char* UpperCaseMeaning(char c) {
  switch (c) {
    case 'x': return "the start is 'X'";
    case 'o': return "an orb is 'O'";
    case 't': return "a teleport is 'T'";
    case 'd': return "a door is 'D'";
    case 'p': return "a pedestal is 'P'";
    default: return nullptr;
  }
}

void OnRow(const char* text, int length, bool endsLine, void* context) {
  Reading& reading = *static_cast<Reading*>(context);
  RowStart at = reading.next;
  reading.rows.push_back(at);
  if (at.column == kMazeRowLength)
    reading.problems.push_back({at.line, at.column + 1,
                                "a row holds at most 510 characters: the rest of this line "
                                "becomes a row of its own"});
  for (int c = 0; c < length; c++) {
    if (text[c] == 'X') reading.starts++;
    const char* meaning = UpperCaseMeaning(text[c]);
    if (meaning != nullptr)
      reading.problems.push_back({at.line, at.column + c + 1,
                                  std::string("lower-case '") + text[c] +
                                      "' is an empty cell; " + meaning});
  }
  // A read that ends no line took a whole row's worth of characters.
  reading.next = endsLine ? RowStart{at.line + 1, 0} : RowStart{at.line, at.column + kMazeRowLength};
}

// The cells as the program has them, on a grid with a ring of empty cells
// around it, where a walker can go round the outside.
enum Cell : unsigned char { kEmpty, kStartCell, kFirstComponent };

struct Grid {
  int64_t rows = 0, columns = 0;  // with the ring
  std::vector<unsigned char> cells;
  int64_t start = 0;

  unsigned char& At(int64_t index) { return cells[static_cast<size_t>(index)]; }
  // Row and column of the maze, 0-based, for a cell of the grid.
  int64_t Row(int64_t index) const { return index / columns - 1; }
  int64_t Column(int64_t index) const { return index % columns - 1; }
  bool Open(int64_t index) const { return cells[static_cast<size_t>(index)] != kFirstComponent + kWall; }
};

int64_t RowOf(Point2 p) { return std::llround(-static_cast<double>(p.y) / 5); }
int64_t ColumnOf(Point2 p) { return std::llround(static_cast<double>(p.x) / 5); }

Grid BuildGrid(const Maze& maze, int64_t rows) {
  Grid grid;
  int64_t columns = ColumnOf(maze.start) + 1;
  for (int k = 0; k < kNumComponentKinds; k++)
    for (int i = 0; i < maze.used[k]; i++) columns = std::max(columns, ColumnOf(maze.list[k][i]) + 1);
  grid.rows = std::max<int64_t>(rows, RowOf(maze.start) + 1) + 2;
  grid.columns = columns + 2;
  grid.cells.assign(static_cast<size_t>(grid.rows * grid.columns), kEmpty);
  auto index = [&](Point2 p) { return (RowOf(p) + 1) * grid.columns + ColumnOf(p) + 1; };
  for (int k = 0; k < kNumComponentKinds; k++)
    for (int i = 0; i < maze.used[k]; i++) grid.At(index(maze.list[k][i])) = static_cast<unsigned char>(kFirstComponent + k);
  grid.start = index(maze.start);
  if (grid.At(grid.start) == kEmpty) grid.At(grid.start) = kStartCell;
  return grid;
}

// Marks every cell reachable from first through cells that are not walls,
// sharing an edge; with teleports, a teleport reached reaches every space.
int64_t Flood(Grid& grid, int64_t first, std::vector<bool>& seen, bool teleports) {
  std::deque<int64_t> queue;
  auto visit = [&](int64_t i) {
    if (i < 0 || i >= grid.rows * grid.columns || seen[i] || !grid.Open(i)) return;
    seen[i] = true;
    queue.push_back(i);
  };
  visit(first);
  int64_t open = 0;
  bool jumped = false;
  while (!queue.empty()) {
    int64_t i = queue.front();
    queue.pop_front();
    if (grid.At(i) != kEmpty) open++;
    int64_t column = i % grid.columns;
    if (column > 0) visit(i - 1);
    if (column + 1 < grid.columns) visit(i + 1);
    visit(i - grid.columns);
    visit(i + grid.columns);
    if (teleports && !jumped && grid.At(i) == kFirstComponent + kTeleport) {
      jumped = true;
      for (int64_t j = 0; j < grid.rows * grid.columns; j++)
        if (grid.At(j) == kFirstComponent + kSpace) visit(j);
    }
  }
  return open;
}

// One problem for each region of open cells the walker cannot reach, at
// its first cell in reading order.
void FindPockets(Grid& grid, const std::vector<RowStart>& rows, std::vector<Problem>& problems) {
  std::vector<bool> seen(static_cast<size_t>(grid.rows * grid.columns), false);
  if (grid.Open(grid.start)) Flood(grid, grid.start, seen, true);
  for (int64_t i = 0; i < grid.rows * grid.columns; i++) {
    if (seen[i] || grid.At(i) == kEmpty || !grid.Open(i)) continue;
    int64_t open = Flood(grid, i, seen, false);
    RowStart row = rows[static_cast<size_t>(grid.Row(i))];
    problems.push_back({row.line, row.column + grid.Column(i) + 1,
                        "the walker cannot reach this region of " + std::to_string(open) +
                            (open == 1 ? " open cell" : " open cells") + " from the start"});
  }
}

void CheckStart(const Reading& reading, const Grid& grid, std::vector<Problem>& problems) {
  if (reading.starts == 1) return;
  if (reading.starts == 0) {
    problems.push_back({1, 1, "no start (X): the walker starts on the first cell of the first line"});
    return;
  }
  RowStart row = reading.rows[static_cast<size_t>(grid.Row(grid.start))];
  problems.push_back({row.line, row.column + grid.Column(grid.start) + 1,
                      std::to_string(reading.starts) + " starts (X): the walker starts on this one, the last"});
}

// Colours close to the bundled models', in ComponentKind order, then the start's.
const char* const kColours[kNumComponentKinds + 1] = {
    "#404d73", "#598cff", "#4df266", "#ff4de6", "#ff731a", "#ffd94d", "#ffffff"};
const char* const kNames[kNumComponentKinds + 1] = {"space", "wall",     "door", "orb",
                                                    "teleport", "pedestal", "start"};

// The map: one square a cell, the first line of the file at the top, under
// a legend. Cells shrink with the maze, to 2 pixels, so that 510 by 10,000
// cells still open as an image 1,020 pixels wide.
void WriteSvg(const Grid& grid) {
  const int64_t rows = grid.rows - 2, columns = grid.columns - 2;
  const int64_t kLegend = 28;
  int64_t size = std::clamp<int64_t>(1000 / std::max<int64_t>(std::max(rows, columns), 1), 2, 16);
  int64_t width = std::max<int64_t>(columns * size, 7 * 90), height = kLegend + rows * size;
  printf("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%lld\" height=\"%lld\">\n",
         static_cast<long long>(width), static_cast<long long>(height));
  printf("<rect width=\"100%%\" height=\"100%%\" fill=\"#000000\"/>\n");
  printf("<g font-family=\"sans-serif\" font-size=\"12\" fill=\"#ffffff\">\n");
  for (int k = 0; k <= kNumComponentKinds; k++) {
    printf("<rect x=\"%d\" y=\"8\" width=\"12\" height=\"12\" fill=\"%s\"/>", k * 90 + 4, kColours[k]);
    printf("<text x=\"%d\" y=\"18\">%s</text>\n", k * 90 + 20, kNames[k]);
  }
  printf("</g>\n");
  printf("<g transform=\"translate(0 %lld) scale(%lld)\">\n", static_cast<long long>(kLegend),
         static_cast<long long>(size));
  // One path a kind, one square a cell.
  for (int k = 0; k <= kNumComponentKinds; k++) {
    unsigned char cell = k < kNumComponentKinds ? kFirstComponent + k : kStartCell;
    printf("<path fill=\"%s\" d=\"", kColours[k]);
    for (int64_t i = 0; i < grid.rows * grid.columns; i++)
      if (grid.cells[static_cast<size_t>(i)] == cell)
        printf("M%lld %lldh1v1h-1z", static_cast<long long>(grid.Column(i)),
               static_cast<long long>(grid.Row(i)));
    printf("\"/>\n");
  }
  // The start, ringed, whatever its cell holds.
  printf("<circle cx=\"%lld.5\" cy=\"%lld.5\" r=\"0.7\" fill=\"none\" stroke=\"#ffffff\" "
         "stroke-width=\"0.25\"/>\n",
         static_cast<long long>(grid.Column(grid.start)), static_cast<long long>(grid.Row(grid.start)));
  printf("</g>\n</svg>\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  const char* name = "maze.txt";
  int names = 0;
  for (int i = 1; i < argc; i++) {
    if (strcmp(argv[i], "--help") == 0) {
      fputs(kUsage, stdout);
      return 0;
    }
    if (strcmp(argv[i], "--check") == 0) {
      check = true;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      fprintf(stderr, "zumbrel-map: unknown option '%s'\n%s", argv[i], kUsage);
      return 2;
    } else if (names++ == 0) {
      name = argv[i];
    } else {
      fprintf(stderr, "zumbrel-map: one maze file at a time\n%s", kUsage);
      return 2;
    }
  }

  FILE* file = OpenDataFile(name);
  if (file == nullptr) {
    fprintf(stderr, "zumbrel-map: cannot open %s: %s\n", name, strerror(errno));
    return 2;
  }
  Reading reading;
  gMaze.ReadMaze(file, OnRow, &reading);
  fclose(file);

  Grid grid = BuildGrid(gMaze, static_cast<int64_t>(reading.rows.size()));
  std::vector<Problem>& problems = reading.problems;
  CheckStart(reading, grid, problems);
  FindPockets(grid, reading.rows, problems);
  std::stable_sort(problems.begin(), problems.end(), [](const Problem& a, const Problem& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
  });
  for (const Problem& p : problems)
    fprintf(stderr, "%s:%lld:%lld: %s\n", name, static_cast<long long>(p.line),
            static_cast<long long>(p.column), p.text.c_str());

  if (check) return problems.empty() ? 0 : 1;
  WriteSvg(grid);
  return ferror(stdout) ? 1 : 0;
}
