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
  PolygonList polygons;
  int count;
};

void Load(void* context) {
  Run* run = static_cast<Run*>(context);
  run->maze->LoadPolygonList(run->file, run->polygons, run->count, "model.txt");
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

  static Maze maze;
  Run run{&maze, file, nullptr, -1};
  if (RunGuarded(Load, &run, true)) {
    for (int i = 0; i < run.count; i++) {
      free(run.polygons[i]->vertices);
      delete run.polygons[i];
    }
    free(run.polygons);
  }
  fclose(file);
  return 0;
}
