// maze_map.cpp: a maze file cell by cell: reading it through the program's
// reader, the walker's reach, the author's mistakes and the SVG map.
#include "maze_map.h"

#include <sys/stat.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstring>
#include <type_traits>
#if defined(ZUMBREL_THREADS)
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

#include "large_pages.h"
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
#if defined(__SSE2__)
  // Sixteen at once where the processor can: a lane counts the walls that
  // stood in it, at most 32 in a row.
  const __m128i spaceBytes = _mm_set1_epi8(kSpaceCharacter), wallBytes = _mm_set1_epi8(kWallCharacter);
  __m128i wallsCounted = _mm_setzero_si128();
  for (; c + 16 <= length; c += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + c));
    __m128i walls = _mm_cmpeq_epi8(bytes, wallBytes);
    if (_mm_movemask_epi8(_mm_or_si128(walls, _mm_cmpeq_epi8(bytes, spaceBytes))) != 0xFFFF) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(kinds + c), _mm_and_si128(walls, _mm_set1_epi8(1)));
    wallsCounted = _mm_sub_epi8(wallsCounted, walls);
  }
  __m128i sums = _mm_sad_epu8(wallsCounted, _mm_setzero_si128());
  cells.spaces += c - (_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
#endif
  for (; c + 8 <= length; c += 8) {
    uint64_t word = LoadWord(text + c);
    uint64_t spaces = BytesEqual(word, kSpaceCharacter), walls = BytesEqual(word, kWallCharacter);
    if ((spaces | walls) != kHighBits) break;
    StoreWord(reinterpret_cast<char*>(kinds + c), walls >> 7);
    cells.spaces += 8 - (((walls >> 7) * kLowBits) >> 56);  // the walls' lowest bits summed
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

// A row holds at most a read's characters: its cells fit these words, and
// its columns sixteen bits.
constexpr int kRowWords = (kMazeRowLength + 63) / 64;

// What a walk asks of a cell: whether the walker stands on it and steps on
// from it, whether it throws, whether it holds a component, and whether it
// is a space cell, where throws land.
enum CellSort { kWalkedSort, kThrownSort, kComponentSort, kSpaceSort, kNumCellSorts };

// Each kind's sorts, a bit each, by kind + 1. With throws, a teleport is
// thrown from, not walked on.
struct SortTable {
  unsigned of[kNumComponentKinds + 1];
  explicit SortTable(bool throws) {
    for (int kind = -1; kind < kNumComponentKinds; kind++) {
      StepOutcome step = OutcomeOfStepOnto(kind, throws);
      of[kind + 1] = (step == kStepTaken) << kWalkedSort | (step == kStepThrown) << kThrownSort |
                     (kind >= 0) << kComponentSort | (kind == kSpace) << kSpaceSort;
    }
  }
};

// A row's cells of each sort, a bit a cell from column 0, none past its
// length; a row outside the rows has none.
struct SortedRow {
  int64_t length;
  uint64_t sort[kNumCellSorts][kRowWords];
  bool throws;  // whether a cell of it throws
};

// The 64 bits of a set from place at on.
uint64_t BitsFrom(const CellSet& set, int64_t at) {
  size_t k = static_cast<size_t>(at >> 6);
  int shift = static_cast<int>(at & 63);
  uint64_t bits = set.words[k] >> shift;
  if (shift != 0 && k + 1 < set.words.size()) bits |= set.words[k + 1] << (64 - shift);
  return bits;
}

// Adds a row's bits to the set, the row's first cell at place base.
void AddRowBits(CellSet& set, int64_t base, const uint64_t* words, int64_t length) {
  for (int64_t w = 0; w * 64 < length; w++) {
    int64_t at = base + w * 64;
    size_t k = static_cast<size_t>(at >> 6);
    int shift = static_cast<int>(at & 63);
    set.words[k] |= words[w] << shift;
    if (shift != 0 && (words[w] >> (64 - shift)) != 0) set.words[k + 1] |= words[w] >> (64 - shift);
  }
}

// Takes the set's cells [first, last] out of it.
void RemoveCells(CellSet& set, int64_t first, int64_t last) {
  for (int64_t k = first >> 6; k <= last >> 6; k++) {
    uint64_t bits = ~uint64_t{0};
    if (k == first >> 6) bits &= ~uint64_t{0} << (first & 63);
    if (k == last >> 6) bits &= ~uint64_t{0} >> (63 - (last & 63));
    set.words[static_cast<size_t>(k)] &= ~bits;
  }
}

// Sorts a row's cells; those in seen, where given, are walked on no more.
void SortRow(const MazeCells& cells, const SortTable& sorts, const CellSet* seen, int64_t row,
             SortedRow& out) {
  out.length = row >= 0 && row < cells.Rows() ? cells.Length(row) : 0;
  out.throws = false;
  const signed char* kinds = out.length > 0 ? cells.cells.data() + cells.rowStart[row] : nullptr;
  static_assert(kSpace == 0 && kWall == 1, "the kinds of spaces and walls");
  uint64_t ofSpace[kNumCellSorts], ofWall[kNumCellSorts];
  for (int k = 0; k < kNumCellSorts; k++) {
    ofSpace[k] = sorts.of[kSpace + 1] >> k & 1 ? ~uint64_t{0} : 0;
    ofWall[k] = sorts.of[kWall + 1] >> k & 1 ? ~uint64_t{0} : 0;
  }
  for (int w = 0; w < kRowWords; w++) {
    int64_t first = w * 64, end = std::clamp<int64_t>(out.length - first, 0, 64), b = 0;
    uint64_t bits[kNumCellSorts] = {};
    // Spaces and walls eight at a time, nearly every cell of a large maze:
    // a wall's kind is its lowest bit. Where any other kind stands among
    // them, and for the last few cells of a row, a cell at a time.
    uint64_t walls = 0, others = 0;
#if defined(__SSE2__)
    for (; b + 16 <= end; b += 16) {
      __m128i word = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kinds + first + b));
      __m128i lowest = _mm_cmpeq_epi8(_mm_and_si128(word, _mm_set1_epi8(~1)), _mm_setzero_si128());
      others |= static_cast<unsigned>(_mm_movemask_epi8(lowest)) ^ 0xFFFF;
      walls |= uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_slli_epi64(word, 7)))} << b;
    }
#endif
    for (; b + 8 <= end; b += 8) {
      uint64_t word = LoadWord(reinterpret_cast<const char*>(kinds + first + b));
      others |= word & ~kLowBits;
      walls |= ((word * 0x0102040810204080) >> 56) << b;
    }
    if (others == 0 && b > 0) {
      uint64_t kept = b == 64 ? ~uint64_t{0} : (uint64_t{1} << b) - 1;
      for (int k = 0; k < kNumCellSorts; k++)
        bits[k] = ((~walls & ofSpace[k]) | (walls & ofWall[k])) & kept;
    } else {
      b = 0;
    }
    for (; b < end; b++)
      for (int k = 0; k < kNumCellSorts; k++)
        bits[k] |= uint64_t{sorts.of[kinds[first + b] + 1] >> k & 1} << b;
    if (seen != nullptr && end > 0)
      bits[kWalkedSort] &= ~BitsFrom(*seen, cells.rowStart[row] + first);
    for (int k = 0; k < kNumCellSorts; k++) out.sort[k][w] = bits[k];
    out.throws |= bits[kThrownSort] != 0;
  }
}

// The first column in [from, end) whose bit is set in a row's words, or
// end when there is none.
int64_t NextBit(const uint64_t* words, int64_t from, int64_t end) {
  if (from >= end) return end;
  int64_t k = from >> 6;
  uint64_t bits = words[k] & ~uint64_t{0} << (from & 63);
  while (bits == 0) {
    if (++k << 6 >= end) return end;
    bits = words[k];
  }
  return std::min(end, (k << 6) + __builtin_ctzll(bits));
}

// Each word k of a row's words that columns [from, to] cover, held within
// the words, with only those columns' bits kept: take(k, bits).
template <typename Take>
void EachWordIn(const uint64_t* words, int64_t from, int64_t to, Take take) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, kRowWords * 64 - 1);
  for (int64_t k = from >> 6; k <= to >> 6; k++) {
    uint64_t bits = words[k];
    if (k == from >> 6) bits &= ~uint64_t{0} << (from & 63);
    if (k == to >> 6) bits &= ~uint64_t{0} >> (63 - (to & 63));
    take(k, bits);
  }
}

inline bool AnyIn(const uint64_t* words, int64_t from, int64_t to) {
  // Nearly every run lies in one word.
  if (from >= 0 && from >> 6 == to >> 6)
    return (words[from >> 6] & ~uint64_t{0} << (from & 63) & ~uint64_t{0} >> (63 - (to & 63))) != 0;
  uint64_t any = 0;
  EachWordIn(words, from, to, [&](int64_t, uint64_t bits) { any |= bits; });
  return any != 0;
}

int64_t CountIn(const uint64_t* words, int64_t from, int64_t to) {
  int64_t count = 0;
  EachWordIn(words, from, to, [&](int64_t, uint64_t bits) { count += CountBits(bits); });
  return count;
}

// A run of walked cells in a row, its first column to its last.
struct ColumnRun {
  int64_t first, last;
};
constexpr int kMostRuns = (kMazeRowLength + 1) / 2;

// A row with the rows beside it sorted, and its runs of walked cells and
// those of the row above.
struct RowWindow {
  int64_t row;
  const SortedRow *above, *at, *below;
  const ColumnRun *runs, *aboveRuns;
  int count, aboveCount;
  bool ThrowsNear() const { return above->throws || at->throws || below->throws; }
};

// The runs of walked cells in a sorted row. A run starts where a walked
// cell follows one that is not, and ends where one that is not follows it:
// the row's starts and ends, in turn.
int RunsOf(const SortedRow& sorted, ColumnRun* runs) {
  const uint64_t* walked = sorted.sort[kWalkedSort];
  int starts = 0, ends = 0;
  uint64_t before = 0;
  for (int w = 0; w < kRowWords; w++) {
    uint64_t after = w + 1 < kRowWords ? walked[w + 1] & 1 : 0;
    for (uint64_t first = walked[w] & ~(walked[w] << 1 | before); first != 0; first &= first - 1)
      runs[starts++].first = w * 64 + __builtin_ctzll(first);
    for (uint64_t last = walked[w] & ~(walked[w] >> 1 | after << 63); last != 0; last &= last - 1)
      runs[ends++].last = w * 64 + __builtin_ctzll(last);
    before = walked[w] >> 63;
  }
  return starts;
}

// The run of walked cells numbered n in a row's walked cells, from 0: its
// start found by counting starts a word at a time.
ColumnRun NthRun(const uint64_t* walked, int n) {
  uint64_t before = 0;
  int64_t first = 0;
  for (int w = 0; w < kRowWords; w++) {
    uint64_t starts = walked[w] & ~(walked[w] << 1 | before);
    int count = CountBits(starts);
    if (n < count) {
      for (; n > 0; n--) starts &= starts - 1;
      first = w * 64 + __builtin_ctzll(starts);
      break;
    }
    n -= count;
    before = walked[w] >> 63;
  }
  int64_t k = first >> 6;
  uint64_t past = ~walked[k] & ~uint64_t{0} << (first & 63);
  while (past == 0) past = ~walked[++k];
  return {first, k * 64 + __builtin_ctzll(past) - 1};
}

// One row in a window of its own, whose runs above are not asked for.
RowWindow WindowOf(const MazeCells& cells, const SortTable& sorts, int64_t row,
                   SortedRow (&sorted)[3], ColumnRun* runs) {
  for (int d = 0; d < 3; d++) SortRow(cells, sorts, nullptr, row - 1 + d, sorted[d]);
  return {row, &sorted[0], &sorted[1], &sorted[2], runs, nullptr, RunsOf(sorted[1], runs), 0};
}

// Each row of [0, end) in turn, in a window: on(window).
template <typename OnRow>
void EachRow(const MazeCells& cells, const SortTable& sorts, const CellSet* seen, int64_t end,
             OnRow on) {
  SortedRow sorted[3];
  ColumnRun runs[2][kMostRuns];
  SortRow(cells, sorts, seen, -1, sorted[0]);
  SortRow(cells, sorts, seen, 0, sorted[1]);
  RowWindow window = {0, &sorted[0], &sorted[1], &sorted[2], runs[1], nullptr, 0, 0};
  for (int64_t row = 0; row < end; row++) {
    SortedRow& below = sorted[(row + 2) % 3];
    ColumnRun* found = runs[row % 2];
    SortRow(cells, sorts, seen, row + 1, below);
    window.aboveRuns = window.runs;
    window.aboveCount = window.count;
    window.row = row;
    window.above = &sorted[row % 3];
    window.at = &sorted[(row + 1) % 3];
    window.below = &below;
    window.runs = found;
    window.count = RunsOf(*window.at, found);
    on(static_cast<const RowWindow&>(window));
  }
}

// Whether a walker on the run steps off the rows, onto the ground outside:
// past either end of its own row, or of a row it may step to.
inline bool StepsOutside(const RowWindow& w, const ColumnRun& run) {
  if (w.row > kDeepestRowWalkedTo) return false;
  return run.first == 0 || run.last + 1 >= std::min(w.at->length, w.above->length) ||
         (w.row + 1 <= kDeepestRowWalkedTo && run.last + 1 >= w.below->length);
}

// The first column past column 0 that the ground outside leads onto, in
// the rows walked across: each it touches.
int64_t BesideOutsideFrom(const MazeCells& cells, int64_t row) {
  return row <= kDeepestRowWalkedTo ? FirstColumnBesideOutside(cells, row) : INT64_MAX;
}

// Each cell that throws among those a walker on the run steps onto:
// each(row, column).
template <typename Each>
void ThrownBeside(const RowWindow& w, const ColumnRun& run, Each each) {
  const SortedRow* rows[3] = {w.above, w.at, w.below};
  for (int d = -1; d <= 1; d++) {
    // Below the deepest row walked to, the walker moves along its row alone.
    if (!rows[d + 1]->throws || (d != 0 && std::max(w.row, w.row + d) > kDeepestRowWalkedTo))
      continue;
    EachWordIn(rows[d + 1]->sort[kThrownSort], run.first - 1, run.last + 1,
               [&](int64_t k, uint64_t bits) {
                 for (; bits != 0; bits &= bits - 1)
                   each(w.row + d, (k << 6) + __builtin_ctzll(bits));
               });
  }
}

// A row's runs as the first pass takes them, to be numbered and joined in
// turn: what each holds, and how the ground outside meets it.
enum GroundMeeting : unsigned char {
  kGroundApart,      // not at all
  kGroundJoined,     // the walker steps off the rows from it
  kGroundLeadsOnto,  // the ground leads onto it, but it not back
};
struct TakenRow {
  int64_t row;
  int count;
  struct {
    uint16_t first, last;
  } runs[kMostRuns];  // columns, narrow, for the thread that joins them
  unsigned char holds[kMostRuns];
  GroundMeeting ground[kMostRuns];
  // The runs of the row above that a step from each joins: from the
  // first, many.
  unsigned char firstAbove[kMostRuns], joinsAbove[kMostRuns];
  unsigned char groundHolds;  // what the ground takes on from the row
  bool throwsNear;            // whether a cell that throws is in it or beside it
  int64_t thrown;             // its cells that throw
  uint64_t walked[kRowWords];  // its walked cells, where the caller asks for them
};

// The window's runs, those of the row above that each joins, and how the
// ground outside meets them where it is given; the rest is the caller's.
ZUMBREL_COUNTS_BITS void TakeRuns(const MazeCells& cells, const RowWindow& w, bool outside, TakenRow& out) {
  out.row = w.row;
  out.count = w.count;
  out.groundHolds = 0;
  out.throwsNear = w.ThrowsNear();
  out.thrown = 0;
  if (w.row > 0 && w.row <= kDeepestRowWalkedTo) {
    // A run joins the runs of the row above that end no sooner than the
    // column before its first and start no later than the one past its last.
    BitsBefore<kRowWords> starts, ends;
    EdgesOf(w.above->sort[kWalkedSort], starts, ends);
    for (int j = 0; j < w.count; j++) {
      int first = ends.Before(std::max<int64_t>(w.runs[j].first - 1, 0));
      int past = starts.Before(w.runs[j].last + 2);
      out.firstAbove[j] = static_cast<unsigned char>(first);
      out.joinsAbove[j] = static_cast<unsigned char>(past - first);
    }
  } else {
    for (int j = 0; j < w.count; j++) out.joinsAbove[j] = 0;
  }
  int64_t beside = BesideOutsideFrom(cells, w.row);
  for (int i = 0; i < w.count; i++) {
    const ColumnRun& run = w.runs[i];
    out.runs[i] = {static_cast<uint16_t>(run.first), static_cast<uint16_t>(run.last)};
    out.holds[i] = 0;
    out.ground[i] = !outside               ? kGroundApart
                    : StepsOutside(w, run) ? kGroundJoined
                    : w.row <= kDeepestRowWalkedTo && (run.first == 0 || run.last >= beside)
                        ? kGroundLeadsOnto
                        : kGroundApart;
  }
}

// Rows taken in one thread and joined in turn in another, both cores at
// work on a large maze; on a small one, or without threads, each row taken
// and then joined. take(window, taken) fills in a row's record, and
// join(taken) is given each in turn.
template <typename Take, typename Join>
void TakeAndJoin(const MazeCells& cells, const SortTable& sorts, const CellSet* seen, int64_t end,
                 Take take, Join join) {
#if defined(ZUMBREL_THREADS)
  constexpr size_t kCellsForTwoThreads = size_t{1} << 20;
  if (cells.cells.size() >= kCellsForTwoThreads) {
    // Rows enough between the two that neither waits often. The one that
    // waits sleeps until the other is a batch of rows further on, or done:
    // on a busy machine it leaves its core to the one it waits for.
    constexpr int64_t kRing = 1024, kBatch = 64;
    std::vector<TakenRow> ring(kRing);
    std::atomic<int64_t> taken{0}, joined{0};
    std::atomic<bool> takerWaits{false}, joinerWaits{false};
    std::mutex lock;
    std::condition_variable moved;
    auto waitUntil = [&](std::atomic<bool>& waits, auto ready) {
      if (ready()) return;
      std::unique_lock<std::mutex> held(lock);
      waits = true;
      moved.wait(held, ready);
      waits = false;
    };
    auto tell = [&](std::atomic<bool>& waits, int64_t done) {
      if ((done % kBatch == 0 || done == end) && waits) {
        std::lock_guard<std::mutex> held(lock);
        moved.notify_all();
      }
    };
    std::thread taker([&] {
      EachRow(cells, sorts, seen, end, [&](const RowWindow& w) {
        // A record is free once the row it held is joined; the taker stays
        // a batch short of the ring, so that it is told as rows are.
        waitUntil(takerWaits, [&] { return w.row - joined < kRing - kBatch; });
        take(w, ring[w.row % kRing]);
        taken = w.row + 1;
        tell(joinerWaits, w.row + 1);
      });
    });
    for (int64_t row = 0; row < end; row++) {
      waitUntil(joinerWaits, [&] { return taken >= std::min(row + kBatch, end); });
      join(static_cast<const TakenRow&>(ring[row % kRing]));
      joined = row + 1;
      tell(takerWaits, row + 1);
    }
    taker.join();
    return;
  }
#endif
  TakenRow taken;
  EachRow(cells, sorts, seen, end, [&](const RowWindow& w) {
    take(w, taken);
    join(static_cast<const TakenRow&>(taken));
  });
}

// The runs of walked cells, numbered in reading order from 1 after the
// ground outside, 0, and joined into sets as steps join them. An entry is
// the run it joined, always an earlier one, or, for the first run of its
// set, kHead and what the set holds.
template <typename Id>
class RunSets {
 public:
  static constexpr Id kHead = Id{1} << (8 * sizeof(Id) - 1);
  static constexpr Id kOutside = 0;

  explicit RunSets(size_t most) {
    ReserveInLargePages(entries_, most);
    entries_.push_back(kHead);
  }
  Id Size() const { return static_cast<Id>(entries_.size()); }
  bool IsHead(Id x) const { return entries_[x] & kHead; }
  // What the set of a head holds, kHead included.
  Id& Holds(Id head) { return entries_[head]; }
  Id Find(Id x) {
    while (!(entries_[x] & kHead)) {
      Id up = entries_[x];
      if (!(entries_[up] & kHead)) entries_[x] = entries_[up];
      x = up;
    }
    return x;
  }
  void Join(Id a, Id b) {
    a = Find(a);
    b = Find(b);
    if (a == b) return;
    if (b < a) std::swap(a, b);
    entries_[a] |= entries_[b];
    entries_[b] = a;
  }
  // Every entry of [from, to) made what its set holds, for the passes that
  // join no more; those before from must be made so first.
  void Spread(Id from, Id to) {
    for (Id x = from; x < to; x++)
      if (!(entries_[x] & kHead)) entries_[x] = entries_[entries_[x]];
  }

  // Numbers the row's runs, each holding what it holds, and joins those a
  // step joins: with the runs of the row above it was taken with, and with
  // the ground outside where the walker steps off the rows. The runs that
  // the ground leads onto but not back go to fromOutside. Returns the first
  // run's number.
  Id AddRow(const TakenRow& row, std::vector<Id>& fromOutside) {
    Id first = Size();
    for (int i = 0; i < row.count; i++) {
      entries_.push_back(kHead | row.holds[i]);
      if (row.ground[i] == kGroundJoined) Join(kOutside, first + static_cast<Id>(i));
      if (row.ground[i] == kGroundLeadsOnto) fromOutside.push_back(first + static_cast<Id>(i));
    }
    for (int j = 0; j < row.count; j++)
      for (int i = row.firstAbove[j]; i < row.firstAbove[j] + row.joinsAbove[j]; i++)
        Join(aboveFirst_ + static_cast<Id>(i), first + static_cast<Id>(j));
    aboveFirst_ = first;
    return first;
  }

 private:
  std::vector<Id> entries_;
  Id aboveFirst_ = 0;
};

// At most a run every other cell of a row, and the ground outside.
size_t MostRuns(const MazeCells& cells) {
  return cells.cells.size() / 2 + static_cast<size_t>(cells.Rows()) + 1;
}

// Whether a set's numbers and what it holds fit 32 bits; where they do
// not, they take 64. Where addresses are 32 bits, as in the page, memory
// ends long before 32 bits do: the wide sets are the narrow ones.
bool FitsWord(const MazeCells& cells) { return MostRuns(cells) < (size_t{1} << 28); }
using WideId = std::conditional_t<sizeof(void*) < 8, uint32_t, uint64_t>;

Reach NoneReached(const MazeCells& cells) {
  Reach reach;
  reach.cell = CellSet(static_cast<int64_t>(cells.cells.size()));
  return reach;
}

// The cells connected to the start through the tick's steps, the ground
// outside the rows among them, and whether an open cell that holds a
// component was missed. A step reaches the eight cells around, and from the
// ground, every cell beside it. A cell that throws leads to every space
// cell and to none of its neighbours. The runs are joined into sets first;
// a set reached leads on to others only through the ground or a throw. A
// walker who starts inside a wall never leaves it.
template <typename Id>
Reach ReachOf(const MazeCells& cells, bool& missed) {
  using Sets = RunSets<Id>;
  Reach reach = NoneReached(cells);
  int64_t startRow = cells.startRow, startColumn = cells.startColumn;
  StepOutcome onStart =
      OutcomeOfStepOnto(cells.Kind(startRow, startColumn), cells.TeleportsThrow());
  missed = true;
  if (onStart == kStepRefused) return reach;
  const Id kSpaces = 1, kThrows = 2, kComponents = 4, kReached = 8;
  int64_t throwers = 0, throwersReached = 0;
  SortTable sorts(cells.TeleportsThrow());
  Sets sets(MostRuns(cells));
  std::vector<Id> fromOutside, rowFirst;
  std::vector<bool> throwsNear;
  rowFirst.reserve(static_cast<size_t>(cells.Rows()) + 1);
  throwsNear.reserve(static_cast<size_t>(cells.Rows()));
  Id startRun = Sets::kOutside;
  // Every walked cell marked as reached for now: nearly every one is. The
  // joiner marks them, leaving the taker, the busier of the two, less to do.
  TakeAndJoin(
      cells, sorts, nullptr, cells.Rows(),
      [&](const RowWindow& w, TakenRow& taken) {
        const SortedRow& at = *w.at;
        TakeRuns(cells, w, true, taken);
        for (int k = 0; k < kRowWords && at.throws; k++)
          taken.thrown += CountBits(at.sort[kThrownSort][k]);
        std::copy_n(at.sort[kWalkedSort], kRowWords, taken.walked);
        // The ground outside steps onto the cells beside it that throw.
        if (at.throws && w.row <= kDeepestRowWalkedTo &&
            ((at.sort[kThrownSort][0] & 1) ||
             AnyIn(at.sort[kThrownSort], BesideOutsideFrom(cells, w.row), at.length - 1)))
          taken.groundHolds = kThrows;
        for (int i = 0; i < w.count; i++) {
          bool throws = false;
          if (taken.throwsNear)
            ThrownBeside(w, w.runs[i], [&](int64_t, int64_t) { throws = true; });
          taken.holds[i] =
              (AnyIn(at.sort[kSpaceSort], w.runs[i].first, w.runs[i].last) ? kSpaces : 0) |
              (AnyIn(at.sort[kComponentSort], w.runs[i].first, w.runs[i].last) ? kComponents : 0) |
              (throws ? kThrows : 0);
        }
      },
      [&](const TakenRow& row) {
        throwers += row.thrown;
        AddRowBits(reach.cell, cells.rowStart[row.row], row.walked, cells.Length(row.row));
        sets.Holds(Sets::kOutside) |= row.groundHolds;
        Id first = sets.AddRow(row, fromOutside);
        for (int i = 0; i < row.count && row.row == startRow; i++)
          if (row.runs[i].first <= startColumn && startColumn <= row.runs[i].last)
            startRun = first + static_cast<Id>(i);
        rowFirst.push_back(first);
        throwsNear.push_back(row.throwsNear);
      });
  rowFirst.push_back(sets.Size());

  // The sets reached, until neither the ground nor a throw leads on.
  auto reachSet = [&](Id run) {
    Id& holds = sets.Holds(sets.Find(run));
    bool fresh = !(holds & kReached);
    holds |= kReached;
    return fresh;
  };
  bool thrown = onStart == kStepThrown, spacesReached = false, groundTaken = false;
  if (!thrown) reachSet(startRun);
  for (bool grew = true; grew;) {
    grew = false;
    if (!groundTaken && (sets.Holds(Sets::kOutside) & kReached)) {
      groundTaken = true;
      for (Id run : fromOutside) grew |= reachSet(run);
    }
    for (Id x = 0; x < sets.Size() && !thrown; x++)
      thrown = sets.IsHead(x) && (sets.Holds(x) & kThrows) && (sets.Holds(x) & kReached);
    if (thrown && !spacesReached) {
      spacesReached = true;
      for (Id x = 0; x < sets.Size(); x++)
        if (sets.IsHead(x) && (sets.Holds(x) & kSpaces)) grew |= reachSet(x);
    }
  }
  // A set that holds a component and was not reached missed it.
  auto missedIn = [&](Id holds) { return (holds & (kComponents | kReached)) == kComponents; };
  bool setMissed = missedIn(sets.Holds(Sets::kOutside));

  // A row at a time: its runs made what their sets hold, those not reached
  // taken out again, and the cells that throw added which the runs reached,
  // or the ground, step onto: the rows near those cells sorted again.
  reach.outside = sets.Holds(Sets::kOutside) & kReached;
  auto mark = [&](int64_t r, int64_t c) {
    int64_t at = cells.rowStart[r] + c;
    throwersReached += !reach.cell.Has(at);
    reach.cell.Add(at);
  };
  if (onStart == kStepThrown) mark(startRow, startColumn);
  SortedRow sorted[3];
  ColumnRun runs[kMostRuns];
  for (int64_t row = 0; row < cells.Rows(); row++) {
    int64_t base = cells.rowStart[row];
    sets.Spread(rowFirst[row], rowFirst[row + 1]);
    for (Id run = rowFirst[row]; run < rowFirst[row + 1]; run++) setMissed |= missedIn(sets.Holds(run));
    if (!throwsNear[row]) {
      // The runs not reached, found among the row's cells marked so far:
      // nearly every row has none, or one or two.
      uint64_t walked[kRowWords];
      bool read = false;
      for (Id run = rowFirst[row]; run < rowFirst[row + 1]; run++) {
        if (sets.Holds(run) & kReached) continue;
        for (int k = 0; k < kRowWords && !read; k++) {
          int64_t past = cells.Length(row) - k * 64;
          walked[k] = past <= 0 ? 0
                                : BitsFrom(reach.cell, base + k * 64) &
                                      (past >= 64 ? ~uint64_t{0} : (uint64_t{1} << past) - 1);
        }
        read = true;
        ColumnRun taken = NthRun(walked, static_cast<int>(run - rowFirst[row]));
        RemoveCells(reach.cell, base + taken.first, base + taken.last);
      }
      continue;
    }
    RowWindow w = WindowOf(cells, sorts, row, sorted, runs);
    const uint64_t* thrower = w.at->sort[kThrownSort];
    if (reach.outside && row <= kDeepestRowWalkedTo) {
      for (int64_t c = NextBit(thrower, 0, w.at->length); c < w.at->length;
           c = NextBit(thrower, c + 1, w.at->length))
        if (c == 0 || c >= BesideOutsideFrom(cells, row)) mark(row, c);
    }
    for (int i = 0; i < w.count; i++) {
      if (!(sets.Holds(rowFirst[row] + static_cast<Id>(i)) & kReached))
        RemoveCells(reach.cell, base + w.runs[i].first, base + w.runs[i].last);
      else
        ThrownBeside(w, w.runs[i], mark);
    }
  }
  missed = setMissed || throwersReached < throwers;
  return reach;
}

Reach ReachOf(const MazeCells& cells, bool& missed) {
  return FitsWord(cells) ? ReachOf<uint32_t>(cells, missed) : ReachOf<WideId>(cells, missed);
}

// One problem for each region of open cells the walker cannot reach, its
// cells joined as steps join them, at its first cell in reading order that
// holds a component. Teleports are walked through: a walker thrown there
// reaches them no more than one who walks. The ground outside, where the
// walker never reached it, joins the regions beside it; a region that the
// ground leads onto but not back joins the ground's region where that comes
// first, as a flood from there takes it in. Then one for all those below
// the deepest row walked to.
template <typename Id>
void ListUnreached(const MazeCells& cells, const Reach& seen, ProblemList& found) {
  using Sets = RunSets<Id>;
  const Id kFromOutside = 1, kListed = 2, kRegionShift = 2;
  SortTable sorts(false);
  Sets sets(MostRuns(cells));
  std::vector<Id> fromOutside;
  int64_t walkedRows = std::min(cells.Rows(), kDeepestRowWalkedTo + 1);
  TakeAndJoin(
      cells, sorts, &seen.cell, walkedRows,
      [&](const RowWindow& w, TakenRow& taken) { TakeRuns(cells, w, !seen.outside, taken); },
      [&](const TakenRow& row) { sets.AddRow(row, fromOutside); });
  for (Id run : fromOutside) sets.Holds(sets.Find(run)) |= kFromOutside;

  // Each region numbered as its first cell is met; the first few listed.
  struct Region {
    size_t problem;
    int64_t open;
  };
  std::vector<Region> listed;
  Id regions = 0, run = 1;
  EachRow(cells, sorts, &seen.cell, walkedRows, [&](const RowWindow& w) {
    const uint64_t* component = w.at->sort[kComponentSort];
    for (int i = 0; i < w.count; i++, run++) {
      int64_t first = NextBit(component, w.runs[i].first, w.runs[i].last + 1);
      if (first > w.runs[i].last) continue;
      Id& holds = sets.Holds(sets.Find(run));
      if (!(holds & kListed)) {
        Id ground = sets.Holds(Sets::kOutside);
        if ((holds & kFromOutside) && (ground & kListed)) {
          holds = ground | kFromOutside;
        } else {
          holds = Sets::kHead | kListed | (holds & kFromOutside) | regions++ << kRegionShift;
          if (found.Count(kUnreachedProblem)) {
            listed.push_back({found.listed.size(), 0});
            found.listed.push_back({cells.PlaceOf(w.row, first), ""});
          }
        }
      }
      Id region = (holds & ~Sets::kHead) >> kRegionShift;
      if (region < listed.size())
        listed[region].open += CountIn(component, w.runs[i].first, w.runs[i].last);
    }
  });
  for (const Region& region : listed)
    found.listed[region.problem].text =
        "the walker cannot reach this region of " + std::to_string(region.open) +
        (region.open == 1 ? " open cell" : " open cells") + " from the start";

  SortedRow deep;
  for (int64_t row = walkedRows; row < cells.Rows(); row++) {
    SortRow(cells, sorts, &seen.cell, row, deep);
    for (int k = 0; k < kRowWords; k++) {
      uint64_t open = deep.sort[kWalkedSort][k] & deep.sort[kComponentSort][k];
      if (open == 0) continue;
      found.listed.push_back(
          {cells.PlaceOf(row, k * 64 + __builtin_ctzll(open)),
           "the walker cannot walk down to this line or past it: positions are "
           "single-precision floats, and this far down a step rounds to nothing"});
      return;
    }
  }
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
    ReserveInLargePages(cells.cells, static_cast<size_t>(status.st_size));
  return ReadMazeRows(file, OnRow, &cells);
}

Reach FindReach(const MazeCells& cells) {
  bool missed;
  return ReachOf(cells, missed);
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

  // Nearly every maze: the walker reaches every open cell that holds a
  // component.
  bool missed;
  Reach seen = ReachOf(cells, missed);
  if (missed && FitsWord(cells))
    ListUnreached<uint32_t>(cells, seen, found);
  else if (missed)
    ListUnreached<WideId>(cells, seen, found);

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
