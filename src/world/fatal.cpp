// fatal.cpp: the end of the program after an error it cannot go on from.
#include <cstdlib>

#include "world/maze.h"

void (*gFatalHandler)(const char* message) = nullptr;

void Fatal(const char* message) {
  if (gFatalHandler != nullptr) gFatalHandler(message);
  perror(message);
  exit(1);
}
