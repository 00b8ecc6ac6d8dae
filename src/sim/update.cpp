// update.cpp: one tick of the world: walking, walls, orbs, eye height, teleports.
#include <cmath>
#include <cstdlib>

#include "world/maze.h"

namespace {

// The walker is on a cell when strictly inside its 5-unit square.
const double kHalfCell = 2.5;

// Radians turned per tick at a turn rate of 1, held in single precision.
const float kTurnStep = 0.1f;

const float kEyeOnOrb = 7;
const float kEyeResting = 3;
const float kEyeSinking = 0.5f;
const float kEyeAfterTeleport = 40;

// Where a picked-up orb goes: far outside every test and beyond drawing.
const Point2 kOrbTaken = {-100000, -100000};

bool IsOnCell(Point2 walker, Point2 cell) {
  return std::fabs(static_cast<double>(walker.x) - cell.x) < kHalfCell &&
         std::fabs(static_cast<double>(walker.y) - cell.y) < kHalfCell;
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

bool Maze::PositionIsFree() {
  for (int i = 0; i < used[kWall]; i++)
    if (IsOnCell(walker, list[kWall][i])) return false;
  return true;
}

// Takes at most one orb a tick, leaving a pedestal on its cell, so a walker
// who stays keeps the raised eye through the pedestal.
bool Maze::CheckOrbsAndPedestals() {
  for (int i = 0; i < used[kOrb]; i++) {
    if (!IsOnCell(walker, list[kOrb][i])) continue;
    Point2 orb = list[kOrb][i];
    int slot = GetNextFreeIndex(list[kPedestal]);
    list[kPedestal][slot] = orb;
    list[kOrb][i] = kOrbTaken;
    return true;
  }
  for (int i = 0; i < used[kPedestal]; i++)
    if (IsOnCell(walker, list[kPedestal][i])) return true;
  return false;
}

// A jump lands on the centre of a space cell, 5 units or more from every
// teleport in a maze read from a map, so the rest of the loop finds no more.
void Maze::CheckTeleports() {
  if (used[kSpace] == 0) return;  // nowhere to throw the walker: it stays
  for (int i = 0; i < used[kTeleport]; i++) {
    if (!IsOnCell(walker, list[kTeleport][i])) continue;
    walker = list[kSpace][rand() % used[kSpace]];
    eyeHeight = kEyeAfterTeleport;
  }
}
