// glu.cpp: gluPerspective and gluLookAt as GLU defines them, for the browser,
// whose emulation replaces the matrix with the first and leaves it unchanged
// with the second; both multiply onto the current matrix.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

static const double kPi = 3.14159265358979323846;

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
  double f = 1 / std::tan(fovy * kPi / 360);
  double depth = zNear - zFar;
  // Column by column.
  const GLdouble m[16] = {
      f / aspect, 0, 0, 0,
      0, f, 0, 0,
      0, 0, (zFar + zNear) / depth, -1,
      0, 0, 2 * zFar * zNear / depth, 0,
  };
  glMultMatrixd(m);
}

static void Normalize(double v[3]) {
  double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (length == 0) return;  // a degenerate view: left as it is, as GLU does
  for (int i = 0; i < 3; i++) v[i] /= length;
}

static void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
  double forward[3] = {centerX - eyeX, centerY - eyeY, centerZ - eyeZ};
  double up[3] = {upX, upY, upZ};
  double side[3];
  Normalize(forward);
  Cross(forward, up, side);
  Normalize(side);
  Cross(side, forward, up);
  // Rows side, up and -forward, written column by column.
  const GLdouble m[16] = {
      side[0], up[0], -forward[0], 0,
      side[1], up[1], -forward[1], 0,
      side[2], up[2], -forward[2], 0,
      0, 0, 0, 1,
  };
  glMultMatrixd(m);
  glTranslated(-eyeX, -eyeY, -eyeZ);
}
