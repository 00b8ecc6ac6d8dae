// mazegen.cpp: a maze carved from a grid of rooms, with loops, a start and
// the requested doors, orbs, pedestals and teleports.
#include "mazegen.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#if defined(ZUMBREL_THREADS)
#include <thread>
#endif

#include "large_pages.h"
#include "sim/steps.h"
#include "world/row_bytes.h"

// The steps of a maze's making are kept out of line, so that a profile
// names each.
namespace {

// The random draws behind every choice: the standard library's 64-bit
// Mersenne Twister, draw for draw, its 312 words made a block at a time in
// loops without a branch, which the compiler does several words at once.
class Draws {
 public:
  explicit Draws(uint64_t seed) {
    state_[0] = seed;
    for (int k = 1; k < kWords; k++)
      state_[k] = 6364136223846793005u * (state_[k - 1] ^ (state_[k - 1] >> 62)) + static_cast<uint64_t>(k);
  }
  uint64_t operator()() {
    if (next_ == kWords) Refill();
    return drawn_[next_++];
  }
  // Passes over n draws, as that many calls would, leaving the blocks it
  // passes whole untempered.
  void Skip(uint64_t n) {
    for (; n > 0 && next_ < kWords; n--) next_++;
    for (; n >= kWords; n -= kWords) Twist();
    if (n == 0) return;
    Refill();
    next_ = static_cast<int>(n);
  }

 private:
  static constexpr int kWords = 312, kShift = 156;
  static uint64_t Twist(uint64_t upper, uint64_t lower, uint64_t shifted) {
    uint64_t y = (upper & ~uint64_t{0} << 31) | (lower & ~(~uint64_t{0} << 31));
    return shifted ^ (y >> 1) ^ (-(y & 1) & 0xB5026F5AA96619E9u);
  }
  void Twist() {
    int k = 0;
    for (; k < kWords - kShift; k++) state_[k] = Twist(state_[k], state_[k + 1], state_[k + kShift]);
    for (; k < kWords - 1; k++) state_[k] = Twist(state_[k], state_[k + 1], state_[k + kShift - kWords]);
    state_[k] = Twist(state_[k], state_[0], state_[kShift - 1]);
  }
  [[gnu::noinline]] void Refill() {
    Twist();
    for (int k = 0; k < kWords; k++) {
      uint64_t z = state_[k];
      z ^= (z >> 29) & 0x5555555555555555u;
      z ^= (z << 17) & 0x71D67FFFEDA60000u;
      z ^= (z << 37) & 0xFFF7EEE000000000u;
      drawn_[k] = z ^ (z >> 43);
    }
    next_ = 0;
  }
  uint64_t state_[kWords], drawn_[kWords];
  int next_ = kWords;
};

// A row's cells of one character, a bit a column from column 0.
constexpr int kRowWords = (kWidestMaze + 63) / 64;
constexpr int kMostRuns = (kWidestMaze + 1) / 2;
void MarkRow(const char* row, int width, char c, uint64_t (&out)[kRowWords]) {
  std::fill(std::begin(out), std::end(out), 0);
  int col = 0;
  for (; col + 8 <= width; col += 8) out[col >> 6] |= uint64_t{MarkBits(BytesEqual(LoadWord(row + col), c))} << (col & 63);
  for (; col < width; col++) out[col >> 6] |= uint64_t{row[col] == c} << (col & 63);
}

// Rooms sit at odd rows and columns; the walls between them are carved away
// by a depth-first walk, so every room is reachable from every other. The
// walk keeps, for each room, whether it has been there and the step that
// led into it, by which it goes back: a bit and two bits a room, so that
// the rooms fit the cache where the grid does not. A ring of rooms around
// counts as visited, so that the walk never leaves the grid. Up, down,
// left and right, in the order the walk draws them.
struct RoomWalk {
  int64_t across, down, stride;  // rooms, and a row of them with the ring
  std::vector<uint64_t> visited;
  std::vector<uint64_t> came;

  RoomWalk(int width, int height)
      : across((width - 1) / 2), down((height - 1) / 2), stride(across + 2),
        visited(static_cast<size_t>((stride * (down + 2) + 63) / 64), 0),
        came(static_cast<size_t>((stride * (down + 2) + 31) / 32), 0) {
    for (int64_t c = 0; c < stride; c++) Visit(c), Visit((down + 1) * stride + c);
    for (int64_t r = 1; r <= down; r++) Visit(r * stride), Visit(r * stride + stride - 1);
  }
  void Visit(int64_t i) { visited[static_cast<size_t>(i >> 6)] |= uint64_t{1} << (i & 63); }
  int Came(int64_t i) const { return came[static_cast<size_t>(i >> 5)] >> (2 * (i & 31)) & 3; }
};

// The way on from a room, by the rooms around it that the walk has not
// visited, a bit a way in the order above, and by the draw's remainders
// (draw % 3) | (draw % 4) << 2: the draw's remainder by their count, as
// their nth. Looked up rather than branched on, since the draw is random.
struct WaysOn {
  uint8_t way[16 * 16];  // by open << 4 | remainders
  constexpr WaysOn() : way() {
    for (int open = 1; open < 16; open++) {
      int ways[4] = {}, count = 0;
      for (int d = 0; d < 4; d++)
        if (open >> d & 1) ways[count++] = d;
      for (int by3 = 0; by3 < 3; by3++)
        for (int by4 = 0; by4 < 4; by4++)
          way[open << 4 | by3 | by4 << 2] = static_cast<uint8_t>(ways[count == 3 ? by3 : by4 % count]);
    }
  }
};
constexpr WaysOn kWaysOn;

// The walk itself, a step at a time, each hanging on the one before: so
// that each waits as little as it can, the step is looked up beside the
// way, and the ways back are kept in the order taken, two bits a step, to
// be read back without waiting on the room they lead from.
[[gnu::noinline]] void WalkRooms(RoomWalk& walk, Draws& random) {
  const int64_t stride = walk.stride, along[4] = {-stride, stride, -1, 1};
  const int64_t first = stride + 1;
  int64_t step[16 * 16];
  for (int k = 0; k < 16 * 16; k++) step[k] = along[kWaysOn.way[k]];
  uint64_t* visited = walk.visited.data();
  uint64_t* came = walk.came.data();
  // As deep as there are rooms, and touched only as deep as the walk goes.
  std::unique_ptr<uint64_t[]> path(new uint64_t[walk.came.size()]);
  uint64_t* ways = path.get();
  int64_t depth = 0;
  auto unvisited = [visited](int64_t j) { return ~visited[j >> 6] >> (j & 63) & 1; };
  int64_t i = first;
  walk.Visit(i);
  for (;;) {
    unsigned open = static_cast<unsigned>(unvisited(i - stride) | unvisited(i + stride) << 1 |
                                          unvisited(i - 1) << 2 | unvisited(i + 1) << 3);
    if (open == 0) {
      // Back the way the walk came, done with this room.
      if (depth == 0) break;
      depth--;
      i -= along[ways[depth >> 5] >> (2 * (depth & 31)) & 3];
      continue;
    }
    uint64_t draw = random();
    unsigned k = open << 4 | static_cast<unsigned>(draw % 3 | (draw & 3) << 2);
    uint64_t d = kWaysOn.way[k];
    i += step[k];
    visited[i >> 6] |= uint64_t{1} << (i & 63);
    came[i >> 5] |= d << (2 * (i & 31));
    uint64_t& taken = ways[depth >> 5];
    const unsigned at = 2 * (depth & 31);
    taken = (at == 0 ? 0 : taken & ~(uint64_t{3} << at)) | d << at;
    depth++;
  }
}

// The grid before the walk: walls, with every room open.
[[gnu::noinline]] void LayRooms(std::string& grid, int width, int height) {
  const int lastColumn = 2 * ((width - 1) / 2) - 1, lastRow = 2 * ((height - 1) / 2) - 1;
  std::string walls(static_cast<size_t>(width), '#'), rooms = walls;
  for (int c = 1; c <= lastColumn; c += 2) rooms[static_cast<size_t>(c)] = '.';
  walls += '\n';
  rooms += '\n';
  ReserveInLargePages(grid, walls.size() * static_cast<size_t>(height));
  for (int row = 0; row < height; row++) grid += row % 2 == 1 && row <= lastRow ? rooms : walls;
}

// Each room's passage to the room the walk came from.
[[gnu::noinline]] void CarveRooms(std::string& grid, int width, const RoomWalk& walk) {
  const int64_t stride = width + 1;
  const int64_t back[4] = {stride, -stride, 1, -1};
  for (int64_t r = 0; r < walk.down; r++) {
    for (int64_t c = r == 0; c < walk.across; c++) {
      int64_t cell = (1 + 2 * r) * stride + 1 + 2 * c, room = (r + 1) * walk.stride + c + 1;
      grid[static_cast<size_t>(cell + back[walk.Came(room)])] = '.';
    }
  }
}

// The walls between rooms, the cells a walk's passage or a loop may open:
// every other cell of a row short of the last, from column 2 in a row of
// rooms and from column 1 in a row between them.
int64_t WallsBetweenRooms(int width, int height) {
  return int64_t{(height - 1) / 2} * ((width - 2) / 2) + int64_t{(height - 2) / 2} * ((width - 1) / 2);
}

// Which walls the loops knock through, one in twenty: a bit for each wall
// the walk leaves, in reading order, a draw each.
std::vector<uint64_t> DrawLoops(int64_t walls, Draws& random) {
  std::vector<uint64_t> knocked(static_cast<size_t>(walls / 64 + 1), 0);
  for (int64_t j = 0; j < walls; j++) knocked[static_cast<size_t>(j >> 6)] |= uint64_t{random() % 20 == 0} << (j & 63);
  return knocked;
}

// Loops: knocks through the walls drawn, where a room lies on either side
// rather than the border.
[[gnu::noinline]] void KnockThroughLoops(std::string& grid, int width, int height,
                                         const std::vector<uint64_t>& knocked) {
  const int64_t stride = width + 1;
  const int lastColumn = 2 * ((width - 1) / 2) - 1, lastRow = 2 * ((height - 1) / 2) - 1;
  int64_t j = 0;
  for (int row = 1; row < height - 1; row++) {
    uint64_t walls[kRowWords];
    MarkRow(grid.data() + row * stride, width - 1, '#', walls);
    const uint64_t kEvenColumns = 0x5555555555555555;
    for (int k = 0; k < kRowWords; k++) {
      uint64_t between = row % 2 == 1 ? kEvenColumns & ~uint64_t{k == 0} : ~kEvenColumns;
      for (uint64_t bits = walls[k] & between; bits != 0; bits &= bits - 1, j++) {
        if ((knocked[static_cast<size_t>(j >> 6)] >> (j & 63) & 1) == 0) continue;
        int col = k * 64 + __builtin_ctzll(bits);
        bool across = row % 2 == 1 ? col + 1 <= lastColumn : row + 1 <= lastRow;
        if (across) grid[static_cast<size_t>(row * stride + col)] = '.';
      }
    }
  }
}

// The cells things are placed on, as a list of grid indices: the open
// cells of one sort in reading order, then as Take leaves it. Take takes an
// entry, writes the last entry over it and shortens the list. Only what it
// writes is held: memory follows the things placed, not the cells.
class CellList {
 public:
  // count cells, and the nth of them. For fetching ahead, where finding
  // the nth reads from the grid: near, a cell of the same stretch of the
  // grid, found with fewer reads; and lead, which fetches what those are.
  CellList(size_t count, std::function<size_t(size_t)> nth, std::function<size_t(size_t)> near = nullptr,
           std::function<void(size_t)> lead = nullptr)
      : nth_(std::move(nth)), near_(std::move(near)), lead_(std::move(lead)), written_(count),
        size_(count) {}

  size_t Size() const { return size_; }

  // Room for every take to come, made once, before the first.
  void Reserve(size_t takes) { written_.Reserve(takes); }

  size_t At(size_t k) const {
    uint32_t written = written_.Find(k);
    return written != WrittenCells::kEmpty ? written : nth_(k);
  }

  // Fetches ahead of a take what At(k) reads, in two steps some takes
  // apart: the entry and what leads to its cell, then the grid near it.
  void Prefetch(size_t k) const {
    written_.Prefetch(k);
    if (lead_) lead_(k);
  }
  bool FetchesNear() const { return static_cast<bool>(near_); }
  size_t Near(size_t k) const {
    uint32_t written = written_.Find(k);
    return written != WrittenCells::kEmpty ? written : near_(k);
  }

  // Takes entry k: the last entry is written over it, and the list
  // shortened. What was written past the end is never read again.
  size_t Take(size_t k) {
    size_t taken = At(k), lastAt = size_ - 1;
    if (k != lastAt) written_.Set(static_cast<uint32_t>(k), static_cast<uint32_t>(At(lastAt)));
    size_--;
    return taken;
  }

 private:
  // The cells written over entries, by entry: open addressing, probing on
  // from a slot spread by multiplying, sized for every write at once so that
  // it is never more than four in five full and every probe ends at an empty
  // slot; or, once that would take as much memory, a cell for every entry.
  class WrittenCells {
   public:
    static constexpr uint32_t kEmpty = UINT32_MAX;

    explicit WrittenCells(size_t entries) : entries_(entries) {}

    void Reserve(size_t writes) {
      size_t capacity = std::max<size_t>(16, writes + writes / 4 + 1);
      if (capacity * 2 < entries_) {
        ReserveInLargePages(slots_, capacity);
        slots_.assign(capacity, Slot{kEmpty, kEmpty});
      } else {
        ReserveInLargePages(dense_, entries_);
        dense_.assign(entries_, kEmpty);
      }
    }

    uint32_t Find(size_t at) const {
      if (!dense_.empty()) return dense_[at];
      if (at >= kEmpty) return kEmpty;
      for (size_t i = Home(static_cast<uint32_t>(at));; i = i + 1 == slots_.size() ? 0 : i + 1) {
        if (slots_[i].at == at) return slots_[i].cell;
        if (slots_[i].at == kEmpty) return kEmpty;
      }
    }

    void Set(uint32_t at, uint32_t cell) {
      if (!dense_.empty()) {
        dense_[at] = cell;
        return;
      }
      for (size_t i = Home(at);; i = i + 1 == slots_.size() ? 0 : i + 1) {
        if (slots_[i].at == kEmpty || slots_[i].at == at) {
          slots_[i] = Slot{at, cell};
          return;
        }
      }
    }

    void Prefetch(size_t at) const {
      __builtin_prefetch(dense_.empty() ? static_cast<const void*>(&slots_[Home(static_cast<uint32_t>(at))])
                                        : static_cast<const void*>(&dense_[at]));
    }

   private:
    struct Slot {
      uint32_t at, cell;
    };
    size_t Home(uint32_t at) const {
      return static_cast<size_t>((uint64_t{at * 0x9E3779B1u} * slots_.size()) >> 32);
    }
    size_t entries_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> dense_;
  };

  std::function<size_t(size_t)> nth_, near_;
  std::function<void(size_t)> lead_;
  WrittenCells written_;
  size_t size_;
};

// Puts count of a character on cells drawn from the list, which it uses up.
// A draw does not hang on the list: the nth is taken from a list of size
// minus n entries. So each is made kAhead takes early, and what its take
// will read, the drawn entry and the last, is fetched meanwhile; and
// halfway, the grid where the drawn cell lies.
void Place(std::string& grid, CellList& cells, int count, char what, Draws& random) {
  constexpr int kAhead = 32;
  const size_t size = cells.Size();
  size_t drawn[kAhead];
  int made = 0;
  auto draw = [&] {
    size_t k = random() % (size - static_cast<size_t>(made));
    cells.Prefetch(k);
    cells.Prefetch(size - static_cast<size_t>(made) - 1);
    drawn[made++ % kAhead] = k;
  };
  while (made < std::min(count, kAhead)) draw();
  for (int i = 0; i < count; i++) {
    size_t k = drawn[i % kAhead];
    if (made < count) draw();
    if (cells.FetchesNear() && i + kAhead / 2 < made) {
      const char* near = grid.data() + cells.Near(drawn[(i + kAhead / 2) % kAhead]);
      __builtin_prefetch(near);
      __builtin_prefetch(near + 63);
    }
    grid[cells.Take(k)] = what;
  }
}

// What the walk does not decide, made while it goes on: the grid with every
// room open, the loops' draws, which follow the walk's, and the teleports on
// rooms. Teleports go first of all that is placed, so that the doors keep
// clear of the space cells that the teleports' regions keep.
void LayLoopsAndTeleports(std::string& grid, const MazeRequest& request, int64_t walkDraws, CellList& rooms,
                          Draws& random, std::vector<uint64_t>& knocked) {
  LayRooms(grid, request.width, request.height);
  knocked = DrawLoops(WallsBetweenRooms(request.width, request.height) - walkDraws, random);
  Place(grid, rooms, request.teleports, 'T', random);
}

// A space cell that a teleport's region keeps, until the maze is done.
const char kKept = '\x02';

// A row's cells, a bit a column: its spaces and its teleports.
struct RowCells {
  uint64_t spaces[kRowWords], teleports[kRowWords];
  bool anyTeleport;
};

void ReadRow(const char* row, int width, RowCells& out) {
  MarkRow(row, width, '.', out.spaces);
  MarkRow(row, width, 'T', out.teleports);
  uint64_t any = 0;
  for (uint64_t word : out.teleports) any |= word;
  out.anyTeleport = any != 0;
}

// A run of a row's space cells, its first column to its last, and the
// region it is in.
struct SpaceRun {
  int first, last, region;
};

struct RunEdges {
  BitsBefore<kRowWords> starts, ends;
};

// The runs of a row's spaces, and where they start and end.
int RunsOf(const uint64_t* spaces, SpaceRun* runs, RunEdges& edges) {
  EdgesOf(spaces, edges.starts, edges.ends);
  int starts = 0, ends = 0;
  for (int w = 0; w < kRowWords; w++) {
    for (uint64_t first = edges.starts.bits[w]; first != 0; first &= first - 1)
      runs[starts++].first = w * 64 + __builtin_ctzll(first);
    for (uint64_t last = edges.ends.bits[w]; last != 0; last &= last - 1)
      runs[ends++].last = w * 64 + __builtin_ctzll(last);
  }
  return starts;
}

// A walker who steps onto a teleport is thrown onto a space cell, and never
// passes it. So that a place the teleports close off is still reached, each
// region of open cells beside a teleport keeps one space cell, where a
// throw can land: the first found beside the teleports in reading order,
// each teleport's neighbours in the order of a step, which holds kKept
// until the maze is done. At this stage every open cell is a space.
//
// The regions are found a row at a time: a step from a run of space cells
// reaches the rows beside it from one before its first cell to one past
// its last. Only the regions of the rows at hand are held, each with the
// first teleport's step onto it, as the teleport's place times eight and
// the step's number; a region that no run of the next row joins is whole,
// and keeps that cell.
constexpr int64_t kNoStep = INT64_MAX;

// What a band of rows leaves to be joined to the bands beside it.
struct BandRegions {
  // The steps of its whole regions whose cell lies in a row that another
  // band reads, to be kept once both are done.
  std::vector<int64_t> whole;
  // The regions that reach its first row, each known by the first of that
  // row's runs in it: the pairs of them that join, and each one's step.
  std::vector<std::pair<int, int>> topsJoined;
  std::vector<std::pair<int, int64_t>> topSteps;
  // Its last row's runs, their regions, and each region's step.
  SpaceRun lastRuns[kMostRuns];
  RunEdges lastEdges;
  int lastCount = 0;
  std::vector<int64_t> lastSteps;
};

// Whether a row's spaces are single cells, each under a space.
bool SinglesUnder(const uint64_t* spaces, const uint64_t* above) {
  uint64_t paired = 0, bare = 0;
  for (int k = 0; k < kRowWords; k++) {
    uint64_t next = k + 1 < kRowWords ? spaces[k + 1] : 0;
    paired |= spaces[k] & (spaces[k] >> 1 | next << 63);
    bare |= spaces[k] & ~above[k];
  }
  return (paired | bare) == 0;
}

// The cell a step from a teleport lands on.
int64_t KeptCell(int64_t step, int64_t stride) {
  const int* d = kStepNeighbours[step % 8];
  return step / 8 + d[0] * stride + d[1];
}

// The regions of rows [from, to), those of a band below the first row
// marked where they reach it, and those of a band above the last handed on.
// The cells of whole regions are kept on the grid in rows [keepFrom,
// keepTo), which no other band reads, and listed elsewhere.
ZUMBREL_COUNTS_BITS void FindRegions(std::string& grid, int width, int height, int from, int to, int keepFrom, int keepTo,
                 BandRegions& out) {
  const int64_t stride = width + 1;  // a row and its newline
  auto firstStepOnto = [&](int64_t cell) {
    for (int d = 7; d >= 0; d--) {
      int64_t teleport = cell - kStepNeighbours[d][0] * stride - kStepNeighbours[d][1];
      if (grid[static_cast<size_t>(teleport)] == 'T') return teleport * 8 + d;
    }
    return kNoStep;
  };
  // The regions of the row above, 0 to held - 1, then the row's runs' own,
  // joined into sets: a set's step and top are its head's.
  int parent[2 * kMostRuns], top[2 * kMostRuns], held = 0;
  int64_t firstStep[2 * kMostRuns];
  auto find = [&](int x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  };
  auto whole = [&](int head) {
    if (top[head] >= 0) return out.topSteps.push_back({top[head], firstStep[head]});
    if (firstStep[head] == kNoStep) return;
    int64_t cell = KeptCell(firstStep[head], stride);
    if (cell >= keepFrom * stride && cell < keepTo * stride)
      grid[static_cast<size_t>(cell)] = kKept;
    else
      out.whole.push_back(firstStep[head]);
  };
  RowCells rows[3] = {};
  SpaceRun runs[2][kMostRuns];
  RunEdges edges[2];
  int lastCount = 0;
  if (from > 0) ReadRow(grid.data() + (from - 1) * stride, width, rows[(from + 2) % 3]);
  ReadRow(grid.data() + from * stride, width, rows[from % 3]);
  for (int row = from; row < to; row++) {
    const RowCells &at = rows[row % 3], &above = rows[(row + 2) % 3];
    RowCells& below = rows[(row + 1) % 3];
    if (row + 1 < height)
      ReadRow(grid.data() + (row + 1) * stride, width, below);
    else
      below = RowCells{};
    SpaceRun *run = runs[row % 2], *aboveRun = runs[(row + 1) % 2];
    const RunEdges& aboveEdges = edges[(row + 1) % 2];
    int count = lastCount = RunsOf(at.spaces, run, edges[row % 2]);
    const bool nearTeleport = above.anyTeleport || at.anyTeleport || below.anyTeleport;
    if (row > from && !nearTeleport && SinglesUnder(at.spaces, above.spaces)) {
      // Each run meets only the run above it and is in its region: the
      // regions pass down as they are, numbered as they were, and those
      // that no run meets are whole, and spent. So most rows between rows
      // of rooms.
      bool met[kMostRuns] = {};
      for (int j = 0; j < count; j++) {
        run[j].region = aboveRun[aboveEdges.starts.Before(run[j].first + 1) - 1].region;
        met[run[j].region] = true;
      }
      for (int x = 0; x < held; x++) {
        if (met[x]) continue;
        whole(x);
        firstStep[x] = kNoStep;
        top[x] = -1;
      }
      continue;
    }
    for (int j = 0; j < count; j++) {
      parent[held + j] = held + j;
      firstStep[held + j] = kNoStep;
      top[held + j] = row == from && from > 0 ? j : -1;
    }
    // The space cells beside a teleport, each with its run's region.
    if (nearTeleport) {
      const RowCells* beside[3] = {&above, &at, &below};
      for (int k = 0, j = 0; k < kRowWords; k++) {
        uint64_t near = 0;
        for (const RowCells* r : beside) {
          uint64_t t = r->teleports[k];
          near |= t | t << 1 | t >> 1 | (k > 0 ? r->teleports[k - 1] >> 63 : 0) |
                  (k + 1 < kRowWords ? r->teleports[k + 1] << 63 : 0);
        }
        for (uint64_t bits = at.spaces[k] & near; bits != 0; bits &= bits - 1) {
          int col = k * 64 + __builtin_ctzll(bits);
          while (run[j].last < col) j++;
          int64_t& first = firstStep[held + j];
          first = std::min(first, firstStepOnto(row * stride + col));
        }
      }
    }
    // Each run joins the regions of the runs above that a step reaches:
    // those that end no sooner than the column before its first and start
    // no later than the one past its last. A set's head is its lowest
    // number, so that its members lead straight to it; joining a region to
    // itself changes nothing, so it is not asked whether they are one.
    for (int j = 0; j < count && row > from; j++) {
      int head = held + j;
      int first = aboveEdges.ends.Before(std::max(run[j].first - 1, 0)), past = aboveEdges.starts.Before(run[j].last + 2);
      for (int k = first; k < past; k++) {
        int a = find(aboveRun[k].region), low = std::min(a, head), high = std::max(a, head);
        parent[high] = low;
        firstStep[low] = std::min(firstStep[low], firstStep[high]);
        if (top[high] >= 0 && low != high) {
          if (top[low] >= 0) out.topsJoined.push_back({top[low], top[high]});
          top[low] = top[low] >= 0 ? std::min(top[low], top[high]) : top[high];
        }
        head = low;
      }
    }
    // The row's regions, numbered afresh from 0; the regions above that
    // no run joined are whole.
    int number[2 * kMostRuns], next = 0;
    std::fill(number, number + held + count, -1);
    int64_t step[kMostRuns + 1];
    int tops[kMostRuns + 1];
    for (int j = 0; j < count; j++) {
      int head = find(held + j);
      bool fresh = number[head] < 0;
      step[next] = firstStep[head];
      tops[next] = top[head];
      number[head] = fresh ? next : number[head];
      next += fresh;
      run[j].region = number[head];
    }
    for (int x = 0; x < held; x++) {
      int head = find(x);
      if (number[head] >= 0) continue;
      whole(head);
      firstStep[head] = kNoStep;
      top[head] = -1;
    }
    for (int x = 0; x < next; x++) {
      parent[x] = x;
      firstStep[x] = step[x];
      top[x] = tops[x];
    }
    held = next;
  }
  // The regions of the last row: whole where it is the maze's last, or
  // handed on.
  if (to < height) {
    out.lastSteps.assign(firstStep, firstStep + held);
    out.lastCount = lastCount;
    std::copy(runs[(to - 1) % 2], runs[(to - 1) % 2] + lastCount, out.lastRuns);
    out.lastEdges = edges[(to - 1) % 2];
    return;
  }
  for (int x = 0; x < held; x++) whole(x);
}

#if defined(ZUMBREL_THREADS)
// The regions of a band and of the band below it, joined across the row
// between them: the first reaches down through its last row's runs, the
// other up through its first row's.
void JoinBands(const std::string& grid, int width, int row, const BandRegions& above,
               const BandRegions& below, std::vector<int64_t>& whole) {
  RowCells first;
  SpaceRun runs[kMostRuns];
  RunEdges edges;
  ReadRow(grid.data() + row * (width + 1), width, first);
  int count = RunsOf(first.spaces, runs, edges);
  // Above's regions, then below's by the first run of its top row in them.
  const int held = static_cast<int>(above.lastSteps.size());
  std::vector<int> parent(static_cast<size_t>(held + count));
  std::vector<int64_t> firstStep(above.lastSteps);
  firstStep.resize(parent.size(), kNoStep);
  for (size_t x = 0; x < parent.size(); x++) parent[x] = static_cast<int>(x);
  auto find = [&](int x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  };
  auto join = [&](int a, int b) {
    a = find(a);
    b = find(b);
    if (a > b) std::swap(a, b);
    parent[b] = a;
    firstStep[a] = std::min(firstStep[a], firstStep[b]);
  };
  for (auto [a, b] : below.topsJoined) join(held + a, held + b);
  for (auto [t, step] : below.topSteps) firstStep[find(held + t)] = std::min(firstStep[find(held + t)], step);
  for (int j = 0; j < count; j++) {
    int from = above.lastEdges.ends.Before(std::max(runs[j].first - 1, 0));
    int past = above.lastEdges.starts.Before(runs[j].last + 2);
    for (int k = from; k < past; k++) join(above.lastRuns[k].region, held + j);
  }
  for (size_t x = 0; x < parent.size(); x++)
    if (find(static_cast<int>(x)) == static_cast<int>(x) && firstStep[x] != kNoStep) whole.push_back(firstStep[x]);
}
#endif

void KeepASpaceBesideEachTeleport(std::string& grid, int width, int height) {
  const int64_t stride = width + 1;
  BandRegions bands[2];
  std::vector<int64_t> whole;
  bool twoBands = false;
#if defined(ZUMBREL_THREADS)
  // On a large maze, two bands at once on both cores, joined after. Each
  // reads a row of the other's, where neither writes.
  constexpr int64_t kCellsForTwoBands = int64_t{1} << 20;
  twoBands = int64_t{width} * height >= kCellsForTwoBands;
  if (twoBands) {
    int middle = height / 2;
    std::thread upper([&] { FindRegions(grid, width, height, 0, middle, 0, middle - 1, bands[0]); });
    FindRegions(grid, width, height, middle, height, middle + 1, height, bands[1]);
    upper.join();
    whole = std::move(bands[0].whole);
    whole.insert(whole.end(), bands[1].whole.begin(), bands[1].whole.end());
    JoinBands(grid, width, middle, bands[0], bands[1], whole);
  }
#endif
  if (!twoBands) FindRegions(grid, width, height, 0, height, 0, height, bands[0]);
  for (int64_t step : whole) grid[static_cast<size_t>(KeptCell(step, stride))] = kKept;
}

// The rooms, at odd rows and columns inside the border, by their number.
CellList Rooms(int width, int height) {
  size_t stride = static_cast<size_t>(width) + 1, across = static_cast<size_t>(width - 1) / 2;
  size_t down = static_cast<size_t>(height - 1) / 2;
  auto nth = [=](size_t k) { return (1 + 2 * (k / across)) * stride + 1 + 2 * (k % across); };
  return CellList(across * down, nth);
}

// The passages: the open cells between two rooms that no teleport's region
// keeps, counted a chunk of the grid at a time. A passage may hold a door
// by now; a wall between rooms is only ever '#'. They lie every other cell
// of a row, from column 0 in a row between rooms and from column 1 in a row
// of them.
ZUMBREL_COUNTS_BITS CellList Passages(const std::string& grid, int width) {
  constexpr size_t kChunkBits = 6;
  const size_t stride = static_cast<size_t>(width) + 1;
  auto open = [&grid](size_t cell) { return grid[cell] != '#' && grid[cell] != kKept; };
  // before[c]: the passages in the chunks before chunk c, counted a row's
  // open passages at a time, as bits, into the chunks they fall in.
  auto before = std::make_shared<std::vector<uint32_t>>((grid.size() >> kChunkBits) + 2, 0);
  const int words = (width + 63) / 64;
  uint64_t inRow[kRowWords] = {};
  for (int col = 0; col < width; col++) inRow[col >> 6] |= uint64_t{1} << (col & 63);
  for (size_t row = 0, first = 0; first < grid.size(); row++, first += stride) {
    uint64_t walls[kRowWords], kept[kRowWords];
    MarkRow(grid.data() + first, width, '#', walls);
    MarkRow(grid.data() + first, width, kKept, kept);
    const uint64_t passage = row % 2 == 0 ? 0xAAAAAAAAAAAAAAAA : 0x5555555555555555;
    const unsigned shift = first & 63;
    uint32_t* counts = before->data() + (first >> kChunkBits) + 1;
    for (int k = 0; k < words; k++) {
      uint64_t bits = passage & inRow[k] & ~(walls[k] | kept[k]);
      counts[k] += static_cast<uint32_t>(CountBits(bits << shift));
      uint64_t next = shift != 0 ? bits >> (64 - shift) : 0;  // those in the chunk after
      if (next != 0) counts[k + 1] += static_cast<uint32_t>(CountBits(next));
    }
  }
  std::partial_sum(before->begin(), before->end(), before->begin());
  // samples[s]: the chunk that holds passage s << kSampleBits.
  constexpr size_t kSampleBits = 8;
  const size_t total = before->back();
  auto samples = std::make_shared<std::vector<uint32_t>>((total + (1 << kSampleBits) - 1) >> kSampleBits);
  for (size_t c = 0, s = 0; s < samples->size(); c++)
    for (; s < samples->size() && (s << kSampleBits) < (*before)[c + 1]; s++) (*samples)[s] = static_cast<uint32_t>(c);
  // The chunk that holds passage k: on from the one that holds the sampled
  // passage at or before it.
  auto chunk = [=](size_t k) {
    const std::vector<uint32_t>& counts = *before;
    size_t c = (*samples)[k >> kSampleBits];
    while (counts[c + 1] <= k) c++;
    return c;
  };
  auto nth = [=](size_t k) {
    size_t c = chunk(k);
    size_t cell = c << kChunkBits, row = cell / stride, col = cell - row * stride;
    // The passages from the first one at or after the chunk's first cell.
    if ((col + row) % 2 == 0) cell++, col++;
    for (size_t left = k - (*before)[c];; cell += 2, col += 2) {
      if (col >= stride - 1) {
        // On to the next row, whose passages start one column later or earlier.
        row++;
        col = 1 - row % 2;
        cell = row * stride + col;
      }
      if (open(cell) && left-- == 0) return cell;
    }
  };
  auto near = [=](size_t k) { return chunk(k) << kChunkBits; };
  auto lead = [=](size_t k) { __builtin_prefetch(before->data() + (*samples)[k >> kSampleBits]); };
  return CellList(total, nth, near, lead);
}

}  // namespace

bool GenerateMaze(const MazeRequest& request, std::string& maze, std::string& error) {
  if (request.width > kWidestMaze) {
    error = "width " + std::to_string(request.width) + " is more than " +
            std::to_string(kWidestMaze) + ": the maze reader takes " +
            std::to_string(kMazeRowLength) +
            " characters at a time, the newline included, so each wider row would read as two";
    return false;
  }
  if (request.height > kTallestMaze) {
    error = "height " + std::to_string(request.height) + " is more than " +
            std::to_string(kTallestMaze) +
            ", the tallest maze a walker still moves through in steps of 1/16 unit";
    return false;
  }
  if (request.width < 3 || request.height < 3) {
    error = "a maze is at least 3 by 3 cells";
    return false;
  }
  if (request.doors < 0 || request.orbs < 0 || request.pedestals < 0 || request.teleports < 0) {
    error = "counts of doors, orbs, pedestals and teleports cannot be negative";
    return false;
  }

  // Doors stand in the passages between rooms; the start and the rest on
  // the rooms, every one of which the walk opens.
  CellList rooms = Rooms(request.width, request.height);
  const char* kTooFew =
      "the maze has too few open cells for that many doors, orbs, pedestals and teleports";
  size_t onRooms = static_cast<size_t>(request.teleports) + 1 + static_cast<size_t>(request.orbs) +
                   static_cast<size_t>(request.pedestals);
  if (onRooms > rooms.Size()) {
    error = kTooFew;
    return false;
  }
  rooms.Reserve(onRooms);

  Draws random(request.seed);
  std::string grid;
  std::vector<uint64_t> knocked;
  {
    RoomWalk walk(request.width, request.height);
    const int64_t walkDraws = walk.across * walk.down - 1;  // a draw a room it enters
#if defined(ZUMBREL_THREADS)
    // On the other core while the walk goes on, from where its draws end.
    Draws afterWalk = random;
    std::thread other([&] {
      afterWalk.Skip(static_cast<uint64_t>(walkDraws));
      LayLoopsAndTeleports(grid, request, walkDraws, rooms, afterWalk, knocked);
    });
    WalkRooms(walk, random);
    other.join();
    random = afterWalk;
#else
    WalkRooms(walk, random);
    LayLoopsAndTeleports(grid, request, walkDraws, rooms, random, knocked);
#endif
    CarveRooms(grid, request.width, walk);
  }
  KnockThroughLoops(grid, request.width, request.height, knocked);
  std::vector<uint64_t>().swap(knocked);
  KeepASpaceBesideEachTeleport(grid, request.width, request.height);
  CellList passages = Passages(grid, request.width);
  if (static_cast<size_t>(request.doors) > passages.Size()) {
    error = kTooFew;
    return false;
  }
  passages.Reserve(static_cast<size_t>(request.doors));
  Place(grid, passages, request.doors, 'D', random);
  Place(grid, rooms, 1, 'X', random);
  Place(grid, rooms, request.orbs, 'O', random);
  Place(grid, rooms, request.pedestals, 'P', random);
  // Written without a branch, so that it runs at the speed of memory.
  for (char& cell : grid) cell = cell == kKept ? '.' : cell;
  maze.swap(grid);
  return true;
}
