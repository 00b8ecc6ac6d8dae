// data_file.cpp: opens the data files the program reads from its directory.
#include <sys/stat.h>

#include <cerrno>

#include "world/maze.h"

// fopen accepts a directory and only its reads fail; a directory is no data
// file, so it fails to open, with errno saying why.
FILE* OpenDataFile(const char* name) {
  FILE* file = fopen(name, "rt");
  if (file == nullptr) return nullptr;
  struct stat status;
  if (fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode)) {
    fclose(file);
    errno = EISDIR;
    return nullptr;
  }
  return file;
}
