// maze_fuzzer.cpp: the maze file reader on arbitrary bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz_support.h"
#include "world/maze.h"

namespace {

// The reader opens maze.txt in the working directory: a private one, entered
// only for the read, since the fuzzer's own paths may be relative.
char gWorkDir[] = "/tmp/zumbrel-maze-fuzz-XXXXXX";

void Load(void* context) { static_cast<Maze*>(context)->LoadMaze(); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  (void)argc;
  (void)argv;
  if (mkdtemp(gWorkDir) == nullptr) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int home = open(".", O_RDONLY | O_DIRECTORY);
  if (home < 0 || chdir(gWorkDir) != 0) abort();
  FILE* file = fopen("maze.txt", "wb");
  if (file == nullptr) abort();
  fwrite(data, 1, size, file);
  fclose(file);

  // The reader's only fatal errors are failed allocations; its Maze frees
  // what it built either way.
  Maze* maze = new Maze;
  RunGuarded(Load, maze);
  delete maze;
  if (fchdir(home) != 0) abort();
  close(home);
  return 0;
}
