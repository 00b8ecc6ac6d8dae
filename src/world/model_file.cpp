// model_file.cpp: reads the seven polygon models from their files.
#include <cctype>
#include <cerrno>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
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
  int length;  // a NUL byte read from the file counts, and so ends no word
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
  word.length = length;
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

// True when the conversion that stopped at end took all of the word: not
// just the part before a NUL byte in it.
bool IsWholeWord(const Word& word, const char* end) {
  return word.length > 0 && end == word.text + word.length;
}

// A polygon or vertex count: a whole decimal, octal (leading 0) or
// hexadecimal (leading 0x) number that fits an int and is not negative.
int ReadCount(FILE* file, const char* name) {
  Word word = ReadWord(file, name);
  char* end;
  errno = 0;
  long long count = strtoll(word.text, &end, 0);
  bool overflow = errno == ERANGE;
  if (!IsWholeWord(word, end)) {
    strtod(word.text, &end);
    errno = EINVAL;
    if (IsWholeWord(word, end)) FatalInFile("Count is not a whole number in %s. Aborting.  ", name);
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
  if (!IsWholeWord(word, end)) {
    errno = EINVAL;
    FatalInFile("Unable to read a number from %s. Aborting.  ", name);
  }
  if (!std::isfinite(value)) {
    errno = EDOM;
    FatalInFile("Not a finite number in %s. Aborting.  ", name);
  }
  return value;
}

// A polygon list starts with room for at most this many polygons and grows
// as they are read, so that a count the file does not live up to allocates
// only what the file holds.
const int kFirstPolygonSlots = 64;

// Room for at least slots polygons, the new half zeroed, or the program ends.
PolygonList GrowPolygonList(PolygonList polygons, int used, int slots) {
  size_t bytes = static_cast<size_t>(slots) * sizeof(Polygon*);
  PolygonList grown = static_cast<PolygonList>(realloc(polygons, bytes));
  if (grown == nullptr) Fatal("Unable to allocate the space for a polygon list. Aborting.  ");
  for (int i = used; i < slots; i++) grown[i] = nullptr;
  return grown;
}

}  // namespace

// File format: the polygon count, the colour r g b, then for each polygon its
// vertex count and that many x y z triples; white space of any kind between.
// A fatal error leaves in polygons and count what the Maze can free: count
// says how many polygons were made, and grows to the file's count as they are.
void Maze::LoadPolygonList(FILE* file, PolygonList& polygons, int& count,
                           const char* name) {
  int claimed = ReadCount(file, name);
  printf("%i polygons, ", claimed);

  // An empty model is no failure, and still gets a list.
  count = 0;
  int slots = std::max(1, std::min(claimed, kFirstPolygonSlots));
  polygons = GrowPolygonList(nullptr, 0, slots);

  float r = ReadFinite(file, name);
  float g = ReadFinite(file, name);
  float b = ReadFinite(file, name);
  printf("color %g %g %g \n", r, g, b);

  for (int i = 0; i < claimed; i++) {
    if (i == slots) {
      slots = static_cast<int>(std::min<int64_t>(claimed, int64_t{slots} * 2));
      polygons = GrowPolygonList(polygons, i, slots);
    }
    Polygon* polygon = new (std::nothrow) Polygon;
    if (polygon == nullptr) {
      errno = ENOMEM;
      FatalInFile("Unable to create a polygon for %s. Aborting.  ", name);
    }
    polygons[i] = polygon;
    count = i + 1;

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
