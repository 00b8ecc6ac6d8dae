// mazegen.cpp: a maze carved from a grid of rooms, with loops, a start and
// the requested doors, orbs, pedestals and teleports.
#include "mazegen.h"

#include <deque>
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
  auto at = [&](int row, int col) -> char& {
    return grid[static_cast<size_t>(row) * (width + 1) + col];
  };
  static const int kSteps[4][2] = {{-2, 0}, {2, 0}, {0, -2}, {0, 2}};
  int row = 1, col = 1;
  at(row, col) = 'S';
  for (;;) {
    int options[4], count = 0;
    for (int d = 0; d < 4; d++) {
      int r = row + kSteps[d][0], c = col + kSteps[d][1];
      if (r > 0 && r < height - 1 && c > 0 && c < width - 1 && at(r, c) == '#')
        options[count++] = d;
    }
    if (count == 0) {
      // Back the way the walk came, done with this room.
      char came = at(row, col);
      at(row, col) = '.';
      if (came == 'S') break;
      row -= kSteps[came - '0'][0];
      col -= kSteps[came - '0'][1];
      continue;
    }
    int d = options[random() % count];
    at(row + kSteps[d][0] / 2, col + kSteps[d][1] / 2) = '.';
    row += kSteps[d][0];
    col += kSteps[d][1];
    at(row, col) = static_cast<char>('0' + d);
  }

  // Loops: knock through one wall between rooms in twenty.
  for (int row = 1; row < height - 1; row++) {
    for (int col = 1; col < width - 1; col++) {
      bool between = (row % 2 == 1) != (col % 2 == 1);
      if (!between || at(row, col) != '#' || random() % 20 != 0) continue;
      bool across = row % 2 == 1 ? at(row, col - 1) == '.' && at(row, col + 1) == '.'
                                 : at(row - 1, col) == '.' && at(row + 1, col) == '.';
      if (across) at(row, col) = '.';
    }
  }
}

// Puts count of a character on cells drawn from candidates, which it uses up.
void Place(std::string& grid, std::vector<size_t>& candidates, int count, char what,
           std::mt19937_64& random) {
  for (int i = 0; i < count; i++) {
    size_t pick = random() % candidates.size();
    grid[candidates[pick]] = what;
    candidates[pick] = candidates.back();
    candidates.pop_back();
  }
}

// A walker who steps onto a teleport is thrown onto a space cell, and never
// passes it. So that a place the teleports close off is still reached, each
// region of open cells beside a teleport keeps one space cell, where a
// throw can land: the first cell found beside the teleport. Marks the cells
// kept in keep.
void KeepASpaceBesideEachTeleport(const std::string& grid, int width,
                                  const std::vector<size_t>& teleports,
                                  std::vector<bool>& keep) {
  const int64_t stride = width + 1;  // a row and its newline
  // A cell the walker stands on and steps on from, by each character: the
  // maze has space cells, so its teleports throw.
  bool walkable[256];
  for (int c = 0; c < 256; c++)
    walkable[c] = c != '\n' &&
                  OutcomeOfStepOnto(ComponentOfCharacter(static_cast<char>(c)), true) == kStepTaken;
  auto open = [&](int64_t i) {
    return i >= 0 && i < static_cast<int64_t>(grid.size()) &&
           walkable[static_cast<unsigned char>(grid[i])];
  };
  std::vector<bool> seen(grid.size(), false);
  std::deque<int64_t> queue;
  for (size_t teleport : teleports)
    for (const int* step : kStepNeighbours) {
      int64_t first = static_cast<int64_t>(teleport) + step[0] * stride + step[1];
      if (!open(first) || seen[first]) continue;
      keep[first] = true;
      seen[first] = true;
      queue.push_back(first);
      while (!queue.empty()) {
        int64_t i = queue.front();
        queue.pop_front();
        for (const int* next : kStepNeighbours) {
          int64_t j = i + next[0] * stride + next[1];
          if (!open(j) || seen[j]) continue;
          seen[j] = true;
          queue.push_back(j);
        }
      }
    }
}

// Drops the kept cells from candidates.
void DropKept(std::vector<size_t>& candidates, const std::vector<bool>& keep) {
  size_t to = 0;
  for (size_t i : candidates)
    if (!keep[i]) candidates[to++] = i;
  candidates.resize(to);
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

  // Doors stand in the passages between rooms; the start and the rest on
  // any other open cell.
  std::vector<size_t> passages, rooms;
  for (size_t i = 0; i < grid.size(); i++) {
    if (grid[i] != '.') continue;
    size_t row = i / (request.width + 1), col = i % (request.width + 1);
    ((row % 2 == 1) != (col % 2 == 1) ? passages : rooms).push_back(i);
  }
  // Teleports go first, so that the rest keep clear of the space cells
  // that the teleports' regions keep.
  const char* kTooFew =
      "the maze has too few open cells for that many doors, orbs, pedestals and teleports";
  if (static_cast<size_t>(request.teleports) > rooms.size()) {
    error = kTooFew;
    return false;
  }
  Place(grid, rooms, request.teleports, 'T', random);
  std::vector<size_t> teleports;
  for (size_t i = 0; i < grid.size(); i++)
    if (grid[i] == 'T') teleports.push_back(i);
  std::vector<bool> keep(grid.size(), false);
  KeepASpaceBesideEachTeleport(grid, request.width, teleports, keep);
  DropKept(passages, keep);
  DropKept(rooms, keep);

  if (static_cast<size_t>(request.doors) > passages.size() ||
      1 + static_cast<size_t>(request.orbs) + request.pedestals > rooms.size()) {
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
