// bench.cpp: the frame, the tick, the maze reader and zumbrel-map's check and
// map on generated mazes of 10 thousand to 5.1 million cells, with the row
// index and with plain scans.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "maze_map.h"
#include "mazegen.h"
#include "oracle/plain_scans.h"
#include "world/maze.h"

namespace {

// A maze of about this many cells: rows as wide as a maze can be, and
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

// Loads the maze in a directory with the reader's output out of the way.
void LoadQuietly(Maze& maze, const std::string& directory) {
  std::string home(4096, '\0');
  if (getcwd(&home[0], home.size()) == nullptr || chdir(directory.c_str()) != 0) abort();
  FILE* saved = stdout;
  stdout = fopen("/dev/null", "w");
  maze.LoadMaze();
  fclose(stdout);
  stdout = saved;
  if (chdir(home.c_str()) != 0) abort();
}

// One loaded maze of each size, with a model of three polygons per kind.
Maze& LoadedMaze(int cells) {
  static std::map<int, Maze*> mazes;
  Maze*& maze = mazes[cells];
  if (maze != nullptr) return *maze;
  maze = new Maze;
  LoadQuietly(*maze, MazeDirectory(cells));
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

// A walker put on a random space cell every hundred frames or ticks, with
// random keys in between: the cost of a typical frame or tick, whatever the
// layout near the start, with the memory near the walker as warm as walking
// keeps it.
void Wander(Maze& maze, int64_t step, std::mt19937& random) {
  if (step % 100 == 0) {
    maze.walker = maze.list[kSpace][random() % maze.used[kSpace]];
    maze.walker.x += 1.25f;
  }
  if (random() % 8 == 0) maze.speed = static_cast<float>(static_cast<int>(random() % 3) - 1);
  if (random() % 8 == 0) maze.turnRate = static_cast<float>(static_cast<int>(random() % 3) - 1);
  maze.heading += 0.1f * maze.turnRate;
}

template <void (*DrawFrame)(Maze&)>
void BM_Draw(benchmark::State& state) {
  Maze& maze = LoadedMaze(static_cast<int>(state.range(0)));
  std::mt19937 random(1);
  int64_t frame = 0;
  for (auto _ : state) {
    Wander(maze, frame++, random);
    DrawFrame(maze);
  }
  state.counters["cells"] = static_cast<double>(state.range(0));
}

template <void (*Tick)(Maze&)>
void BM_Update(benchmark::State& state) {
  Maze& maze = LoadedMaze(static_cast<int>(state.range(0)));
  std::mt19937 random(2);
  srand(2);
  int64_t tick = 0;
  for (auto _ : state) {
    Wander(maze, tick++, random);
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

// What zumbrel-map --check does with the maze in a directory.
void CheckTheMap(const std::string& directory, std::vector<MazeProblem>* problems) {
  FILE* file = fopen((directory + "/maze.txt").c_str(), "r");
  MazeCells cells;
  if (file == nullptr || !ReadMazeCells(file, cells)) abort();
  fclose(file);
  *problems = CheckMaze(cells);
}

// How much more memory than before a fresh process holds at its peak while
// it loads the maze in the directory, or checks it as zumbrel-map does: what
// the bench program prints when run as "zumbrel_bench --load-peak DIR" or
// "zumbrel_bench --map-peak DIR".
int PrintPeak(const char* task, const char* directory) {
  long before = StatusKiB("VmRSS:");
  if (strcmp(task, "--load-peak") == 0) {
    Maze* maze = new Maze;
    LoadQuietly(*maze, directory);
  } else {
    std::vector<MazeProblem> problems;
    CheckTheMap(directory, &problems);
  }
  printf("%ld\n", StatusKiB("VmHWM:") - before);
  return 0;
}

// The peak memory of loading or of the check, per cell, measured in a
// process of its own: this one's heap holds the mazes of earlier benchmarks.
double PeakBytesPerCell(int cells, const char* task = "--load-peak") {
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return -1;
  self[length] = '\0';
  std::string command =
      std::string("'") + self + "' " + task + " '" + MazeDirectory(cells) + "'";
  FILE* child = popen(command.c_str(), "r");
  long grownKiB = -1;
  if (child == nullptr || fscanf(child, "%ld", &grownKiB) != 1) grownKiB = -1;
  if (child != nullptr) pclose(child);
  return grownKiB * 1024.0 / cells;
}

void BM_LoadMaze(benchmark::State& state) {
  int cells = static_cast<int>(state.range(0));
  MazeDirectory(cells);
  for (auto _ : state) {
    Maze* maze = new Maze;
    LoadQuietly(*maze, MazeDirectory(cells));
    state.PauseTiming();
    delete maze;
    state.ResumeTiming();
  }
  state.counters["cells"] = cells;
  state.counters["peak_bytes_per_cell"] = PeakBytesPerCell(cells);
}

// zumbrel-map --check: the reader, the cells, the walker's reach.
void BM_MapCheck(benchmark::State& state) {
  int cells = static_cast<int>(state.range(0));
  std::string directory = MazeDirectory(cells);
  std::vector<MazeProblem> problems;
  for (auto _ : state) CheckTheMap(directory, &problems);
  if (!problems.empty()) state.SkipWithError("a generated maze does not check clean");
  state.counters["cells"] = cells;
  state.counters["peak_bytes_per_cell"] = PeakBytesPerCell(cells, "--map-peak");
}

// zumbrel-map's SVG of the whole maze, written to /dev/null.
void BM_MapSvg(benchmark::State& state) {
  int cells = static_cast<int>(state.range(0));
  FILE* file = fopen((MazeDirectory(cells) + "/maze.txt").c_str(), "r");
  MazeCells mazeCells;
  if (file == nullptr || !ReadMazeCells(file, mazeCells)) abort();
  fclose(file);
  FILE* out = fopen("/dev/null", "w");
  for (auto _ : state) WriteMapSvg(out, mazeCells, 0, mazeCells.Rows());
  // The bytes of one map, counted once.
  FILE* counter = tmpfile();
  WriteMapSvg(counter, mazeCells, 0, mazeCells.Rows());
  state.counters["svg_bytes_per_cell"] = static_cast<double>(ftell(counter)) / cells;
  fclose(counter);
  fclose(out);
  state.counters["cells"] = cells;
}

}  // namespace

#define SIZES Arg(10000)->Arg(100000)->Arg(1000000)->Arg(5100000)

BENCHMARK(BM_Draw<IndexedDraw>)->Name("Draw")->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Draw<PlainDraw>)->Name("DrawPlainScan")->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Update<IndexedUpdate>)->Name("Update")->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Update<PlainUpdate>)->Name("UpdatePlainScan")->SIZES->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadMaze)->Name("LoadMaze")->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapCheck)->Name("MapCheck")->SIZES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapSvg)->Name("MapSvg")->SIZES->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  if (argc == 3 && (strcmp(argv[1], "--load-peak") == 0 || strcmp(argv[1], "--map-peak") == 0))
    return PrintPeak(argv[1], argv[2]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
