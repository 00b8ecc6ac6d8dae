// bench.cpp: the frame, the tick and the maze reader on generated mazes of
// 10 thousand to 5.1 million cells, with the row index and with plain scans.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include "mazegen.h"
#include "oracle/plain_scans.h"
#include "world/maze.h"
#include "world/row_index.h"

namespace {

// A maze of about this many cells: rows as wide as the reader takes, and
// one cell in a hundred each a door, an orb, a pedestal and a teleport.
MazeRequest RequestOfSize(int cells) {
  MazeRequest request;
  request.width = 100;
  while (request.width < kWidestMaze && request.width * request.width < cells) request.width++;
  request.height = cells / request.width;
  request.seed = static_cast<uint64_t>(cells);
  request.doors = request.orbs = request.pedestals = request.teleports = cells / 100;
  return request;
}

// A directory holding maze.txt for each size, written once.
std::string MazeDirectory(int cells) {
  static std::map<int, std::string> directories;
  auto found = directories.find(cells);
  if (found != directories.end()) return found->second;
  char pattern[] = "/tmp/zumbrel-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  std::string maze, error;
  if (!GenerateMaze(RequestOfSize(cells), maze, error)) abort();
  FILE* file = fopen((std::string(pattern) + "/maze.txt").c_str(), "wb");
  fwrite(maze.data(), 1, maze.size(), file);
  fclose(file);
  return directories[cells] = pattern;
}

// Loads a maze with the reader's output out of the way.
void LoadQuietly(Maze& maze, int cells) {
  std::string home(4096, '\0');
  if (getcwd(&home[0], home.size()) == nullptr || chdir(MazeDirectory(cells).c_str()) != 0)
    abort();
  FILE* saved = stdout;
  stdout = fopen("/dev/null", "w");
  maze.LoadMaze();
  fclose(stdout);
  stdout = saved;
  if (chdir(home.c_str()) != 0) abort();
}

void Release(Maze& maze) {
  for (int k = 0; k < kNumComponentKinds; k++) {
    free(maze.list[k]);
    ClearRowIndex(maze.rowIndex[k]);
  }
}

// One loaded maze of each size, with a model of three polygons per kind.
Maze& LoadedMaze(int cells) {
  static std::map<int, Maze*> mazes;
  Maze*& maze = mazes[cells];
  if (maze != nullptr) return *maze;
  maze = new Maze;
  LoadQuietly(*maze, cells);
  for (int m = 0; m < kNumModelKinds; m++) {
    maze->model[m] = static_cast<PolygonList>(malloc(3 * sizeof(Polygon*)));
    for (int i = 0; i < 3; i++) {
      Polygon* polygon = new Polygon;
      polygon->SetVertexCount(4);
      polygon->SetColor(1, 1, 1);
      for (int v = 0; v < 4; v++) polygon->AddVertex(v, 0, 0);
      maze->model[m][i] = polygon;
    }
    maze->modelCount[m] = 3;
  }
  return *maze;
}

// Frames from one space cell after another, looking every way.
template <void (*DrawFrame)(Maze&)>
void BM_Draw(benchmark::State& state) {
  Maze& maze = LoadedMaze(static_cast<int>(state.range(0)));
  std::mt19937 random(1);
  for (auto _ : state) {
    maze.walker = maze.list[kSpace][random() % maze.used[kSpace]];
    maze.walker.x += 1.25f;
    maze.heading = static_cast<float>(random() % 628) / 100;
    DrawFrame(maze);
  }
  state.counters["cells"] = static_cast<double>(state.range(0));
}

// Ticks of a walker with random keys, starting from the start cell.
template <void (*Tick)(Maze&)>
void BM_Update(benchmark::State& state) {
  Maze& maze = LoadedMaze(static_cast<int>(state.range(0)));
  maze.walker = maze.start;
  std::mt19937 random(2);
  srand(2);
  for (auto _ : state) {
    if (random() % 8 == 0) maze.speed = static_cast<float>(static_cast<int>(random() % 3) - 1);
    if (random() % 8 == 0) maze.turnRate = static_cast<float>(static_cast<int>(random() % 3) - 1);
    Tick(maze);
  }
  state.counters["cells"] = static_cast<double>(state.range(0));
}

void IndexedDraw(Maze& maze) { maze.Draw(); }
void IndexedUpdate(Maze& maze) { maze.Update(); }

// A figure of /proc/self/status, in kibibytes.
long StatusKiB(const char* field) {
  FILE* status = fopen("/proc/self/status", "r");
  char line[256];
  long value = -1;
  while (status != nullptr && fgets(line, sizeof line, status) != nullptr)
    if (strncmp(line, field, strlen(field)) == 0) value = atol(line + strlen(field));
  if (status != nullptr) fclose(status);
  return value;
}

// The most memory a fresh process holds while it loads the maze, less what
// it held before, per cell.
double PeakBytesPerCell(int cells) {
  MazeDirectory(cells);  // written before the child starts
  int channel[2];
  if (pipe(channel) != 0) abort();
  pid_t child = fork();
  if (child == 0) {
    // The child inherits the parent's high-water mark: start it afresh.
    FILE* clear = fopen("/proc/self/clear_refs", "w");
    if (clear == nullptr || fputs("5", clear) < 0 || fclose(clear) != 0) _exit(1);
    long before = StatusKiB("VmRSS:");
    Maze* maze = new Maze;
    LoadQuietly(*maze, cells);
    long grownKiB = StatusKiB("VmHWM:") - before;
    ssize_t written = write(channel[1], &grownKiB, sizeof grownKiB);
    _exit(written == sizeof grownKiB ? 0 : 1);
  }
  close(channel[1]);
  long grownKiB = 0;
  if (read(channel[0], &grownKiB, sizeof grownKiB) != sizeof grownKiB) grownKiB = -1;
  close(channel[0]);
  waitpid(child, nullptr, 0);
  return grownKiB * 1024.0 / cells;
}

void BM_LoadMaze(benchmark::State& state) {
  int cells = static_cast<int>(state.range(0));
  MazeDirectory(cells);
  for (auto _ : state) {
    Maze maze;
    LoadQuietly(maze, cells);
    state.PauseTiming();
    Release(maze);
    state.ResumeTiming();
  }
  state.counters["cells"] = cells;
  state.counters["peak_bytes_per_cell"] = PeakBytesPerCell(cells);
}

}  // namespace

#define SIZES Arg(10000)->Arg(100000)->Arg(1000000)->Arg(5100000)

BENCHMARK(BM_Draw<IndexedDraw>)->Name("Draw")->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Draw<PlainDraw>)->Name("DrawPlainScan")->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Update<IndexedUpdate>)->Name("Update")->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Update<PlainUpdate>)->Name("UpdatePlainScan")->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadMaze)->Name("LoadMaze")->SIZES->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
