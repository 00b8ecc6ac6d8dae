// mazegen_main.cpp: zumbrel-mazegen, which writes a generated maze to stdout.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "binary_output.h"
#include "mazegen.h"

namespace {

void PrintUsage(FILE* out) {
  fprintf(out,
          "Usage: zumbrel-mazegen [options] [-o maze.txt]\n"
          "  -o, --output F the file to write the maze to (default: standard output)\n"
          "  --width N      cells across, border included (3 to %d; default 31)\n"
          "  --height N     cells down, border included (3 to %d; default 31)\n"
          "  --seed N       the same seed gives the same maze (default 1)\n"
          "  --doors N      doors in passages (default 5)\n"
          "  --orbs N       orbs (default 5)\n"
          "  --pedestals N  pedestals (default 5)\n"
          "  --teleports N  teleports (default 5)\n",
          kWidestMaze, kTallestMaze);
}

[[noreturn]] void Fail(const std::string& message) {
  fprintf(stderr, "zumbrel-mazegen: %s\n", message.c_str());
  exit(1);
}

// A whole, non-negative decimal number, or the program ends.
uint64_t Number(const char* option, const char* text) {
  if (text == nullptr) Fail(std::string(option) + " needs a number");
  errno = 0;
  char* end = nullptr;
  unsigned long long value = strtoull(text, &end, 10);
  if (*text == '\0' || *text == '-' || *end != '\0' || errno == ERANGE)
    Fail(std::string(option) + " needs a whole number, not '" + text + "'");
  return value;
}

int Count(const char* option, const char* text) {
  uint64_t value = Number(option, text);
  if (value > 100000000) Fail(std::string(option) + " " + text + " is too large");
  return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
  UseBinaryOutput();
  MazeRequest request;
  struct CountOption {
    const char* name;
    int* field;
  };
  const CountOption countOptions[] = {
      {"--width", &request.width}, {"--height", &request.height},
      {"--doors", &request.doors}, {"--orbs", &request.orbs},
      {"--pedestals", &request.pedestals}, {"--teleports", &request.teleports},
  };
  const char* output = nullptr;
  // Every option but --help takes a value.
  for (int i = 1; i < argc; i += 2) {
    const char* option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (strcmp(option, "--help") == 0) {
      PrintUsage(stdout);
      return 0;
    }
    if (strcmp(option, "-o") == 0 || strcmp(option, "--output") == 0) {
      if (value == nullptr) Fail(std::string(option) + " needs a file");
      output = value;
      continue;
    }
    if (strcmp(option, "--seed") == 0) {
      request.seed = Number(option, value);
      continue;
    }
    int* count = nullptr;
    for (const CountOption& known : countOptions)
      if (strcmp(option, known.name) == 0) count = known.field;
    if (count == nullptr) {
      PrintUsage(stderr);
      Fail(std::string("unknown option '") + option + "'");
    }
    *count = Count(option, value);
  }

  std::string maze, error;
  if (!GenerateMaze(request, maze, error)) Fail(error);
  FILE* out = output == nullptr ? stdout : fopen(output, "wb");
  if (out == nullptr) Fail(std::string("cannot open ") + output + ": " + strerror(errno));
  fwrite(maze.data(), 1, maze.size(), out);
  if (fflush(out) != 0 || ferror(out) || (out != stdout && fclose(out) != 0))
    Fail(std::string("cannot write the maze: ") + strerror(errno));
  return 0;
}
