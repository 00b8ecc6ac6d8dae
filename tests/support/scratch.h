// scratch.h: temporary directories holding the data files a test writes.
#pragma once

#include <string>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Writes a file of exactly these bytes (NUL bytes included).
  void Write(const std::string& name, const std::string& bytes) const;
  // Copies a file from elsewhere under the same name.
  void Copy(const std::string& from, const std::string& name) const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Makes a directory the working directory for as long as the object lives.
class WorkingDir {
 public:
  explicit WorkingDir(const std::string& path);
  ~WorkingDir();
  WorkingDir(const WorkingDir&) = delete;
  WorkingDir& operator=(const WorkingDir&) = delete;

 private:
  std::string previous_;
};
