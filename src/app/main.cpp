// main.cpp: start-up: options, window, fixed graphics state, world, GLUT loop.
#include <GL/glut.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "app/app.h"
#include "render/render.h"
#include "world/maze.h"

// The fixed graphics state: vertex arrays, optional blending and the
// perspective that every later transform is multiplied onto.
static void SetUpGraphics() {
  glEnableClientState(GL_VERTEX_ARRAY);
  if (gUseAlpha) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60, 1, 0.1, 110);

  // The renderer pushes two matrices onto the projection matrix; a shorter
  // stack would silently draw a wrong picture.
  GLint depth = 0;
  glGetIntegerv(GL_MAX_PROJECTION_STACK_DEPTH, &depth);
  if (depth < 3) {
    errno = ENOTSUP;
    Fatal("The projection matrix stack holds fewer than three matrices. Aborting.  ");
  }
}

int main(int argc, char** argv) {
  // GLUT goes first and strips its own options.
  glutInit(&argc, argv);
  ParseArguments(argc, argv);

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
  gStartTime = time(nullptr);
  srand(static_cast<unsigned>(gStartTime));

  gMaze.LoadMaze();
  gMaze.LoadComponentModels();

  glutTimerFunc(kTickMilliseconds, OnTimer, 1);

  glutMainLoop();
  return 0;
}
