// mazegen.cpp: a maze carved from a grid of rooms, with loops, a start and
// the requested doors, orbs, pedestals and teleports.
#include "mazegen.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <vector>

#include "sim/steps.h"

namespace {

// Rooms sit at odd rows and columns; the walls between them are carved away
// by a depth-first walk, so every room is reachable from every other. The
// walk keeps its way back in the rooms it is still in: each holds the step
// that led into it, a digit, until the walk leaves it for good and it
// becomes '.'; the first room holds 'S'.
void CarveRooms(std::string& grid, int width, int height, std::mt19937_64& random) {
  // Up, down, left and right, two cells at a time, as rows and columns and
  // as a step along the grid.
  static const int kSteps[4][2] = {{-2, 0}, {2, 0}, {0, -2}, {0, 2}};
  const int64_t stride = width + 1;
  const int64_t along[4] = {-2 * stride, 2 * stride, -2, 2};
  int row = 1, col = 1;
  int64_t i = stride + 1;
  grid[i] = 'S';
  for (;;) {
    // The rooms next to this one, inside the border, that the walk has not
    // opened.
    bool inside[4] = {row > 2, row + 2 < height - 1, col > 2, col + 2 < width - 1};
    int options[4], count = 0;
    for (int d = 0; d < 4; d++) {
      options[count] = d;
      count += inside[d] && grid[i + along[d]] == '#';
    }
    if (count == 0) {
      // Back the way the walk came, done with this room.
      char came = grid[i];
      grid[i] = '.';
      if (came == 'S') break;
      i -= along[came - '0'];
      row -= kSteps[came - '0'][0];
      col -= kSteps[came - '0'][1];
      continue;
    }
    // draw % count, with no division where count is a power of two.
    uint64_t draw = random();
    int d = options[count == 3 ? draw % 3 : draw & static_cast<uint64_t>(count - 1)];
    grid[i + along[d] / 2] = '.';
    i += along[d];
    row += kSteps[d][0];
    col += kSteps[d][1];
    grid[i] = static_cast<char>('0' + d);
  }

}

// Loops: knocks through one wall between rooms in twenty.
void KnockThroughLoops(std::string& grid, int width, int height, std::mt19937_64& random) {
  const int64_t stride = width + 1;
  auto at = [&](int r, int c) -> char& { return grid[static_cast<size_t>(r * stride + c)]; };
  for (int row = 1; row < height - 1; row++) {
    // The cells between rooms: every other one, from column 2 in a row of
    // rooms and from column 1 in a row between them.
    for (int col = 1 + row % 2; col < width - 1; col += 2) {
      if (at(row, col) != '#' || random() % 20 != 0) continue;
      bool across = row % 2 == 1 ? at(row, col - 1) == '.' && at(row, col + 1) == '.'
                                 : at(row - 1, col) == '.' && at(row + 1, col) == '.';
      if (across) at(row, col) = '.';
    }
  }
}

// The cells things are placed on, as a list of grid indices: the open
// cells of one sort in reading order, then as Take leaves it. Take takes an
// entry, writes the last entry over it and shortens the list. Only what it
// writes is held: memory follows the things placed, not the cells.
class CellList {
 public:
  // count cells, and the nth of them.
  CellList(size_t count, std::function<size_t(size_t)> nth)
      : nth_(std::move(nth)), written_(count), size_(count) {}

  size_t Size() const { return size_; }

  // Room for every take to come, made once, before the first.
  void Reserve(size_t takes) { written_.Reserve(takes); }

  size_t At(size_t k) const {
    uint32_t written = written_.Find(k);
    return written != WrittenCells::kEmpty ? written : nth_(k);
  }

  void Prefetch(size_t k) const { written_.Prefetch(k); }

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
      if (capacity * 2 < entries_)
        slots_.assign(capacity, Slot{kEmpty, kEmpty});
      else
        dense_.assign(entries_, kEmpty);
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

  std::function<size_t(size_t)> nth_;
  WrittenCells written_;
  size_t size_;
};

// Puts count of a character on cells drawn from the list, which it uses up.
// A draw does not hang on the list, so each is made a take ahead, and what
// the take will read, the drawn entry and the last, is fetched while the one
// before is placed.
void Place(std::string& grid, CellList& cells, int count, char what, std::mt19937_64& random) {
  if (count == 0) return;
  size_t next = random() % cells.Size();
  for (int i = 0; i < count; i++) {
    size_t k = next;
    if (i + 1 < count) {
      next = random() % (cells.Size() - 1);
      cells.Prefetch(next);
      cells.Prefetch(cells.Size() - 2);
    }
    grid[cells.Take(k)] = what;
  }
}

// A space cell that a teleport's region keeps, until the maze is done.
const char kKept = '\x02';

// A walker who steps onto a teleport is thrown onto a space cell, and never
// passes it. So that a place the teleports close off is still reached, each
// region of open cells beside a teleport keeps one space cell, where a
// throw can land: the first cell found beside the teleport, which holds
// kKept until the maze is done. Teleports stand on rooms, so that cell is a
// passage: one between two rooms, as a cell diagonal to a room is a wall.
void KeepASpaceBesideEachTeleport(std::string& grid, int width) {
  const int64_t stride = width + 1;  // a row and its newline
  // A cell the walker stands on and steps on from, by each character: the
  // maze has space cells, so its teleports throw.
  bool walkable[256];
  for (int c = 0; c < 256; c++)
    walkable[c] = c != '\n' &&
                  OutcomeOfStepOnto(ComponentOfCharacter(static_cast<char>(c)), true) == kStepTaken;
  // A cell the flood has reached holds kReached, which is not walked on,
  // until the flood is done; at this stage every open cell is a space.
  const char kReached = '\x01';
  walkable[static_cast<unsigned char>(kReached)] = false;
  walkable[static_cast<unsigned char>(kKept)] = false;
  // Teleports stand on rooms, inside the walls around the maze: every cell
  // a step from an open cell lies in the grid.
  auto open = [&](int64_t i) { return walkable[static_cast<unsigned char>(grid[i])]; };
  // The region is flooded a run of a row at a time: a step from a run
  // reaches the rows beside it from one before its first cell to one past
  // its last. A run ends at a row's end, where the newline is not open.
  struct Run {
    int64_t first, last;
  };
  std::deque<Run> queue;
  auto markRun = [&](int64_t i) {
    Run run = {i, i};
    while (open(run.first - 1)) run.first--;
    while (open(run.last + 1)) run.last++;
    for (int64_t j = run.first; j <= run.last; j++) grid[j] = kReached;
    queue.push_back(run);
    return run.last;
  };
  // The teleports, the only ones the grid holds yet, in reading order.
  for (size_t teleport = grid.find('T'); teleport != std::string::npos; teleport = grid.find('T', teleport + 1))
    for (const int* step : kStepNeighbours) {
      int64_t first = static_cast<int64_t>(teleport) + step[0] * stride + step[1];
      if (!open(first)) continue;
      markRun(first);
      grid[first] = kKept;
      while (!queue.empty()) {
        Run run = queue.front();
        queue.pop_front();
        for (int64_t beside : {-stride, stride})
          for (int64_t j = run.first - 1 + beside; j <= run.last + 1 + beside; j++)
            if (open(j)) j = markRun(j);
      }
    }
  // Written without a branch, so that it runs at the speed of memory.
  for (char& cell : grid) cell = cell == kReached ? '.' : cell;
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
CellList Passages(const std::string& grid, int width) {
  constexpr size_t kChunkBits = 6;
  const size_t stride = static_cast<size_t>(width) + 1;
  auto open = [&grid](size_t cell) { return grid[cell] != '#' && grid[cell] != kKept; };
  // before[c]: the passages in the chunks before chunk c.
  auto before = std::make_shared<std::vector<uint32_t>>((grid.size() >> kChunkBits) + 2, 0);
  for (size_t row = 0, first = 0; first < grid.size(); row++, first += stride)
    for (size_t col = 1 - row % 2; col < stride - 1; col += 2)
      (*before)[((first + col) >> kChunkBits) + 1] += open(first + col);
  std::partial_sum(before->begin(), before->end(), before->begin());
  auto nth = [=](size_t k) {
    // The chunk that holds it: looked for from where an even spread of
    // passages would put it, in steps that double, then by halving.
    const std::vector<uint32_t>& counts = *before;
    size_t last = counts.size() - 1, guess = std::min(last - 1, k * last / std::max<size_t>(counts[last], 1));
    size_t low = guess, high = guess + 1, step = 1;
    while (low > 0 && counts[low] > k) low = low > step ? low - step : 0, step *= 2;
    for (step = 1; high < last && counts[high] <= k; step *= 2) high = std::min(last, high + step);
    size_t c = static_cast<size_t>(std::upper_bound(counts.begin() + low, counts.begin() + high + 1, k) -
                                   counts.begin()) - 1;
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
  return CellList(before->back(), nth);
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

  std::mt19937_64 random(request.seed);
  std::string grid;
  grid.reserve(static_cast<size_t>(request.width + 1) * request.height);
  for (int row = 0; row < request.height; row++) grid.append(request.width, '#').push_back('\n');
  CarveRooms(grid, request.width, request.height, random);
  KnockThroughLoops(grid, request.width, request.height, random);

  // Doors stand in the passages between rooms; the start and the rest on
  // the rooms, every one of which the walk opened.
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
  // Teleports go first, so that the doors keep clear of the space cells
  // that the teleports' regions keep.
  Place(grid, rooms, request.teleports, 'T', random);
  KeepASpaceBesideEachTeleport(grid, request.width);
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
