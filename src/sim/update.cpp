// update.cpp: one tick of the world: walking, walls, orbs, eye height, teleports.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "world/maze.h"
#include "world/row_index.h"

namespace {

// The walker is on a cell when strictly inside its 5-unit square.
const double kHalfCell = 2.5;

// Radians turned per tick at a turn rate of 1, held in single precision.
const float kTurnStep = 0.1f;

const float kEyeOnOrb = 7;
const float kEyeResting = 3;
const float kEyeSinking = 0.5f;
const float kEyeAfterTeleport = 40;

bool IsOnCell(Point2 walker, Point2 cell) {
  return std::fabs(static_cast<double>(walker.x) - cell.x) < kHalfCell &&
         std::fabs(static_cast<double>(walker.y) - cell.y) < kHalfCell;
}

// The first entry of a list after the given index whose cell the walker is
// on, or -1: what a scan of the list in order would find, found through the
// row index where it covers the list.
int NextUnderWalker(const Maze& maze, ComponentKind kind, int after) {
  const Point2* list = maze.list[kind];
  const RowIndex& index = maze.rowIndex[kind];
  int from = after + 1;
  Point2 walker = maze.walker;

  // Taken orbs have left the cells they were loaded on: near their new
  // place only a scan finds them.
  if (kind != kOrb || !MayReachTakenOrbs(walker.x, walker.y, kHalfCell)) {
    int found = -1;
    auto firstOnCell = [&](int i) {
      if (i < from || !IsOnCell(walker, list[i])) return false;
      found = i;
      return true;
    };
    VisitIndexedNear(index, list, walker.x, walker.y, kHalfCell, firstOnCell);
    if (found < 0) VisitAppendedNear(index, list, walker.x, walker.y, kHalfCell, firstOnCell);
    if (found >= 0) return found;
    from = std::max(from, index.count + index.appended);
  }
  for (int i = from; i < maze.used[kind]; i++)
    if (IsOnCell(walker, list[i])) return i;
  return -1;
}

// Adds a step to a stored coordinate, in double precision, rounded once.
void Move(float& coordinate, double step) {
  coordinate = static_cast<float>(coordinate + step);
}

}  // namespace

// Turns, then takes the whole step if it is free, else slides along y, else
// along x, else stays. The undos add and subtract on the stored coordinates,
// so an undone step may leave a coordinate off by a rounding.
void Maze::Update() {
  double h = heading + static_cast<double>(turnRate) * kTurnStep;
  heading = static_cast<float>(h);
  float s = static_cast<float>(-std::sin(h));
  float c = static_cast<float>(std::cos(h));
  double dx = static_cast<double>(s) * speed;
  double dy = static_cast<double>(c) * speed;

  Move(walker.x, dx);
  Move(walker.y, dy);
  if (!PositionIsFree()) {
    Move(walker.x, -dx);
    if (!PositionIsFree()) {
      Move(walker.x, dx);
      Move(walker.y, -dy);
      if (!PositionIsFree()) Move(walker.x, -dx);
    }
  }

  if (CheckOrbsAndPedestals()) {
    eyeHeight = kEyeOnOrb;
  } else {
    if (eyeHeight > kEyeResting) eyeHeight -= kEyeSinking;
    if (eyeHeight < kEyeResting) eyeHeight = kEyeResting;
  }

  CheckTeleports();
}

bool Maze::PositionIsFree() { return NextUnderWalker(*this, kWall, -1) < 0; }

// Takes at most one orb a tick, leaving a pedestal on its cell, so a walker
// who stays keeps the raised eye through the pedestal.
bool Maze::CheckOrbsAndPedestals() {
  int orb = NextUnderWalker(*this, kOrb, -1);
  if (orb >= 0) {
    Point2 place = list[kOrb][orb];
    int slot = GetNextFreeIndex(list[kPedestal]);
    list[kPedestal][slot] = place;
    IndexAppended(kPedestal, slot);
    list[kOrb][orb] = kOrbTaken;
    return true;
  }
  return NextUnderWalker(*this, kPedestal, -1) >= 0;
}

// A jump lands on the centre of a space cell, 5 units or more from every
// teleport in a maze read from a map, so the rest of the loop finds no more.
void Maze::CheckTeleports() {
  if (used[kSpace] == 0) return;  // nowhere to throw the walker: it stays
  for (int i = -1; (i = NextUnderWalker(*this, kTeleport, i)) >= 0;) {
    walker = list[kSpace][rand() % used[kSpace]];
    eyeHeight = kEyeAfterTeleport;
  }
}
