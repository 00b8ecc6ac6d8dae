// model_file.cpp: reads the seven polygon models from their files.
#include <cerrno>
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

// Every fscanf of the reader must match all it asked for: values it leaves
// unread are unspecified and must never reach the world.
void CheckRead(FILE* file, int matched, int expected, const char* name) {
  if (matched == expected) return;
  if (ferror(file)) {
    // errno holds the read's own failure, such as reading a directory.
  } else if (feof(file)) {
    errno = ENODATA;  // the file ends early
  } else {
    errno = EINVAL;  // something that is not a number
  }
  FatalInFile("Unable to read a number from %s. Aborting.  ", name);
}

void CheckCount(int count, const char* name) {
  if (count >= 0) return;
  errno = ERANGE;
  FatalInFile("Negative count in %s. Aborting.  ", name);
}

}  // namespace

// File format: the polygon count, the colour r g b, then for each polygon its
// vertex count and that many x y z triples; white space of any kind between.
void Maze::LoadPolygonList(FILE* file, PolygonList& polygons, int& count,
                           const char* name) {
  CheckRead(file, fscanf(file, "%i", &count), 1, name);
  CheckCount(count, name);
  printf("%i polygons, ", count);

  // malloc(0) may return null; an empty model is no failure.
  size_t bytes = static_cast<size_t>(count) * sizeof(Polygon*);
  polygons = static_cast<PolygonList>(malloc(count > 0 ? bytes : 1));
  if (polygons == nullptr)
    Fatal("Unable to allocate the space for a polygon list. Aborting.  ");

  float r, g, b;
  CheckRead(file, fscanf(file, "%f %f %f", &r, &g, &b), 3, name);
  printf("color %g %g %g \n", r, g, b);

  for (int i = 0; i < count; i++) {
    Polygon* polygon = new (std::nothrow) Polygon;
    if (polygon == nullptr) {
      errno = ENOMEM;
      FatalInFile("Unable to create a polygon for %s. Aborting.  ", name);
    }
    polygons[i] = polygon;

    int n;
    CheckRead(file, fscanf(file, "%i", &n), 1, name);
    CheckCount(n, name);
    if (gVerbose) printf("\tPolygon #%i, %i vertices\n", i, n);
    polygon->SetVertexCount(n);
    polygon->SetColor(r, g, b);

    for (int j = 0; j < n; j++) {
      float x, y, z;
      CheckRead(file, fscanf(file, "%f %f %f", &x, &y, &z), 3, name);
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
