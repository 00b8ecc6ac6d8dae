// maze.h: the world: cell kinds, floor points, polygon models and the one Maze.
#pragma once

#include <cstdio>

// The six kinds of cell that have a position list, in the order of every
// per-kind table and report.
enum ComponentKind : int {
  kSpace,
  kWall,
  kDoor,
  kOrb,
  kTeleport,
  kPedestal,
  kNumComponentKinds
};

// The seven kinds that have a polygon model. Start has a model but no list,
// so the two orders part after Door.
enum ModelKind : int {
  kSpaceModel,
  kWallModel,
  kDoorModel,
  kStartModel,
  kOrbModel,
  kTeleportModel,
  kPedestalModel,
  kNumModelKinds
};

// The model drawn for each component list.
constexpr ModelKind kListModel[kNumComponentKinds] = {
    kSpaceModel, kWallModel,     kDoorModel,
    kOrbModel,   kTeleportModel, kPedestalModel,
};

// A position on the floor plane, in world units; a cell's point is its centre.
struct Point2 {
  float x;
  float y;
};

struct Vertex3 {
  float x;
  float y;
  float z;
};

// One closed outline of a model, in the model's colour.
struct Polygon {
  Vertex3* vertices = nullptr;
  int vertexCount = 0;  // vertices the array was sized for
  int used = 0;         // vertices added so far
  float r = 0, g = 0, b = 0;

  void SetVertexCount(int n);
  void SetColor(float red, float green, float blue);
  void AddVertex(float x, float y, float z);
};

// A model: an array of modelCount[k] polygon pointers.
typedef Polygon** PolygonList;

// Where a picked-up orb goes: far outside every test and beyond drawing.
constexpr Point2 kOrbTaken = {-100000, -100000};

// Looks up list entries by map row. The maze reader appends cells row by row,
// left to right, at x = 5 column and y = -5 row, so each row's entries are
// one run of the list, in x order. The index covers a prefix of the list, the
// entries there when it was built, and then the entries appended after it
// that it is told of (pedestals, while walking); any others are scanned. A
// list not in map order gets an empty index. Lookups are in world/row_index.h.
struct RowIndex {
  int count = 0;            // entries covered: the first count of the list
  int rows = 0;
  int* rowStart = nullptr;  // rows + 1 offsets: row r is [rowStart[r], rowStart[r + 1])
  float* homeX = nullptr;   // orbs only, which move when taken: x as loaded

  // Entries appended right after the prefix and reported through
  // IndexAppended, their indices kept in the order of the rows they lie on.
  int appended = 0;
  int appendedCapacity = 0;
  int* appendedOrder = nullptr;
};

// All world state: the component lists, the models, the start and the walker.
// The entries k of allocated, used and list make up kind k's component list;
// slots are reserved only through GetNextFreeIndex.
class Maze {
 public:
  Maze();

  // World (lists, maze file, model files)
  int GetNextFreeIndex(const Point2* storage);
  void LoadMaze();
  void IndexRows();
  void IndexAppended(ComponentKind kind, int i);
  // name: the file's name, for the messages about a malformed file.
  void LoadPolygonList(FILE* file, PolygonList& polygons, int& count,
                       const char* name);
  void LoadComponentModels();

  // Simulation
  void Update();
  bool PositionIsFree();
  bool CheckOrbsAndPedestals();
  void CheckTeleports();

  // Rendering
  void Draw();
  int DrawComponent(PolygonList polygons, int count, float distance);

  int allocated[kNumComponentKinds];
  int used[kNumComponentKinds];
  Point2* list[kNumComponentKinds];
  Point2 start;
  Point2 walker;
  float eyeHeight;
  PolygonList model[kNumModelKinds];
  int modelCount[kNumModelKinds];
  float speed;     // walking step per tick: +1, -1 or 0
  float heading;   // radians; 0 faces +y, growing turns left
  float turnRate;  // +1 left, -1 right, 0 still

  // Slots each list's storage really holds: allocated counts in steps of 20,
  // as the statistics show, while the storage grows ahead of it.
  int capacity[kNumComponentKinds];

  // Where each map row starts in each list, so that a frame or a tick looks
  // only at the cells near the walker (world/row_index.h).
  RowIndex rowIndex[kNumComponentKinds];

 private:
  void AddComponent(ComponentKind kind, int x, int y);
};

// Ends the program after an error it cannot go on from: the message through
// perror, then exit status 1. Messages end in two blanks, before the colon.
[[noreturn]] void Fatal(const char* message);

// Opens a data file of the working directory for reading as text. Returns
// null, with errno set, when it cannot be opened or is a directory.
FILE* OpenDataFile(const char* name);

// The one world, and the globals the world reads and writes; all are defined
// with the program entry.
extern Maze gMaze;
extern bool gVerbose;     // trace polygons and vertices while loading models
extern int gObjectTotal;  // denominator of the preclipping hit rate
