// maze_map.cpp: a maze file cell by cell: reading it through the program's
// reader, the walker's reach, the author's mistakes and the SVG map.
#include "maze_map.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "sim/steps.h"
#include "world/row_bytes.h"

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

// The reader's kind of every byte, looked up once.
struct KindTable {
  signed char kind[256];
  KindTable() {
    for (int c = 0; c < 256; c++) kind[c] = static_cast<signed char>(ComponentOfCharacter(static_cast<char>(c)));
  }
  int operator[](unsigned char c) const { return kind[c]; }
};
const KindTable gKindOf;

// The bits set in a word, without the instruction a generic build lacks.
int CountBits(uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555;
  x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
  return static_cast<int>((x * 0x0101010101010101) >> 56);
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
  size_t first = cells.cells.size();
  cells.cells.resize(first + static_cast<size_t>(length));
  signed char* kinds = cells.cells.data() + first;
  // Eight spaces and walls at once, nearly every eight of a large maze: a
  // wall's kind is its byte's lowest bit.
  static_assert(kSpace == 0 && kWall == 1, "the kinds of spaces and walls");
  int c = 0;
  for (; c + 8 <= length; c += 8) {
    uint64_t word = LoadWord(text + c);
    uint64_t spaces = BytesEqual(word, kSpaceCharacter), walls = BytesEqual(word, kWallCharacter);
    if ((spaces | walls) != kHighBits) break;
    for (int b = 0; b < 8; b++) kinds[c + b] = static_cast<signed char>(walls >> (8 * b + 7) & 1);
    cells.spaces += 8 - CountBits(walls);
  }
  for (; c < length; c++) {
    int kind = gKindOf[static_cast<unsigned char>(text[c])];
    kinds[c] = static_cast<signed char>(kind);
    if (kind == kSpace) cells.spaces++;
    if (kind >= 0) continue;  // a component: neither the start nor a mistake
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

// The first column from which on every cell of the row has a neighbour
// outside the rows, as a step counts them: past the shortest of the row and
// those beside it. Before it, only column 0 has one, unless the row is the
// first or the last.
int64_t FirstColumnBesideOutside(const MazeCells& cells, int64_t row) {
  if (row == 0 || row == cells.Rows() - 1) return 0;
  int64_t shortest = std::min({cells.Length(row - 1), cells.Length(row), cells.Length(row + 1)});
  return std::max<int64_t>(shortest - 1, 0);
}

// A run of cells in one row, first to last, that the walker stands on and
// steps on from.
struct Span {
  int64_t row, first, last;
};

// The cells of each sort a flood asks after, a bit a cell, so that it
// passes over walls and reached cells a word at a time.
struct FloodCells {
  CellSet open;       // cells a step may end on: all but walls
  CellSet teleport;   // cells that throw, where the maze throws at all
  CellSet component;  // cells that hold a component, counted when reached
  CellSet space;      // where a throw lands

  explicit FloodCells(const MazeCells& cells)
      : open(Size(cells)), teleport(Size(cells)), component(Size(cells)), space(Size(cells)) {
    // Each kind's sorts, a bit each in the order of the sets, and those of
    // spaces and walls spread over the eight bits of a byte's cells.
    unsigned sortsOf[kNumComponentKinds + 1];
    for (int kind = -1; kind < kNumComponentKinds; kind++)
      sortsOf[kind + 1] = (OutcomeOfStepOnto(kind, false) != kStepRefused) |
                          (OutcomeOfStepOnto(kind, cells.TeleportsThrow()) == kStepThrown) << 1 |
                          (kind >= 0) << 2 | (kind == kSpace) << 3;
    CellSet* sets[4] = {&open, &teleport, &component, &space};
    const signed char* kinds = cells.cells.data();
    size_t size = cells.cells.size();
    for (size_t w = 0; w < open.words.size(); w++) {
      uint64_t bits[4] = {};
      size_t first = w * 64, end = std::min<size_t>(size - first, 64), b = 0;
      // Eight spaces and walls at once, nearly every eight of a large maze:
      // a wall's kind is its lowest bit.
      for (; b + 8 <= end; b += 8) {
        uint64_t word = LoadWord(reinterpret_cast<const char*>(kinds + first + b));
        if ((word & ~kLowBits) != 0) break;
        uint64_t walls = MarkBits(word << 7), spaces = ~walls & 0xFF;
        for (int k = 0; k < 4; k++)
          bits[k] |= ((sortsOf[kSpace + 1] >> k & 1 ? spaces : 0) | (sortsOf[kWall + 1] >> k & 1 ? walls : 0)) << b;
      }
      for (; b < end; b++)
        for (int k = 0; k < 4; k++) bits[k] |= uint64_t{sortsOf[kinds[first + b] + 1] >> k & 1} << b;
      for (int k = 0; k < 4; k++) sets[k]->words[w] = bits[k];
    }
  }
  static int64_t Size(const MazeCells& cells) { return static_cast<int64_t>(cells.cells.size()); }
};

// The first place in [from, to) whose bit is set in word(k), the k-th word
// of a set, or to when there is none.
template <typename Word>
int64_t FindSet(Word word, int64_t from, int64_t to) {
  if (from >= to) return to;
  int64_t k = from >> 6;
  uint64_t bits = word(k) & (~uint64_t{0} << (from & 63));
  while (bits == 0) {
    if (++k << 6 >= to) return to;
    bits = word(k);
  }
  return std::min(to, (k << 6) + __builtin_ctzll(bits));
}

// The last place in [downTo, from) whose bit is set in word(k), or
// downTo - 1 when there is none.
template <typename Word>
int64_t FindSetBefore(Word word, int64_t from, int64_t downTo) {
  if (from <= downTo) return downTo - 1;
  int64_t k = (from - 1) >> 6;
  uint64_t bits = word(k) & (~uint64_t{0} >> (63 - ((from - 1) & 63)));
  while (bits == 0) {
    if (--k < 0 || (k << 6) + 63 < downTo) return downTo - 1;
    bits = word(k);
  }
  return std::max(downTo - 1, (k << 6) + 63 - __builtin_clzll(bits));
}

// Marks and counts the cells connected to the start cell, or to the ground
// outside the rows (row -1), through the tick's steps, a run of a row at a
// time. A step reaches the eight cells around: from a run, the run's own
// row one past either end, and the rows beside it from one before its first
// cell to one past its last. With throwing teleports, a teleport leads to
// every space cell and to none of its neighbours; without, it is walked
// through like any open cell. Returns how many of the cells it marked hold
// a component.
class Flood {
 public:
  Flood(const MazeCells& cells, const FloodCells& sorts, bool throwing, Reach& seen)
      : cells_(cells), sorts_(sorts), seen_(seen), throws_(throwing && cells.TeleportsThrow()) {}

  int64_t From(int64_t row, int64_t column) {
    StepAlong(RowAt(row), column, column);
    for (;;) {
      // Once reached, the ground outside touches every cell beside it, and
      // a throw lands on every space cell: swept a little at a time, so that
      // the queue holds a frontier, not a maze.
      while (head_ == queue_.size() && SweepBesideOutside()) {}
      while (head_ == queue_.size() && SweepSpaces()) {}
      if (head_ == queue_.size()) return counted_;
      Span span = queue_[head_++];
      // The queue's front, once taken, goes when it is most of it.
      if (head_ > 4096 && head_ * 2 > queue_.size()) {
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
      }
      for (int64_t d : {-1, 1}) {
        // Below the deepest row walked to, the walker moves along its row alone.
        if (std::max(span.row, span.row + d) > kDeepestRowWalkedTo) continue;
        RowCells beside = RowAt(span.row + d);
        if (Leads(beside, span.first - 1, span.last + 1)) StepAlong(beside, span.first - 1, span.last + 1);
      }
      // What lies outside a row below the deepest leads back only into it.
      RowCells own = RowAt(span.row);
      for (int64_t c : {span.first - 1, span.last + 1})
        if ((span.row <= kDeepestRowWalkedTo || (c >= 0 && c < own.length)) && Leads(own, c, c))
          StepAlong(own, c, c);
    }
  }

 private:
  // The words of the cells not yet reached that a step may end on, and of
  // those among them that the walker stands on and steps on from.
  uint64_t Unreached(int64_t k) const { return ~seen_.cell.words[static_cast<size_t>(k)]; }
  uint64_t Open(int64_t k) const { return sorts_.open.words[static_cast<size_t>(k)] & Unreached(k); }
  uint64_t Walked(int64_t k) const {
    uint64_t thrown = throws_ ? sorts_.teleport.words[static_cast<size_t>(k)] : 0;
    return sorts_.open.words[static_cast<size_t>(k)] & ~thrown & Unreached(k);
  }

  // Marks the cells [from, to], counting those that hold a component.
  void Mark(int64_t from, int64_t to) {
    for (int64_t k = from >> 6; k <= to >> 6; k++) {
      uint64_t bits = ~uint64_t{0};
      if (k == from >> 6) bits &= ~uint64_t{0} << (from & 63);
      if (k == to >> 6) bits &= ~uint64_t{0} >> (63 - (to & 63));
      seen_.cell.words[static_cast<size_t>(k)] |= bits;
      counted_ += CountBits(bits & sorts_.component.words[static_cast<size_t>(k)]);
    }
  }

  // A row's place among the cells: none for a row outside them.
  struct RowCells {
    int64_t row, base, length;
  };
  RowCells RowAt(int64_t row) const {
    if (row < 0 || row >= cells_.Rows()) return {row, 0, 0};
    return {row, cells_.rowStart[row], cells_.Length(row)};
  }

  // Whether a step onto the row from column from to column to reaches
  // anything new, as StepAlong would: nearly every step of a flood reaches
  // nothing, and is told so here from a word or two.
  bool Leads(const RowCells& at, int64_t from, int64_t to) const {
    if ((from < 0 || to >= at.length) && !seen_.outside) return true;
    int64_t first = at.base + std::max<int64_t>(from, 0), last = at.base + std::min(to, at.length - 1);
    if (first > last) return false;
    int64_t k = first >> 6, lastWord = last >> 6;
    if (lastWord - k > 1) return true;
    uint64_t bits = Open(k) & ~uint64_t{0} << (first & 63);
    if (lastWord == k) return (bits & ~uint64_t{0} >> (63 - (last & 63))) != 0;
    return bits != 0 || (Open(lastWord) & ~uint64_t{0} >> (63 - (last & 63))) != 0;
  }

  // Steps onto each cell of the row from column from to column to, or
  // outside the rows where they are past its ends: marks what it reaches,
  // and queues the run around a cell to step on from.
  void StepAlong(const RowCells& at, int64_t from, int64_t to) {
    if ((from < 0 || to >= at.length) && !seen_.outside) seen_.outside = outsideSweep_.started = true;
    int64_t base = at.base, end = base + std::min(to, at.length - 1) + 1;
    auto open = [this](int64_t k) { return Open(k); };
    auto walked = [this](int64_t k) { return Walked(k); };
    auto stopsRun = [this](int64_t k) { return ~Walked(k); };
    for (int64_t i = FindSet(open, base + std::max<int64_t>(from, 0), end); i < end;
         i = FindSet(open, i + 1, end)) {
      if (!(walked(i >> 6) >> (i & 63) & 1)) {
        // A throw, which leads on only to the space cells.
        Mark(i, i);
        spaceSweep_.started = true;
        continue;
      }
      // The whole run, as far as it goes either way.
      int64_t first = FindSetBefore(stopsRun, i, base) + 1;
      int64_t last = FindSet(stopsRun, i + 1, base + at.length) - 1;
      Mark(first, last);
      queue_.push_back(Span{at.row, first - base, last - base});
      i = last;
    }
  }

  // A pass over the cells in reading order, taken up each time the queue
  // runs dry.
  struct Sweep {
    bool started = false;
    int64_t row = 0, column = 0;
  };

  // Steps from outside onto the next cell beside it; false once none is left.
  bool SweepBesideOutside() {
    Sweep& sweep = outsideSweep_;
    int64_t rows = std::min(cells_.Rows(), kDeepestRowWalkedTo + 1);
    while (sweep.started && sweep.row < rows) {
      int64_t from = FirstColumnBesideOutside(cells_, sweep.row);
      if (sweep.column == 0 && from > 1) {
        StepAlong(RowAt(sweep.row), 0, 0);
        sweep.column = from;
        return true;
      }
      if (sweep.column < cells_.Length(sweep.row)) {
        StepAlong(RowAt(sweep.row), sweep.column, sweep.column);
        sweep.column++;
        return true;
      }
      sweep.row++;
      sweep.column = 0;
    }
    return false;
  }

  // Throws onto the next space cell; false once none is left.
  bool SweepSpaces() {
    Sweep& sweep = spaceSweep_;
    auto unreachedSpace = [this](int64_t k) {
      return sorts_.space.words[static_cast<size_t>(k)] & Unreached(k);
    };
    while (sweep.started && sweep.row < cells_.Rows()) {
      // Those already reached are passed over.
      int64_t base = cells_.rowStart[sweep.row], end = cells_.rowStart[sweep.row + 1];
      int64_t i = FindSet(unreachedSpace, base + sweep.column, end);
      if (i < end) {
        sweep.column = i - base + 1;
        StepAlong(RowAt(sweep.row), i - base, i - base);
        return true;
      }
      sweep.row++;
      sweep.column = 0;
    }
    return false;
  }

  const MazeCells& cells_;
  const FloodCells& sorts_;
  Reach& seen_;
  bool throws_;
  std::vector<Span> queue_;  // spans to step on from, from head_ on
  size_t head_ = 0;
  Sweep outsideSweep_, spaceSweep_;
  int64_t counted_ = 0;
};

Reach NoneReached(const MazeCells& cells) {
  Reach reach;
  reach.cell = CellSet(static_cast<int64_t>(cells.cells.size()));
  return reach;
}

// A walker who starts inside a wall never leaves it: every step ends in it.
Reach ReachOf(const MazeCells& cells, const FloodCells& sorts) {
  Reach reach = NoneReached(cells);
  int64_t row = cells.startRow, column = cells.startColumn;
  if (OutcomeOfStepOnto(cells.Kind(row, column), cells.TeleportsThrow()) != kStepRefused)
    Flood(cells, sorts, true, reach).From(cells.Holds(row, column) ? row : -1, column);
  return reach;
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
  // A cell a byte at most: room for the file's length at once, where known.
  struct stat status;
  if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode))
    cells.cells.reserve(static_cast<size_t>(status.st_size));
  return ReadMazeRows(file, OnRow, &cells);
}

Reach FindReach(const MazeCells& cells) { return ReachOf(cells, FloodCells(cells)); }

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
  FloodCells sorts(cells);
  Reach seen = ReachOf(cells, sorts);
  // The open cells that hold a component and that no flood has reached yet.
  auto unreached = [&](int64_t k) {
    size_t w = static_cast<size_t>(k);
    return sorts.open.words[w] & sorts.component.words[w] & ~seen.cell.words[w];
  };
  bool tooDeep = false;
  int64_t r = 0, end = static_cast<int64_t>(cells.cells.size());
  for (int64_t i = FindSet(unreached, 0, end); i < end; i = FindSet(unreached, i + 1, end)) {
    while (cells.rowStart[r + 1] <= i) r++;
    int64_t c = i - cells.rowStart[r];
    if (r > kDeepestRowWalkedTo) {
      if (!tooDeep)
        problems.push_back({cells.PlaceOf(r, c),
                            "the walker cannot walk down to this line or past it: positions are "
                            "single-precision floats, and this far down a step rounds to nothing"});
      tooDeep = true;
      continue;
    }
    int64_t open = Flood(cells, sorts, false, seen).From(r, c);
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

// The map's file and how many bytes have gone to it.
struct SvgOut {
  FILE* file;
  int64_t written;
};

void Put(SvgOut& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = vfprintf(out.file, format, args);
  va_end(args);
  if (n > 0) out.written += n;
}

// One path of a kind over a band of rows, a rectangle a run of equal cells.
void WriteBand(SvgOut& out, const MazeCells& cells, int square, int64_t firstRow, int64_t from,
               int64_t to) {
  bool open = false;
  for (int64_t r = from; r < to; r++) {
    int64_t length = std::max(r < cells.Rows() ? cells.Length(r) : 0,
                              r == cells.startRow ? cells.startColumn + 1 : 0);
    for (int64_t c = 0; c < length; c++) {
      if (SquareOf(cells, r, c) != square) continue;
      int64_t run = 1;
      while (c + run < length && SquareOf(cells, r, c + run) == square) run++;
      if (!open) Put(out, "<path fill=\"%s\" d=\"", kColours[square]);
      open = true;
      Put(out, "M%lld %lldh%lldv1h-%lldz", static_cast<long long>(c),
          static_cast<long long>(r - firstRow), static_cast<long long>(run),
          static_cast<long long>(run));
      c += run - 1;
    }
  }
  if (open) Put(out, "\"/>\n");
}

}  // namespace

// Cells shrink with the maze, to 2 pixels, so that 509 by 10,000 cells
// still open as an image 1,018 pixels wide.
bool WriteMapSvg(FILE* file, const MazeCells& cells, int64_t firstRow, int64_t endRow,
                 int64_t largest) {
  SvgOut out = {file, 0};
  bool startShown = cells.startRow >= firstRow && cells.startRow < endRow;
  int64_t rows = endRow - firstRow, columns = startShown ? cells.startColumn + 1 : 0;
  for (int64_t r = firstRow; r < std::min(endRow, cells.Rows()); r++)
    for (int64_t c = cells.Length(r) - 1; c >= columns; c--)
      if (cells.Kind(r, c) >= 0) columns = c + 1;

  const int64_t kLegend = 28;
  int64_t size = std::clamp<int64_t>(1000 / std::max<int64_t>(std::max(rows, columns), 1), 2, 16);
  int64_t width = std::max<int64_t>(columns * size, 7 * 90), height = kLegend + rows * size;
  Put(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%lld\" height=\"%lld\">\n",
          static_cast<long long>(width), static_cast<long long>(height));
  Put(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"#000000\"/>\n");
  Put(out, "<g font-family=\"sans-serif\" font-size=\"12\" fill=\"#ffffff\">\n");
  for (int k = 0; k <= kStartSquare; k++) {
    Put(out, "<rect x=\"%d\" y=\"8\" width=\"12\" height=\"12\" fill=\"%s\"/>", k * 90 + 4,
            kColours[k]);
    Put(out, "<text x=\"%d\" y=\"18\">%s</text>\n", k * 90 + 20, kNames[k]);
  }
  Put(out, "</g>\n");
  Put(out, "<g transform=\"translate(0 %lld) scale(%lld)\">\n",
          static_cast<long long>(kLegend), static_cast<long long>(size));
  for (int64_t band = firstRow; band < firstRow + rows; band += kBandRows) {
    // A map past the largest is given up as soon as a band passes it.
    if (out.written > largest) return false;
    for (int square = 0; square <= kStartSquare; square++)
      WriteBand(out, cells, square, firstRow, band, std::min(band + kBandRows, firstRow + rows));
  }
  // The start, ringed, whatever its cell holds.
  if (startShown)
    Put(out,
            "<circle cx=\"%lld.5\" cy=\"%lld.5\" r=\"0.7\" fill=\"none\" stroke=\"#ffffff\" "
            "stroke-width=\"0.25\"/>\n",
            static_cast<long long>(cells.startColumn),
            static_cast<long long>(cells.startRow - firstRow));
  Put(out, "</g>\n</svg>\n");
  return out.written <= largest;
}
