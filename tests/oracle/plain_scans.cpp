// plain_scans.cpp: every cell tested, every frame and every tick, in list
// order: slow, and plainly right.
#include "plain_scans.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdlib>

#include "render/render.h"

namespace {

bool OnCell(Point2 walker, Point2 cell) {
  return std::fabs(static_cast<double>(walker.x) - cell.x) < 2.5 &&
         std::fabs(static_cast<double>(walker.y) - cell.y) < 2.5;
}

bool Free(const Maze& maze) {
  for (int i = 0; i < maze.used[kWall]; i++)
    if (OnCell(maze.walker, maze.list[kWall][i])) return false;
  return true;
}

bool OnOrbOrPedestal(Maze& maze) {
  for (int i = 0; i < maze.used[kOrb]; i++) {
    Point2 orb = maze.list[kOrb][i];
    bool taken = orb.x == -100000 && orb.y == -100000;
    if (taken || !OnCell(maze.walker, orb)) continue;
    int slot = maze.GetNextFreeIndex(&maze.list[kPedestal]);
    maze.list[kPedestal].Set(slot, orb);
    maze.list[kOrb].Set(i, Point2{-100000, -100000});
    return true;
  }
  for (int i = 0; i < maze.used[kPedestal]; i++)
    if (OnCell(maze.walker, maze.list[kPedestal][i])) return true;
  return false;
}

void Teleport(Maze& maze) {
  if (maze.used[kSpace] == 0) return;
  for (int i = 0; i < maze.used[kTeleport]; i++) {
    if (!OnCell(maze.walker, maze.list[kTeleport][i])) continue;
    maze.walker = maze.list[kSpace][rand() % maze.used[kSpace]];
    maze.eyeHeight = 40;
  }
}

float Distance(Point2 a, Point2 b) {
  double dx = static_cast<double>(a.x) - b.x, dy = static_cast<double>(a.y) - b.y;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

void DrawEvery(Maze& maze, ComponentKind kind, float s, float c) {
  ModelKind m = kListModel[kind];
  for (int i = 0; i < maze.used[kind]; i++) {
    Point2 p = maze.list[kind][i];
    float d = Distance(maze.walker, p);
    if (!(d < 110 && ((static_cast<double>(p.x) - maze.walker.x) / d) * s +
                             ((static_cast<double>(p.y) - maze.walker.y) / d) * c >
                         -0.70710678118))
      continue;
    glPushMatrix();
    glTranslatef(p.x, p.y, 0);
    if (gRotateObjects && (kind == kOrb || kind == kTeleport)) glRotatef(gSpinAngle, 0, 0, 1);
    gObjectsDrawn += maze.DrawComponent(maze.model[m], maze.modelCount[m], d);
    glPopMatrix();
  }
}

}  // namespace

void PlainDraw(Maze& maze) {
  gObjectsDrawn = 0;
  double h = maze.heading;
  float s = static_cast<float>(-std::sin(h)), c = static_cast<float>(std::cos(h));
  glPushMatrix();
  gluLookAt(maze.walker.x, maze.walker.y, maze.eyeHeight, maze.walker.x + 20.0 * s,
            maze.walker.y + 20.0 * c, 3, 0, 0, 1);
  DrawEvery(maze, kSpace, s, c);
  DrawEvery(maze, kWall, s, c);
  DrawEvery(maze, kOrb, s, c);
  DrawEvery(maze, kTeleport, s, c);
  gSpinAngle = std::fmod(gSpinAngle + 2.0f, 360.0f);
  DrawEvery(maze, kPedestal, s, c);
  DrawEvery(maze, kDoor, s, c);
  glPushMatrix();
  glTranslatef(maze.start.x, maze.start.y, 0);
  gObjectsDrawn += maze.DrawComponent(maze.model[kStartModel], maze.modelCount[kStartModel],
                                      Distance(maze.walker, maze.start));
  glPopMatrix();
  glPopMatrix();
}

void PlainUpdate(Maze& maze) {
  double h = maze.heading + static_cast<double>(maze.turnRate) * 0.1f;
  if (std::fabs(h) > 2000 * M_PI) h = std::fmod(h, 2 * M_PI);
  maze.heading = static_cast<float>(h);
  float s = static_cast<float>(-std::sin(h)), c = static_cast<float>(std::cos(h));
  double dx = static_cast<double>(s) * maze.speed, dy = static_cast<double>(c) * maze.speed;
  float& x = maze.walker.x;
  float& y = maze.walker.y;
  x = static_cast<float>(x + dx);
  y = static_cast<float>(y + dy);
  if (!Free(maze)) {
    x = static_cast<float>(x - dx);
    if (!Free(maze)) {
      x = static_cast<float>(x + dx);
      y = static_cast<float>(y - dy);
      if (!Free(maze)) x = static_cast<float>(x - dx);
    }
  }
  if (OnOrbOrPedestal(maze)) {
    maze.eyeHeight = 7;
  } else {
    if (maze.eyeHeight > 3) maze.eyeHeight -= 0.5f;
    if (maze.eyeHeight < 3) maze.eyeHeight = 3;
  }
  Teleport(maze);
}
