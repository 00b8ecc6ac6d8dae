// scratch.cpp: temporary directories for test data.
#include "scratch.h"

#include <ftw.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

ScratchDir::ScratchDir() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zumbrel-test-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    perror("mkdtemp");
    abort();
  }
  path_ = pattern;
}

static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

ScratchDir::~ScratchDir() {
  nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void ScratchDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream file(path_ + "/" + name, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void ScratchDir::Copy(const std::string& from, const std::string& name) const {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(path_ + "/" + name, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
}

WorkingDir::WorkingDir(const std::string& path) {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) == nullptr || chdir(path.c_str()) != 0) {
    perror("WorkingDir");
    abort();
  }
  previous_ = buffer;
}

WorkingDir::~WorkingDir() {
  if (chdir(previous_.c_str()) != 0) perror("WorkingDir");
}
