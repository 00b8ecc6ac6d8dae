// main.cpp: start-up: options, window, fixed graphics state, world, GLUT loop.
#include <GL/glut.h>

#include <cstdlib>
#include <ctime>

#include "app/app.h"
#include "world/maze.h"

int main(int argc, char** argv) {
  // GLUT goes first and strips its own options.
  glutInit(&argc, argv);
  ParseArguments(argc, argv);

  OpenWindow();

  gStartTime = time(nullptr);
  srand(static_cast<unsigned>(gStartTime));

  gMaze.LoadMaze();
  gMaze.LoadComponentModels();

  glutTimerFunc(kTickMilliseconds, OnTimer, 1);

  glutMainLoop();
  return 0;
}
