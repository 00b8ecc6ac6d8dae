// draw.cpp: the camera, preclipping, distance shading and model instances.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "render/render.h"
#include "world/maze.h"
#include "world/row_index.h"

// Spin of orbs and teleports about the vertical axis, in degrees, [0, 360).
float gSpinAngle = 0;

namespace {

// The look-at target lies this far ahead of the eye, at this height.
const double kLookAhead = 20;
const double kLookHeight = 3;

// Preclipping: a cell is drawn only when nearer than the far plane and its
// direction lies within 135 degrees of the view direction. The cosine limit
// is kept as the decimal it has always been.
const double kDirectionLimit = -0.70710678118;

// Cells further than this on either axis are beyond the far plane, whatever
// the rounding: the window the row index is asked for.
const double kIndexReach = kFarPlane + kCellSize;

// Distances up to this are drawn at full brightness; from there the shade
// falls in a straight line to 0 at the far plane: 1.1 - 0.01 * distance,
// each constant the double nearest its decimal.
const double kFullBrightness = 10;
const double kShadeAtZero = kFarPlane / (kFarPlane - kFullBrightness);
const double kShadePerUnit = 1 / (kFarPlane - kFullBrightness);

// The spin is kept within a turn: a float that only grew would stop changing
// at 2^25 degrees, some hours into a fast run, and the orbs would freeze.
const float kSpinStep = 2;
const float kFullTurn = 360;

// In double precision, rounded once to float.
float Distance(Point2 from, Point2 to) {
  double dx = static_cast<double>(from.x) - to.x;
  double dy = static_cast<double>(from.y) - to.y;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

// A cell exactly under the eye gives 0/0, which fails the test: it is skipped.
bool IsVisible(Point2 eye, Point2 p, float s, float c, float d) {
  if (!(d < kFarPlane)) return false;  // beyond the far plane
  double cosine = ((static_cast<double>(p.x) - eye.x) / d) * s +
                  ((static_cast<double>(p.y) - eye.y) / d) * c;
  return cosine > kDirectionLimit;
}

// Falls from 1 at distance 10 to 0 at the far plane.
float Shade(float distance) {
  if (distance <= kFullBrightness) return 1;
  if (distance < kFarPlane) return static_cast<float>(kShadeAtZero - kShadePerUnit * distance);
  return 0;
}

}  // namespace

// Places the kind's model at every visible cell of its list, in list order.
// Only cells within reach of the far plane can be visible.
static void DrawList(Maze& maze, ComponentKind kind, float s, float c) {
  ModelKind m = kListModel[kind];
  bool spins = gRotateObjects && (kind == kOrb || kind == kTeleport);
  Point2 eye = maze.walker;
  VisitNear(maze, kind, eye.x, eye.y, kIndexReach, [&](int i) {
    Point2 p = maze.list[kind][i];
    float d = Distance(eye, p);
    if (!IsVisible(eye, p, s, c, d)) return false;
    glPushMatrix();
    glTranslatef(p.x, p.y, 0);
    if (spins) glRotatef(gSpinAngle, 0, 0, 1);
    gObjectsDrawn += maze.DrawComponent(maze.model[m], maze.modelCount[m], d);
    glPopMatrix();
    return false;
  });
}

// Every transform is multiplied onto the projection matrix; the modelview
// matrix stays the identity. The order of the lists is fixed: with blending
// on and no depth buffer it decides how overlapping lines mix.
void Maze::Draw() {
  gObjectsDrawn = 0;
  double h = heading;
  float s = static_cast<float>(-std::sin(h));
  float c = static_cast<float>(std::cos(h));

  glPushMatrix();
  gluLookAt(walker.x, walker.y, eyeHeight, walker.x + kLookAhead * s,
            walker.y + kLookAhead * c, kLookHeight, 0, 0, 1);

  DrawList(*this, kSpace, s, c);
  DrawList(*this, kWall, s, c);
  DrawList(*this, kOrb, s, c);
  DrawList(*this, kTeleport, s, c);
  gSpinAngle = std::fmod(gSpinAngle + kSpinStep, kFullTurn);
  DrawList(*this, kPedestal, s, c);
  DrawList(*this, kDoor, s, c);

  // The start marker is drawn every frame, wherever it lies.
  glPushMatrix();
  glTranslatef(start.x, start.y, 0);
  gObjectsDrawn += DrawComponent(model[kStartModel], modelCount[kStartModel],
                                 Distance(walker, start));
  glPopMatrix();

  glPopMatrix();
}

// Returns 1 when it drew the model, 0 for a model without polygons.
int Maze::DrawComponent(PolygonList polygons, int count, float distance) {
  if (count == 0) return 0;

  // Distant instances fade to black, and with blending to transparent.
  float f = Shade(distance);
  const Polygon& first = *polygons[0];
  if (gUseAlpha)
    glColor4f(f * first.r, f * first.g, f * first.b, f);
  else
    glColor3f(f * first.r, f * first.g, f * first.b);

  for (int i = 0; i < count; i++) {
    glVertexPointer(3, GL_FLOAT, sizeof(Vertex3), polygons[i]->vertices);
    glDrawArrays(GL_LINE_LOOP, 0, polygons[i]->used);
  }
  return 1;
}
