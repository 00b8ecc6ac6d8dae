// strerror.cpp: the words for an error number as Linux's C library gives
// them, so that the page shows each fatal line exactly as the desktop prints
// it; perror asks here.
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

struct ErrorWords {
  int error;
  const char* words;
};

// The errors the program reports, and those opening and reading a file can
// meet.
const ErrorWords kErrorWords[] = {
    {0, "Success"},
    {ENOENT, "No such file or directory"},
    {EIO, "Input/output error"},
    {EACCES, "Permission denied"},
    {EISDIR, "Is a directory"},
    {EINVAL, "Invalid argument"},
    {ENOMEM, "Cannot allocate memory"},
    {EFBIG, "File too large"},
    {EDOM, "Numerical argument out of domain"},
    {ERANGE, "Numerical result out of range"},
    {ENODATA, "No data available"},
    {EOVERFLOW, "Value too large for defined data type"},
    {ENOTSUP, "Operation not supported"},
};

}  // namespace

char* strerror(int error) {
  for (const ErrorWords& entry : kErrorWords)
    if (entry.error == error) return const_cast<char*>(entry.words);
  static char unknown[32];
  snprintf(unknown, sizeof unknown, "Unknown error %d", error);
  return unknown;
}
