// options.cpp: the command line and the usage text.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "render/render.h"
#include "world/maze.h"

void PrintUsage() {
  printf("Usage:\n");
  printf("Option___________   Meaning______________________________________ \n");
  printf(" -help              show this help page\n");
  printf(" -a                 enable the alpha blending usage             \n");
  printf(" -nr                disable the object rotation                  \n");
  printf(" -v                 increase program's verbosity                 \n");
  printf("_________________   _____________________________________________ \n");
  printf("Standard GLUT args:\n");
  printf(" -iconic            start iconic\n");
  printf(" -display DISP      use display DISP\n");
  printf(" -direct            use direct rendering (default)\n");
  printf(" -indirect          use indirect rendering\n");
  printf(" -sync              use synchronous X protocol\n");
  printf(" -gldebug           check OpenGL errors\n");
  printf(" -geometry WxH+X+Y  standard X window spec (overridden here) \n");
}

// An argument matches an option when it contains the option's text anywhere,
// so --alpha counts as -a; the first match in this order wins.
void ParseArguments(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    const char* arg = argv[i];
    if (strstr(arg, "-help") != nullptr) {
      PrintUsage();
      exit(1);
    } else if (strstr(arg, "-a") != nullptr) {
      gUseAlpha = true;
      puts("Use of alpha has been enabled upon user's request.");
    } else if (strstr(arg, "-nr") != nullptr) {
      gRotateObjects = false;
      puts("Object rotation has been disabled upon user's request.");
    } else if (strstr(arg, "-v") != nullptr) {
      gVerbose = true;
      puts("Program verbosity increased upon user's request.");
    } else {
      PrintUsage();
      fprintf(stderr, "Unknown arg: %s\n", arg);
      exit(1);
    }
  }
}
