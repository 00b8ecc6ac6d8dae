// fuzz_support.cpp: fatal errors that jump back to the harness.
#include "fuzz_support.h"

#include <csetjmp>

#include "world/maze.h"

namespace {

jmp_buf gFatalJump;

[[noreturn]] void JumpBack(const char* message) {
  (void)message;
  longjmp(gFatalJump, 1);
}

}  // namespace

bool RunGuarded(void (*body)(void*), void* context) {
  gFatalHandler = JumpBack;
  if (setjmp(gFatalJump) != 0) {
    gFatalHandler = nullptr;
    return false;
  }
  body(context);
  gFatalHandler = nullptr;
  return true;
}
