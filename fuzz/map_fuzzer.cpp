// map_fuzzer.cpp: zumbrel-map's own code on arbitrary maze bytes: its cells
// and their places in the file, the walker's reach, the check and the SVG.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "maze_map.h"

namespace {

struct Run {
  MazeCells* cells;
  FILE* file;
};

FILE* gDevNull;

void Map(void* context) {
  Run* run = static_cast<Run*>(context);
  if (!ReadMazeCells(run->file, *run->cells)) abort();  // memory never fails
  CheckMaze(*run->cells);
  // The whole map, and a part from the second line on.
  WriteMapSvg(gDevNull, *run->cells, 0, std::max<int64_t>(run->cells->Rows(), 1));
  WriteMapSvg(gDevNull, *run->cells, run->cells->FirstRowOfLine(2), run->cells->Rows());
}

char gStreamBuffer[BUFSIZ];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  gDevNull = fopen("/dev/null", "w");
  if (gDevNull == nullptr) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (file == nullptr) return 0;
  setvbuf(file, gStreamBuffer, _IOFBF, sizeof gStreamBuffer);
  MazeCells* cells = new MazeCells;
  Run run{cells, file};
  RunGuarded(Map, &run);
  delete cells;
  fclose(file);
  return 0;
}
