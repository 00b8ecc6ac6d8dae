// callbacks.cpp: the GLUT callbacks that drive drawing and the simulation tick.
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

// Re-armed only after the tick has run, so ticks come at least 50 ms apart
// and a late one is not made up for.
void OnTimer(int value) {
  (void)value;
  gMaze.Update();
  glutPostWindowRedisplay(gWindowId);
  glutTimerFunc(kTickMilliseconds, OnTimer, 1);
  gUpdateCount++;
}
