// callbacks.cpp: the GLUT callbacks that drive drawing.
#include <GL/glut.h>

#include "app/app.h"

void OnDisplay() {
  glClear(GL_COLOR_BUFFER_BIT);
  glFlush();
  glutSwapBuffers();
}
