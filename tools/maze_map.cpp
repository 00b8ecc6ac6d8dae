// maze_map.cpp: a maze file cell by cell: reading it through the program's
// reader, the walker's reach, the author's mistakes and the SVG map.
#include "maze_map.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "sim/steps.h"

namespace {

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

// What a file saved by a Windows editor begins with, where the game sees
// cells that are not there, or no more than a cell a row.
const char* EncodingMistake(const char* text) {
  if (strncmp(text, "\xEF\xBB\xBF", 3) == 0)
    return "a UTF-8 byte-order mark, which the game reads as three empty cells that shift "
           "this line: save the file without one";
  if (strncmp(text, "\xFF\xFE", 2) == 0 || strncmp(text, "\xFE\xFF", 2) == 0)
    return "UTF-16 text, with a NUL byte in every character, which ends the game's read of "
           "each row: save the file as UTF-8";
  return nullptr;
}

void OnRow(const char* text, int length, bool endsLine, void* context) {
  MazeCells& cells = *static_cast<MazeCells*>(context);
  int64_t row = cells.Rows();
  if (cells.continuesLine) cells.continuations.push_back(row);
  FilePlace at = cells.nextRowAt;
  // A read that ends no line took a whole row's characters.
  cells.nextRowAt = endsLine ? FilePlace{at.line + 1, 1} : FilePlace{at.line, at.column + kMazeRowLength};
  const char* mistake = row == 0 ? EncodingMistake(text) : nullptr;
  if (mistake != nullptr) cells.problems.listed.push_back({at, mistake});
  if (at.column == kMazeRowLength + 1 && cells.problems.Count(kLongLineProblem))
    cells.problems.listed.push_back(
        {at, "a row holds at most " + std::to_string(kMazeRowLength) +
                 " characters: the rest of this line becomes a row of its own"});
  for (int c = 0; c < length; c++) {
    int kind = ComponentOfCharacter(text[c]);
    cells.cells.push_back(static_cast<signed char>(kind));
    if (kind == kSpace) cells.spaces++;
    if (IsStartCharacter(text[c])) {
      cells.starts++;
      cells.startRow = row;
      cells.startColumn = c;
    }
    const char* meaning = UpperCaseMeaning(text[c]);
    if (meaning != nullptr && cells.problems.Count(kLowerCaseProblem))
      cells.problems.listed.push_back({{at.line, at.column + c},
                                std::string("lower-case '") + text[c] +
                                    "' is an empty cell; " + meaning});
  }
  cells.rowStart.push_back(static_cast<int64_t>(cells.cells.size()));
  cells.continuesLine = !endsLine;
}

// A cell of the rows, or the open ground outside them (row -1).
struct Node {
  int64_t row;
  int64_t column;
};
const Node kOutside = {-1, -1};

// Marks and counts the cells connected to first through the tick's steps.
// With throwing teleports, a teleport leads to every space cell and to none
// of its neighbours; without, it is walked through like any open cell.
// Returns how many of the cells it marked hold a component.
int64_t Flood(const MazeCells& cells, Node first, bool throwing, Reach& seen) {
  auto outcome = [&](int kind) {
    StepOutcome step = OutcomeOfStepOnto(kind, cells.TeleportsThrow());
    return step == kStepThrown && !throwing ? kStepTaken : step;
  };
  std::deque<Node> queue;
  auto visit = [&](Node node) {
    if (!cells.Holds(node.row, node.column)) {
      if (seen.outside) return;
      seen.outside = true;
    } else {
      size_t i = static_cast<size_t>(cells.rowStart[node.row] + node.column);
      if (seen.cell[i] || outcome(cells.cells[i]) == kStepRefused) return;
      seen.cell[i] = true;
    }
    queue.push_back(node);
  };
  // Below the deepest row walked to, the walker moves along its row alone,
  // and what lies outside the row leads back only into it.
  auto visitNeighbours = [&](Node node) {
    for (const int* step : kStepNeighbours) {
      Node next = {node.row + step[0], node.column + step[1]};
      bool held = cells.Holds(next.row, next.column);
      if (std::max(node.row, next.row) > kDeepestRowWalkedTo && (step[0] != 0 || !held)) continue;
      visit(held ? next : kOutside);
    }
  };

  visit(first);
  int64_t counted = 0;
  bool thrown = false;
  while (!queue.empty()) {
    Node node = queue.front();
    queue.pop_front();
    if (node.row < 0) {
      // The ground outside touches every cell that has a neighbour outside.
      for (int64_t r = 0; r < std::min(cells.Rows(), kDeepestRowWalkedTo + 1); r++)
        for (int64_t c = 0; c < cells.Length(r); c++)
          for (const int* step : kStepNeighbours)
            if (!cells.Holds(r + step[0], c + step[1])) {
              visit(Node{r, c});
              break;
            }
      continue;
    }
    int kind = cells.Kind(node.row, node.column);
    if (kind >= 0) counted++;
    if (outcome(kind) != kStepThrown) {
      visitNeighbours(node);
    } else if (!thrown) {
      thrown = true;
      for (int64_t r = 0; r < cells.Rows(); r++)
        for (int64_t c = 0; c < cells.Length(r); c++)
          if (cells.Kind(r, c) == kSpace) visit(Node{r, c});
    }
  }
  return counted;
}

Reach NoneReached(const MazeCells& cells) {
  Reach reach;
  reach.cell.assign(cells.cells.size(), false);
  return reach;
}

Node StartNode(const MazeCells& cells) {
  return cells.Holds(cells.startRow, cells.startColumn) ? Node{cells.startRow, cells.startColumn}
                                                        : kOutside;
}

}  // namespace

FilePlace MazeCells::PlaceOf(int64_t row, int64_t column) const {
  auto carried = std::upper_bound(continuations.begin(), continuations.end(), row);
  int64_t behind = carried - continuations.begin();
  int64_t line = row + 1 - behind;
  // The reads before this one on its line, each a whole row long: as many
  // as the run of continuations that ends with this row, one row apart,
  // where continuation i is row - (behind - 1 - i). Those before the run
  // lie further back: halving finds where it begins.
  int64_t lo = 0, hi = behind;
  while (lo < hi) {
    int64_t mid = lo + (hi - lo) / 2;
    if (continuations[mid] - mid <= row - behind)
      lo = mid + 1;
    else
      hi = mid;
  }
  return {line, (behind - lo) * kMazeRowLength + column + 1};
}

int64_t MazeCells::FirstRowOfLine(int64_t line) const {
  int64_t lo = 0, hi = Rows();
  while (lo < hi) {
    int64_t mid = lo + (hi - lo) / 2;
    if (PlaceOf(mid, 0).line < line)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

bool ReadMazeCells(FILE* file, MazeCells& cells) {
  return ReadMazeRows(file, OnRow, &cells);
}

// A walker who starts inside a wall never leaves it: every step ends in it.
Reach FindReach(const MazeCells& cells) {
  Reach reach = NoneReached(cells);
  Node start = StartNode(cells);
  if (OutcomeOfStepOnto(cells.Kind(start.row, start.column), cells.TeleportsThrow()) != kStepRefused)
    Flood(cells, start, true, reach);
  return reach;
}

std::vector<MazeProblem> CheckMaze(const MazeCells& cells) {
  ProblemList found = cells.problems;
  std::vector<MazeProblem>& problems = found.listed;
  if (cells.starts == 0)
    problems.push_back({{1, 1}, "no start (X): the walker starts on the first cell of the first line"});
  if (cells.starts > 1)
    problems.push_back({cells.PlaceOf(cells.startRow, cells.startColumn),
                        std::to_string(cells.starts) +
                            " starts (X): the walker starts on this one, the last"});

  // One problem for each region of cells the walker cannot reach, at its
  // first cell in reading order, its cells joined as steps join them; one
  // for all those below the deepest row walked to.
  Reach seen = FindReach(cells);
  bool tooDeep = false;
  for (int64_t r = 0; r < cells.Rows(); r++)
    for (int64_t c = 0; c < cells.Length(r); c++) {
      size_t i = static_cast<size_t>(cells.rowStart[r] + c);
      int kind = cells.cells[i];
      if (seen.cell[i] || kind < 0 || OutcomeOfStepOnto(kind, cells.TeleportsThrow()) == kStepRefused)
        continue;
      if (r > kDeepestRowWalkedTo) {
        if (!tooDeep)
          problems.push_back({cells.PlaceOf(r, c),
                              "the walker cannot walk down to this line or past it: positions are "
                              "single-precision floats, and this far down a step rounds to nothing"});
        tooDeep = true;
        continue;
      }
      int64_t open = Flood(cells, Node{r, c}, false, seen);
      if (!found.Count(kUnreachedProblem)) continue;
      problems.push_back({cells.PlaceOf(r, c),
                          "the walker cannot reach this region of " + std::to_string(open) +
                              (open == 1 ? " open cell" : " open cells") + " from the start"});
    }

  std::stable_sort(problems.begin(), problems.end(),
                   [](const MazeProblem& a, const MazeProblem& b) {
                     return a.at.line != b.at.line ? a.at.line < b.at.line
                                                   : a.at.column < b.at.column;
                   });
  static const char* const kUnlisted[kNumProblemKinds] = {
      "lines longer than a row", "lower-case cell letters", "regions the walker cannot reach"};
  for (int k = 0; k < kNumProblemKinds; k++)
    if (found.found[k] > kProblemsListed)
      problems.push_back({{0, 0}, std::to_string(found.found[k] - kProblemsListed) + " more " +
                                      kUnlisted[k] + ", not listed"});
  return problems;
}

namespace {

// Colours close to the bundled models', in ComponentKind order, then the start's.
const int kStartSquare = kNumComponentKinds;
const char* const kColours[kNumComponentKinds + 1] = {
    "#404d73", "#598cff", "#4df266", "#ff4de6", "#ff731a", "#ffd94d", "#ffffff"};
const char* const kNames[kNumComponentKinds + 1] = {"space", "wall",     "door", "orb",
                                                    "teleport", "pedestal", "start"};

// Rows are drawn in bands of this many, one path a kind a band, so that no
// attribute grows with the maze: viewers refuse attributes of megabytes.
const int64_t kBandRows = 64;

// The square drawn on a cell: its kind, the start's square where the start
// stands on no component, or -1 for none.
int SquareOf(const MazeCells& cells, int64_t row, int64_t column) {
  int kind = cells.Kind(row, column);
  if (kind < 0 && row == cells.startRow && column == cells.startColumn) return kStartSquare;
  return kind;
}

// One path of a kind over a band of rows, a rectangle a run of equal cells.
void WriteBand(FILE* out, const MazeCells& cells, int square, int64_t firstRow, int64_t from,
               int64_t to) {
  bool open = false;
  for (int64_t r = from; r < to; r++) {
    int64_t length = std::max(r < cells.Rows() ? cells.Length(r) : 0,
                              r == cells.startRow ? cells.startColumn + 1 : 0);
    for (int64_t c = 0; c < length; c++) {
      if (SquareOf(cells, r, c) != square) continue;
      int64_t run = 1;
      while (c + run < length && SquareOf(cells, r, c + run) == square) run++;
      if (!open) fprintf(out, "<path fill=\"%s\" d=\"", kColours[square]);
      open = true;
      fprintf(out, "M%lld %lldh%lldv1h-%lldz", static_cast<long long>(c),
              static_cast<long long>(r - firstRow), static_cast<long long>(run),
              static_cast<long long>(run));
      c += run - 1;
    }
  }
  if (open) fprintf(out, "\"/>\n");
}

}  // namespace

// Cells shrink with the maze, to 2 pixels, so that 509 by 10,000 cells
// still open as an image 1,018 pixels wide.
void WriteMapSvg(FILE* out, const MazeCells& cells, int64_t firstRow, int64_t endRow) {
  bool startShown = cells.startRow >= firstRow && cells.startRow < endRow;
  int64_t rows = endRow - firstRow, columns = startShown ? cells.startColumn + 1 : 0;
  for (int64_t r = firstRow; r < std::min(endRow, cells.Rows()); r++)
    for (int64_t c = cells.Length(r) - 1; c >= columns; c--)
      if (cells.Kind(r, c) >= 0) columns = c + 1;

  const int64_t kLegend = 28;
  int64_t size = std::clamp<int64_t>(1000 / std::max<int64_t>(std::max(rows, columns), 1), 2, 16);
  int64_t width = std::max<int64_t>(columns * size, 7 * 90), height = kLegend + rows * size;
  fprintf(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%lld\" height=\"%lld\">\n",
          static_cast<long long>(width), static_cast<long long>(height));
  fprintf(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"#000000\"/>\n");
  fprintf(out, "<g font-family=\"sans-serif\" font-size=\"12\" fill=\"#ffffff\">\n");
  for (int k = 0; k <= kStartSquare; k++) {
    fprintf(out, "<rect x=\"%d\" y=\"8\" width=\"12\" height=\"12\" fill=\"%s\"/>", k * 90 + 4,
            kColours[k]);
    fprintf(out, "<text x=\"%d\" y=\"18\">%s</text>\n", k * 90 + 20, kNames[k]);
  }
  fprintf(out, "</g>\n");
  fprintf(out, "<g transform=\"translate(0 %lld) scale(%lld)\">\n",
          static_cast<long long>(kLegend), static_cast<long long>(size));
  for (int64_t band = firstRow; band < firstRow + rows; band += kBandRows)
    for (int square = 0; square <= kStartSquare; square++)
      WriteBand(out, cells, square, firstRow, band, std::min(band + kBandRows, firstRow + rows));
  // The start, ringed, whatever its cell holds.
  if (startShown)
    fprintf(out,
            "<circle cx=\"%lld.5\" cy=\"%lld.5\" r=\"0.7\" fill=\"none\" stroke=\"#ffffff\" "
            "stroke-width=\"0.25\"/>\n",
            static_cast<long long>(cells.startColumn),
            static_cast<long long>(cells.startRow - firstRow));
  fprintf(out, "</g>\n</svg>\n");
}
