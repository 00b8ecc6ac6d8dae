// model_file.cpp: reads the seven polygon models from their files.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>

#include "world/maze.h"

namespace {

struct ModelFile {
  const char* name;
  const char* progress;  // printed before the model's counts
  const char* missing;   // the fatal message when it cannot be opened
};

// In ModelKind order.
const ModelFile kModelFiles[kNumModelKinds] = {
    {"space.txt", "Loading space data    : ",
     "Unable to open the space file. Aborting.  "},
    {"wall.txt", "Loading wall data     : ",
     "Unable to open the wall file. Aborting.  "},
    {"door.txt", "Loading door data     : ",
     "Unable to open the door file. Aborting.  "},
    {"start.txt", "Loading start data    : ",
     "Unable to open the start file. Aborting.  "},
    {"orb.txt", "Loading orb data      : ",
     "Unable to open the orb file. Aborting.  "},
    {"tele.txt", "Loading teleport data : ",
     "Unable to open the teleport file. Aborting.  "},
    {"ped.txt", "Loading pedestal data : ",
     "Unable to open the pedestal file. Aborting.  "},
};

// Ends the program with a message naming the model file. The caller sets
// errno to say what went wrong.
[[noreturn]] void FatalInFile(const char* format, const char* name) {
  char message[256];
  snprintf(message, sizeof message, format, name);
  Fatal(message);
}

// A word longer than this is no number the reader takes.
const int kLongestNumber = 63;

// The next word of white-space-separated text, or the program ends: a
// model file that ends before all its numbers is malformed.
struct Word {
  char text[kLongestNumber + 2];
};

Word ReadWord(FILE* file, const char* name) {
  Word word;
  int c;
  do c = getc(file);
  while (c != EOF && isspace(c));
  int length = 0;
  // One character past the longest is kept, to tell a word too long.
  for (; c != EOF && !isspace(c); c = getc(file))
    if (length <= kLongestNumber) word.text[length++] = static_cast<char>(c);
  word.text[length] = '\0';
  if (length == 0) {
    // errno holds a read's own failure, such as reading a directory.
    if (!ferror(file)) errno = ENODATA;  // the file ends early
    FatalInFile("Unable to read a number from %s. Aborting.  ", name);
  }
  if (length > kLongestNumber) {
    errno = EINVAL;
    FatalInFile("Unable to read a number from %s. Aborting.  ", name);
  }
  return word;
}

// True when all of the word, and nothing more, is a number strtod takes.
bool IsWholeWord(const char* text, const char* end) { return end != text && *end == '\0'; }

// A polygon or vertex count: a whole decimal, octal (leading 0) or
// hexadecimal (leading 0x) number that fits an int and is not negative.
int ReadCount(FILE* file, const char* name) {
  Word word = ReadWord(file, name);
  char* end;
  errno = 0;
  long long count = strtoll(word.text, &end, 0);
  bool overflow = errno == ERANGE;
  if (!IsWholeWord(word.text, end)) {
    strtod(word.text, &end);
    errno = EINVAL;
    if (IsWholeWord(word.text, end)) FatalInFile("Count is not a whole number in %s. Aborting.  ", name);
    FatalInFile("Unable to read a number from %s. Aborting.  ", name);
  }
  errno = ERANGE;
  if (count < 0) FatalInFile("Negative count in %s. Aborting.  ", name);
  if (overflow || count > INT_MAX) FatalInFile("Count too large in %s. Aborting.  ", name);
  return static_cast<int>(count);
}

// A colour component or a coordinate: a finite number.
float ReadFinite(FILE* file, const char* name) {
  Word word = ReadWord(file, name);
  char* end;
  float value = strtof(word.text, &end);
  if (!IsWholeWord(word.text, end)) {
    errno = EINVAL;
    FatalInFile("Unable to read a number from %s. Aborting.  ", name);
  }
  if (!std::isfinite(value)) {
    errno = EDOM;
    FatalInFile("Not a finite number in %s. Aborting.  ", name);
  }
  return value;
}

}  // namespace

// File format: the polygon count, the colour r g b, then for each polygon its
// vertex count and that many x y z triples; white space of any kind between.
// A fatal error leaves in polygons and count what the Maze can free.
void Maze::LoadPolygonList(FILE* file, PolygonList& polygons, int& count,
                           const char* name) {
  count = ReadCount(file, name);
  printf("%i polygons, ", count);

  // Zeroed, so that a list a fatal error leaves half filled can be freed;
  // an empty model is no failure, and still gets a list.
  polygons = static_cast<PolygonList>(calloc(count > 0 ? count : 1, sizeof(Polygon*)));
  if (polygons == nullptr)
    Fatal("Unable to allocate the space for a polygon list. Aborting.  ");

  float r = ReadFinite(file, name);
  float g = ReadFinite(file, name);
  float b = ReadFinite(file, name);
  printf("color %g %g %g \n", r, g, b);

  for (int i = 0; i < count; i++) {
    Polygon* polygon = new (std::nothrow) Polygon;
    if (polygon == nullptr) {
      errno = ENOMEM;
      FatalInFile("Unable to create a polygon for %s. Aborting.  ", name);
    }
    polygons[i] = polygon;

    int n = ReadCount(file, name);
    if (gVerbose) printf("\tPolygon #%i, %i vertices\n", i, n);
    polygon->SetVertexCount(n);
    polygon->SetColor(r, g, b);

    for (int j = 0; j < n; j++) {
      float x = ReadFinite(file, name);
      float y = ReadFinite(file, name);
      float z = ReadFinite(file, name);
      // The blank after the newline is meant: it starts whatever comes next.
      if (gVerbose) printf("\t\tVertex #%i: %g %g %g \n ", j, x, y, z);
      polygon->AddVertex(x, y, z);
    }
  }
}

void Maze::LoadComponentModels() {
  // All files are opened before any is tested, so the first missing one in
  // model order is reported, with the reason its own open failed.
  FILE* files[kNumModelKinds];
  int openErrors[kNumModelKinds];
  for (int m = 0; m < kNumModelKinds; m++) {
    files[m] = OpenDataFile(kModelFiles[m].name);
    openErrors[m] = errno;
  }
  for (int m = 0; m < kNumModelKinds; m++) {
    if (files[m] != nullptr) continue;
    errno = openErrors[m];
    Fatal(kModelFiles[m].missing);
  }

  // The files stay open for the life of the process.
  for (int m = 0; m < kNumModelKinds; m++) {
    printf("%s", kModelFiles[m].progress);
    LoadPolygonList(files[m], model[m], modelCount[m], kModelFiles[m].name);
  }
  walker = start;
}
