// The page's gluPerspective and gluLookAt against the platform's GLU: the
// same matrices, in a GL context on the display.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

// Declared by GLU's header, under GLU's names, as C functions.
extern "C" void PagePerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
extern "C" void PageLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
                GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ);

namespace {

// The modelview matrix that set leaves on the identity.
std::vector<double> MatrixOf(void (*set)(const double*), const double* args) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  set(args);
  std::vector<double> matrix(16);
  glGetDoublev(GL_MODELVIEW_MATRIX, matrix.data());
  return matrix;
}

}  // namespace

TEST(GluTest, ThePagesMatricesAreThePlatformsGlus) {
  int argc = 1;
  char name[] = "glu_test", *argv[] = {name, nullptr};
  glutInit(&argc, argv);
  glutCreateWindow("glu_test");
  using Set = void (*)(const double*);
  Set perspective[] = {[](const double* a) { gluPerspective(a[0], a[1], a[2], a[3]); },
                       [](const double* a) { PagePerspective(a[0], a[1], a[2], a[3]); }};
  Set lookAt[] = {
      [](const double* a) { gluLookAt(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]); },
      [](const double* a) { PageLookAt(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]); }};
  // The game's view, a wider one, and views from off to the side and above.
  const struct {
    Set* set;
    double args[9];
  } cases[] = {{perspective, {60, 1, 1, 110}}, {perspective, {90, 1.6, 0.5, 300}},
               {lookAt, {0, 3, 0, 0.8, 3, -0.6, 0, 1, 0}},
               {lookAt, {12.5, 40, -7, 10, 3, -20, 0, 1, 0}},
               {lookAt, {1, 2, 3, 4, -5, 6, 0.3, 0.9, 0.1}}};
  for (const auto& c : cases) {
    std::vector<double> glu = MatrixOf(c.set[0], c.args), page = MatrixOf(c.set[1], c.args);
    // GL keeps the matrix in single precision.
    for (int i = 0; i < 16; i++)
      EXPECT_NEAR(page[i], glu[i], 1e-6 * std::max(1.0, std::fabs(glu[i])))
          << "entry " << i << ", case " << c.args[0];
  }
}
