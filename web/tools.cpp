// tools.cpp: zumbrel-mazegen, zumbrel-map and the page's zumbrel-load as one
// program for the page, whose first argument names the tool that runs on the
// rest.
#include <cstdio>
#include <cstring>

int MazegenMain(int argc, char** argv);
int MapMain(int argc, char** argv);
int LoadMain(int argc, char** argv);

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "zumbrel-mazegen") == 0) return MazegenMain(argc - 1, argv + 1);
  if (argc > 1 && strcmp(argv[1], "zumbrel-map") == 0) return MapMain(argc - 1, argv + 1);
  if (argc > 1 && strcmp(argv[1], "zumbrel-load") == 0) return LoadMain(argc - 1, argv + 1);
  fputs("tools: the first argument is zumbrel-mazegen, zumbrel-map or zumbrel-load\n", stderr);
  return 2;
}
