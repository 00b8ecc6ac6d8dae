// update.cpp: one tick of the world: walking, walls, orbs, eye height, teleports.
#include <cmath>
#include <cstdlib>

#include "sim/steps.h"
#include "world/maze.h"
#include "world/row_index.h"

namespace {

const double kHalfCell = kCellSize / 2.0;

// Radians turned per tick at a turn rate of 1, held in single precision.
const float kTurnStep = 0.1f;

// Past this many radians, either way, whole turns are taken off the
// heading: a float that only grew would round the turning step, and in the
// end stop turning. A thousand turns keeps the step within 0.3 per cent.
const double kFullTurn = 2 * M_PI;
const double kHeadingBound = 1000 * kFullTurn;

const float kEyeOnOrb = 7;
const float kEyeResting = 3;
const float kEyeSinking = 0.5f;
const float kEyeAfterTeleport = 40;

// The walker is on a cell when inside its square. A wall's square, and a
// teleport's, holds its edges too, so that the line between two of them is
// no way through; an orb's and a pedestal's holds only its inside.
bool IsOnCell(ComponentKind kind, Point2 walker, Point2 cell) {
  double dx = std::fabs(static_cast<double>(walker.x) - cell.x);
  double dy = std::fabs(static_cast<double>(walker.y) - cell.y);
  if (kind == kWall || kind == kTeleport) return dx <= kHalfCell && dy <= kHalfCell;
  return dx < kHalfCell && dy < kHalfCell;
}

// A taken orb has left the world: it is on no cell, not even at the place
// it was taken to, so that it is never taken again.
bool IsTaken(ComponentKind kind, Point2 p) {
  return kind == kOrb && p.x == kOrbTaken.x && p.y == kOrbTaken.y;
}

// The first entry of a kind's list, from index from on, whose cell the
// walker is on, or -1: what a scan of the list in order would find.
int FirstUnderWalker(const Maze& maze, ComponentKind kind, int from) {
  Point2 walker = maze.walker;
  int found = -1;
  VisitNear(maze, kind, walker.x, walker.y, kHalfCell, [&](int i) {
    Point2 p = maze.list[kind][i];
    if (i < from || IsTaken(kind, p) || !IsOnCell(kind, walker, p)) return false;
    found = i;
    return true;
  });
  return found;
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
  if (std::fabs(h) > kHeadingBound) h = std::fmod(h, kFullTurn);
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

bool Maze::PositionIsFree() { return FirstUnderWalker(*this, kWall, 0) < 0; }

// Walls refuse a step (PositionIsFree); teleports throw (CheckTeleports).
StepOutcome OutcomeOfStepOnto(int kind, bool teleportsThrow) {
  if (kind == kWall) return kStepRefused;
  if (kind == kTeleport && teleportsThrow) return kStepThrown;
  return kStepTaken;
}

// Takes at most one orb a tick, leaving a pedestal on its cell, so a walker
// who stays keeps the raised eye through the pedestal.
bool Maze::CheckOrbsAndPedestals() {
  int orb = FirstUnderWalker(*this, kOrb, 0);
  if (orb >= 0) {
    Point2 place = list[kOrb][orb];
    int slot = GetNextFreeIndex(&list[kPedestal]);
    list[kPedestal].Set(slot, place);
    IndexAppended(kPedestal, slot);
    list[kOrb].Set(orb, kOrbTaken);
    return true;
  }
  return FirstUnderWalker(*this, kPedestal, 0) >= 0;
}

// A jump lands on the centre of a space cell, 5 units or more from every
// teleport in a maze read from a map, so the rest of the loop finds no more.
void Maze::CheckTeleports() {
  if (!TeleportsThrow(*this)) return;  // nowhere to throw the walker: it stays
  for (int i = -1; (i = FirstUnderWalker(*this, kTeleport, i + 1)) >= 0;) {
    walker = list[kSpace][DrawBelow(used[kSpace], rand, RAND_MAX)];
    eyeHeight = kEyeAfterTeleport;
  }
}

int DrawBelow(int count, int (*draw)(), int64_t drawMax) {
  // glibc's draws, and every walk recorded with them, stay as they were.
  int64_t base = drawMax + 1;
  if (base == kGlibcDraws) return draw() % count;
  // Whole draws, as digits in base drawMax + 1, until they span the count;
  // a number from the last, partial span of counts is drawn again, so that
  // no index comes up more often than another.
  for (;;) {
    int64_t span = 1, value = 0;
    while (span < count) {
      value = value * base + draw();
      span *= base;
    }
    if (value < span - span % count) return static_cast<int>(value % count);
  }
}
