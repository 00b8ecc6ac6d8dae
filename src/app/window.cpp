// window.cpp: the window, its callbacks and the fixed graphics state.
#include <GL/glut.h>

#include <cerrno>

#include "app/app.h"
#include "render/render.h"
#include "world/maze.h"

// Vertex arrays, optional blending and the perspective that every later
// transform is multiplied onto.
static void SetUpGraphics() {
  glEnableClientState(GL_VERTEX_ARRAY);
  if (gUseAlpha) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60, 1, 0.1, kFarPlane);

  // The renderer pushes two matrices onto the projection matrix; a shorter
  // stack would silently draw a wrong picture.
  GLint depth = 0;
  glGetIntegerv(GL_MAX_PROJECTION_STACK_DEPTH, &depth);
  if (depth < 3) {
    errno = ENOTSUP;
    Fatal("The projection matrix stack holds fewer than three matrices. Aborting.  ");
  }
}

void OpenWindow() {
  glutInitDisplayMode(GLUT_DOUBLE);
  glutCreateWindow("Zumbrel");
  glutReshapeWindow(500, 500);
  glutIgnoreKeyRepeat(1);
  glutDisplayFunc(OnDisplay);
  glutIdleFunc(OnDisplay);
  glutKeyboardFunc(OnKeyDown);
  glutKeyboardUpFunc(OnKeyUp);
  SetUpGraphics();
  gWindowId = glutGetWindow();
}
