// capture.h: collects what the code under test prints on standard output.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

class StdoutCapture {
 public:
  StdoutCapture() : file_(tmpfile()) {
    fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    dup2(fileno(file_), STDOUT_FILENO);
  }
  ~StdoutCapture() { Take(); }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // Ends the capture and returns everything printed since it began.
  std::string Take() {
    if (saved_ < 0) return text_;
    fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
    saved_ = -1;
    rewind(file_);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file_)) > 0) text_.append(buffer, n);
    fclose(file_);
    return text_;
  }

 private:
  FILE* file_;
  int saved_ = -1;
  std::string text_;
};
