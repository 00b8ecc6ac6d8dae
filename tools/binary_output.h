// binary_output.h: the tools' output as the same bytes on every system.
#pragma once

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

// Standard output and error as binary streams: Windows' text mode would end
// every line of a maze, a map or a message in a carriage return too.
inline void UseBinaryOutput() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}
