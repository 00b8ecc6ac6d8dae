// model_fuzzer.cpp: the model file reader on arbitrary bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "world/maze.h"

namespace {

struct Run {
  Maze* maze;
  FILE* file;
};

void Load(void* context) {
  Run* run = static_cast<Run*>(context);
  Maze& maze = *run->maze;
  maze.LoadPolygonList(run->file, maze.model[0], maze.modelCount[0], "model.txt");
}

// The stream's buffer is the harness's, so that the reader allocates nothing
// that outlives a run but its model.
char gStreamBuffer[BUFSIZ];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  // The reader prints; stdout's buffer is made now, not inside a run.
  printf("\n");
  fflush(stdout);
  gVerbose = getenv("ZUMBREL_FUZZ_VERBOSE") != nullptr;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (file == nullptr) return 0;  // fmemopen refuses an empty buffer
  setvbuf(file, gStreamBuffer, _IOFBF, sizeof gStreamBuffer);

  // Whatever the run built, finished or not, its Maze frees.
  Maze* maze = new Maze;
  Run run{maze, file};
  RunGuarded(Load, &run);
  delete maze;
  fclose(file);
  return 0;
}
