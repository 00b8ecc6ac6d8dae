// mazegen.cpp: a maze carved from a grid of rooms, with loops, a start and
// the requested doors, orbs, pedestals and teleports.
#include "mazegen.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <unordered_map>
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
// cells of one sort in reading order, then as Place and DropKept leave it.
// Place takes an entry, writes the last entry over it and shortens the
// list; DropKept drops entries and keeps the order of the rest. Only what
// they change is held, in layers, one for each DropKept: memory follows the
// things placed, not the cells.
class CellList {
 public:
  static constexpr size_t kNone = SIZE_MAX;

  // count cells, the nth of them, and the rank of a cell among them or kNone.
  CellList(size_t count, std::function<size_t(size_t)> nth, std::function<size_t(size_t)> rank)
      : nth_(std::move(nth)), rank_(std::move(rank)) {
    layers_.push_back(Layer{{}, {}, {}, count});
  }

  size_t Size() const { return layers_.back().size; }

  size_t At(size_t k) const {
    for (size_t l = layers_.size(); l-- > 0;) {
      const Layer& layer = layers_[l];
      auto written = layer.written.find(k);
      if (written != layer.written.end()) return written->second;
      // The kth of the entries of the layer below that this one kept.
      for (size_t dropped : layer.dropped)
        if (dropped <= k) k++;
    }
    return nth_(k);
  }

  // Takes entry k: the last entry is written over it, and the list shortened.
  size_t Take(size_t k) {
    Layer& layer = layers_.back();
    size_t taken = At(k), lastAt = layer.size - 1, last = At(lastAt);
    Unwrite(layer, k);
    Unwrite(layer, lastAt);
    if (k != lastAt) {
      layer.written[k] = last;
      layer.writtenAt[last] = k;
    }
    layer.size--;
    return taken;
  }

  // Drops the entries that hold any of the cells, keeping the order of the rest.
  void Drop(const std::vector<size_t>& cells) {
    std::vector<size_t> dropped;
    for (size_t cell : cells) {
      size_t at = PositionOf(cell, layers_.size() - 1);
      if (at != kNone) dropped.push_back(at);
    }
    std::sort(dropped.begin(), dropped.end());
    dropped.erase(std::unique(dropped.begin(), dropped.end()), dropped.end());
    size_t size = Size() - dropped.size();
    layers_.push_back(Layer{std::move(dropped), {}, {}, size});
  }

 private:
  struct Layer {
    std::vector<size_t> dropped;                   // positions of the layer below, rising
    std::unordered_map<size_t, size_t> written;    // position -> cell written over it
    std::unordered_map<size_t, size_t> writtenAt;  // the same, cell -> position
    size_t size;
  };

  static void Unwrite(Layer& layer, size_t at) {
    auto written = layer.written.find(at);
    if (written == layer.written.end()) return;
    layer.writtenAt.erase(written->second);
    layer.written.erase(written);
  }

  // Where the cell stands in the list as layer l leaves it, or kNone.
  size_t PositionOf(size_t cell, size_t l) const {
    const Layer& layer = layers_[l];
    auto written = layer.writtenAt.find(cell);
    if (written != layer.writtenAt.end()) return written->second;
    size_t at = l == 0 ? rank_(cell) : PositionOf(cell, l - 1);
    if (at == kNone || std::binary_search(layer.dropped.begin(), layer.dropped.end(), at)) return kNone;
    at -= static_cast<size_t>(std::lower_bound(layer.dropped.begin(), layer.dropped.end(), at) -
                              layer.dropped.begin());
    if (layer.written.count(at) != 0 || at >= layer.size) return kNone;  // written over, or taken
    return at;
  }

  std::function<size_t(size_t)> nth_, rank_;
  std::vector<Layer> layers_;
};

// Puts count of a character on cells drawn from the list, which it uses up;
// returns where it put them.
std::vector<size_t> Place(std::string& grid, CellList& cells, int count, char what,
                          std::mt19937_64& random) {
  std::vector<size_t> placed;
  for (int i = 0; i < count; i++) {
    size_t cell = cells.Take(random() % cells.Size());
    grid[cell] = what;
    placed.push_back(cell);
  }
  return placed;
}

// A walker who steps onto a teleport is thrown onto a space cell, and never
// passes it. So that a place the teleports close off is still reached, each
// region of open cells beside a teleport keeps one space cell, where a
// throw can land: the first cell found beside the teleport. Returns the
// cells kept.
std::vector<size_t> KeepASpaceBesideEachTeleport(std::string& grid, int width,
                                                 const std::vector<size_t>& teleports) {
  std::vector<size_t> keep;
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
  for (size_t teleport : teleports)
    for (const int* step : kStepNeighbours) {
      int64_t first = static_cast<int64_t>(teleport) + step[0] * stride + step[1];
      if (!open(first)) continue;
      keep.push_back(static_cast<size_t>(first));
      markRun(first);
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
  return keep;
}

// The rooms, at odd rows and columns inside the border, by their number.
CellList Rooms(int width, int height) {
  size_t stride = static_cast<size_t>(width) + 1, across = static_cast<size_t>(width - 1) / 2;
  size_t down = static_cast<size_t>(height - 1) / 2;
  auto nth = [=](size_t k) { return (1 + 2 * (k / across)) * stride + 1 + 2 * (k % across); };
  auto rank = [=](size_t cell) {
    size_t row = cell / stride, col = cell % stride;
    if (row % 2 == 0 || col % 2 == 0 || row / 2 >= down || col / 2 >= across) return CellList::kNone;
    return row / 2 * across + col / 2;
  };
  return CellList(across * down, nth, rank);
}

// The passages: the open cells between two rooms, counted row by row. A
// passage may hold a door by now; a wall between rooms is only ever '#'.
CellList Passages(const std::string& grid, int width, int height) {
  size_t stride = static_cast<size_t>(width) + 1;
  auto passage = [&grid, stride](size_t cell) {
    size_t row = cell / stride, col = cell % stride;
    return (row % 2 == 1) != (col % 2 == 1) && col < stride - 1 && grid[cell] != '#';
  };
  // before[r]: the passages in the rows above row r, which in a row lie
  // every other cell, from column 0 or 1.
  auto before = std::make_shared<std::vector<size_t>>(static_cast<size_t>(height) + 1, 0);
  for (size_t row = 0; row < static_cast<size_t>(height); row++) {
    size_t count = 0;
    const char* cells = grid.data() + row * stride;
    for (size_t col = 1 - row % 2; col < stride - 1; col += 2) count += cells[col] != '#';
    (*before)[row + 1] = (*before)[row] + count;
  }
  auto nth = [=](size_t k) {
    size_t row =
        static_cast<size_t>(std::upper_bound(before->begin(), before->end(), k) - before->begin()) - 1;
    size_t cell = row * stride;
    for (size_t left = k - (*before)[row];; cell++)
      if (passage(cell) && left-- == 0) return cell;
  };
  auto rank = [=](size_t cell) {
    if (!passage(cell)) return CellList::kNone;
    size_t row = cell / stride, at = (*before)[row];
    for (size_t c = row * stride; c < cell; c++) at += passage(c);
    return at;
  };
  return CellList((*before)[height], nth, rank);
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
  CellList passages = Passages(grid, request.width, request.height);
  CellList rooms = Rooms(request.width, request.height);
  // Teleports go first, so that the rest keep clear of the space cells
  // that the teleports' regions keep.
  const char* kTooFew =
      "the maze has too few open cells for that many doors, orbs, pedestals and teleports";
  if (static_cast<size_t>(request.teleports) > rooms.Size()) {
    error = kTooFew;
    return false;
  }
  std::vector<size_t> teleports = Place(grid, rooms, request.teleports, 'T', random);
  std::sort(teleports.begin(), teleports.end());
  std::vector<size_t> keep = KeepASpaceBesideEachTeleport(grid, request.width, teleports);
  passages.Drop(keep);
  rooms.Drop(keep);

  if (static_cast<size_t>(request.doors) > passages.Size() ||
      1 + static_cast<size_t>(request.orbs) + request.pedestals > rooms.Size()) {
    error = kTooFew;
    return false;
  }
  Place(grid, passages, request.doors, 'D', random);
  Place(grid, rooms, 1, 'X', random);
  Place(grid, rooms, request.orbs, 'O', random);
  Place(grid, rooms, request.pedestals, 'P', random);
  maze.swap(grid);
  return true;
}
