// keys.cpp: the keyboard callbacks: they only steer the walker, or quit.
#include <cstdlib>

#include "app/app.h"
#include "world/maze.h"

static const unsigned char kEscape = 27;

void OnKeyDown(unsigned char key, int x, int y) {
  (void)x;
  (void)y;
  switch (key) {
    case kEscape: exit(0);
    case 'I': case 'i': gMaze.speed = 1; break;
    case 'K': case 'k': gMaze.speed = -1; break;
    case 'J': case 'j': gMaze.turnRate = 1; break;
    case 'L': case 'l': gMaze.turnRate = -1; break;
    default: break;
  }
}

// Releasing either walking key stops the walker, even while the other is
// still held.
void OnKeyUp(unsigned char key, int x, int y) {
  (void)x;
  (void)y;
  switch (key) {
    case 'I': case 'i': case 'K': case 'k': gMaze.speed = 0; break;
    case 'J': case 'j': case 'L': case 'l': gMaze.turnRate = 0; break;
    default: break;
  }
}
