// tools.cpp: zumbrel-mazegen and zumbrel-map as one program for the page,
// whose first argument names the tool that runs on the rest.
#include <cstdio>
#include <cstring>

int MazegenMain(int argc, char** argv);
int MapMain(int argc, char** argv);

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "zumbrel-mazegen") == 0) return MazegenMain(argc - 1, argv + 1);
  if (argc > 1 && strcmp(argv[1], "zumbrel-map") == 0) return MapMain(argc - 1, argv + 1);
  fputs("tools: the first argument is zumbrel-mazegen or zumbrel-map\n", stderr);
  return 2;
}
