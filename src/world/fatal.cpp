// fatal.cpp: the end of the program after an error it cannot go on from.
#include <cstdlib>

#include "world/maze.h"

void Fatal(const char* message) {
  perror(message);
  exit(1);
}
