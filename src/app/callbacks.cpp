// callbacks.cpp: the GLUT callbacks that drive drawing.
#include <GL/glut.h>

#include "app/app.h"
#include "world/maze.h"

void OnDisplay() {
  glClear(GL_COLOR_BUFFER_BIT);
  gMaze.Draw();
  glFlush();
  glutSwapBuffers();
  CountFrame();
}
