// fuzz_support.cpp: fatal errors that jump back to the harness, and the
// freeing of what a run abandoned when it did.
#include "fuzz_support.h"

#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>

#include "world/maze.h"

namespace {

jmp_buf gFatalJump;
bool gGuarded = false;

// Allocations made during the guarded run. The hooks run inside the
// allocator, so they must not allocate themselves: a fixed table serves.
const size_t kMaxTracked = 1 << 20;
void* gTracked[kMaxTracked];
size_t gTrackedCount = 0;

void OnMalloc(const volatile void* pointer, size_t size) {
  (void)size;
  if (gGuarded && gTrackedCount < kMaxTracked)
    gTracked[gTrackedCount++] = const_cast<void*>(pointer);
}

void OnFree(const volatile void* pointer) { (void)pointer; }

// Frees what the run allocated and did not free. An address freed and handed
// out again stands in the table twice and is freed once.
void FreeAbandoned() {
  std::sort(gTracked, gTracked + gTrackedCount);
  size_t unique = static_cast<size_t>(std::unique(gTracked, gTracked + gTrackedCount) - gTracked);
  for (size_t i = 0; i < unique; i++)
    if (__sanitizer_get_ownership(gTracked[i])) free(gTracked[i]);
}

}  // namespace

// Replaces the program's Fatal, which would end the fuzzer with exit(1).
void Fatal(const char* message) {
  (void)message;
  longjmp(gFatalJump, 1);
}

bool RunGuarded(void (*body)(void*), void* context, bool freeAbandoned) {
  static bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  (void)hooked;
  gTrackedCount = 0;
  gGuarded = true;
  if (setjmp(gFatalJump) != 0) {
    gGuarded = false;
    if (freeAbandoned) FreeAbandoned();
    return false;
  }
  body(context);
  gGuarded = false;
  return true;
}
