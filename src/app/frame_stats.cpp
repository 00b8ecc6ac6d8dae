// frame_stats.cpp: counts frames and prints the report every hundredth one.
#include <cstdio>
#include <ctime>

#include "app/app.h"
#include "render/render.h"
#include "world/maze.h"

int64_t gFrameCount = 0;
int64_t gNowTime = 0;  // seconds, the clock at the last report

// Rates are averages since start-up. Elapsed time may be 0 seconds: the
// divisions are in floating point, so a rate then prints as inf, or as nan
// while its count is 0 too.
void PrintFrameReport(int64_t elapsed) {
  printf("Average fps: updated %g, display %g. preclipping hit rate: %.1f %% \n",
         static_cast<double>(gUpdateCount) / static_cast<double>(elapsed),
         static_cast<double>(gFrameCount) / static_cast<double>(elapsed),
         (1 - static_cast<double>(gObjectsDrawn) / gObjectTotal) * 100);
}

void CountFrame() {
  int64_t old = gFrameCount;
  gFrameCount++;
  if (old % 100 != 99) return;  // not the 100th, 200th, ... frame
  gNowTime = time(nullptr);
  PrintFrameReport(gNowTime - gStartTime);
}
