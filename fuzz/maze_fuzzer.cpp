// maze_fuzzer.cpp: the maze file reader and its row index on arbitrary bytes.
#include <cstdint>
#include <cstdio>

#include "fuzz_support.h"
#include "world/maze.h"

namespace {

struct Run {
  Maze* maze;
  FILE* file;
};

void Load(void* context) {
  Run* run = static_cast<Run*>(context);
  run->maze->ReadMaze(run->file);
  run->maze->IndexRows();
}

// The stream's buffer is the harness's, so that the reader allocates nothing
// that outlives a run but its lists.
char gStreamBuffer[BUFSIZ];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (file == nullptr) return 0;  // fmemopen refuses an empty buffer
  setvbuf(file, gStreamBuffer, _IOFBF, sizeof gStreamBuffer);

  // The reader's only fatal errors are failed allocations; the harness
  // closes the file and frees the Maze either way.
  Maze* maze = new Maze;
  Run run{maze, file};
  RunGuarded(Load, &run);
  delete maze;
  fclose(file);
  return 0;
}
