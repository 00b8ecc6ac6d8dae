// maze.h: the world: cell kinds, floor points, polygon models and the one Maze.
#pragma once

#include <cstdint>
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
  int vertexCount = 0;  // vertices the model file gives the polygon
  int used = 0;         // vertices added so far
  int capacity = 0;     // vertices the array holds room for, at most vertexCount
  float r = 0, g = 0, b = 0;

  Polygon() = default;
  ~Polygon();
  Polygon(const Polygon&) = delete;
  Polygon& operator=(const Polygon&) = delete;

  // The array starts small and grows as vertices are added, so that a count
  // the file does not live up to allocates only what the file holds.
  void SetVertexCount(int n);
  void SetColor(float red, float green, float blue);
  void AddVertex(float x, float y, float z);
};

// One read of the maze file takes at most this many characters: a longer
// line of the file becomes several rows. A line of exactly this many is
// followed by a row holding only its newline, so the widest maze whose rows
// are its lines is one narrower.
constexpr int kMazeRowLength = 510;
constexpr int kWidestMazeLine = kMazeRowLength - 1;

// Cells are this many world units square; a cell's point is its centre.
constexpr int kCellSize = 5;

// The component list a maze file character appends to, or -1 for one that
// only takes up its column. Letters count in upper case only.
int ComponentOfCharacter(char c);
// The characters of spaces and walls, the kinds nearly every cell of a
// large maze is.
constexpr char kSpaceCharacter = '.', kWallCharacter = '#';
// The start cell's character: it sets the start and appends nothing.
inline bool IsStartCharacter(char c) { return c == 'X'; }

// Told of each read of a maze file: the characters that make its row, and
// whether the read reached the end of a line of the file.
typedef void (*MazeRowHook)(const char* text, int length, bool endsLine, void* context);

// Reads a maze file as the program does, a row a read, and tells row of each
// read, printing nothing. False, with errno set, when a read fails: the rows
// before it were told.
bool ReadMazeRows(FILE* file, MazeRowHook row, void* context);

// One kind's component list: its points, in the order they were set. The
// cells a maze file gives, set in reading order, are kept as a column a
// cell and a y a run of cells of one row: two bytes a cell, where the
// largest maze's points would take eight. Every other point, and every one
// set after it, is kept whole. Reading a point gives back exactly the float
// pair it was set as.
struct ComponentList {
  int count = 0;  // entries set: slots [0, count)

  // The cells [0, packed): entry i lies in column column[i], in the run r
  // whose runStart[r] is the last not past i, at y runY[r]. A run is cut
  // where y changes or the column does not grow, as the row index cuts them.
  int packed = 0;
  int packedCapacity = 0;
  uint16_t* column = nullptr;
  int runs = 0;
  int runCapacity = 0;
  float* runY = nullptr;
  int* runStart = nullptr;

  // The whole points [packed, count), and the slots their storage holds,
  // grown ahead of count.
  Point2* points = nullptr;
  int capacity = 0;
  // Set for a list whose entries move, orbs when taken: its cells are kept
  // as points from the start.
  bool keepsPoints = false;

  // The run the last cell read lay in: reads go along a run, or on to the
  // next, far more often than they jump, and then find it at once.
  mutable int lastRun = 0;

  ComponentList() = default;
  ~ComponentList();
  ComponentList(const ComponentList&) = delete;
  ComponentList& operator=(const ComponentList&) = delete;

  Point2 operator[](int i) const {
    if (i >= packed) return points[i - packed];
    if (!InRun(lastRun, i)) lastRun = InRun(lastRun + 1, i) ? lastRun + 1 : RunOf(i);
    return Point2{X(i), runY[lastRun]};
  }
  float X(int i) const {
    return i < packed ? static_cast<float>(column[i] * kCellSize) : points[i - packed].x;
  }
  // Sets slot i, which may lie past count: slots between are set to (0, 0).
  // A slot among the cells turns the whole list into points first.
  void Set(int i, Point2 p);
  // Sets slots i to i + n - 1 to cells of one row of a maze file, at y, in
  // the columns given, which grow: kept as cells when the list keeps cells,
  // i is the next slot and the row follows the cells before it in reading
  // order; else as points.
  void SetCells(int i, const uint16_t* columns, int n, float y);

 private:
  bool InRun(int run, int i) const {
    return run < runs && runStart[run] <= i && (run + 1 == runs || i < runStart[run + 1]);
  }
  int RunOf(int i) const;
};

// A model: an array of modelCount[k] polygon pointers.
typedef Polygon** PolygonList;

// Where a picked-up orb goes: far outside every test and beyond drawing.
constexpr Point2 kOrbTaken = {-100000, -100000};

// Finds the entries of a component list near a point without scanning the
// whole list (lookups in world/row_index.h), relying on the two rules written
// beside the lists in Maze. It covers a prefix of the list whose y never grows, as the maze reader
// appends cells, cut into runs of entries of one y and growing x; then the
// entries appended right after that prefix that it is told of (pedestals,
// while walking). The entries after those are scanned. A list whose y grows
// somewhere gets an empty index. Its memory follows the entries, not the rows.
struct RowIndex {
  int count = 0;              // entries covered: the first count of the list
  int runs = 0;
  float* runY = nullptr;      // the y of each run, never growing
  int* runStart = nullptr;    // runs + 1 offsets: run r is [runStart[r], runStart[r + 1])
  float* homeX = nullptr;     // orbs only, which move when taken: x as loaded

  // Entries appended right after the prefix and reported through
  // IndexAppended, their indices kept in the order of falling y, and room
  // for a lookup to sort those it finds back into list order.
  int appended = 0;
  int appendedCapacity = 0;
  int* appendedOrder = nullptr;
  int* nearScratch = nullptr;
};

// All world state: the component lists, the models, the start and the walker.
// The entries k of allocated, used and list make up kind k's component list;
// slots are reserved only through GetNextFreeIndex, or a row at a time by
// the maze reader.
class Maze {
 public:
  Maze();
  ~Maze();
  // The Maze owns its lists, models and indexes: it is never copied.
  Maze(const Maze&) = delete;
  Maze& operator=(const Maze&) = delete;

  // World (lists, maze file, model files)
  int GetNextFreeIndex(const ComponentList* storage);
  void LoadMaze();
  // Reads a maze file into the lists and the start, printing nothing; row,
  // when given, is told of every read, the text of one row. False, with
  // errno set, when a read fails: what was read before it is kept.
  bool ReadMaze(FILE* file, MazeRowHook row = nullptr, void* context = nullptr);
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

  // The component lists. Their indexes rely on two rules:
  //   - cells never move, except orbs, which go to kOrbTaken when taken;
  //   - entries arrive only at the end of the list, through GetNextFreeIndex
  //     or the maze reader.
  int allocated[kNumComponentKinds];
  int used[kNumComponentKinds];
  ComponentList list[kNumComponentKinds];
  Point2 start;
  Point2 walker;
  float eyeHeight;
  PolygonList model[kNumModelKinds];
  int modelCount[kNumModelKinds];
  float speed;     // walking step per tick: +1, -1 or 0
  float heading;   // radians; 0 faces +y, growing turns left
  float turnRate;  // +1 left, -1 right, 0 still

  // Where each map row starts in each list, so that a frame or a tick looks
  // only at the cells near the walker (world/row_index.h).
  RowIndex rowIndex[kNumComponentKinds];

 private:
  int ReserveSlots(int kind, int n);
  void AddCells(ComponentKind kind, const uint16_t* columns, int n, int64_t y);
  static void AddRow(const char* text, int length, bool endsLine, void* context);
};

// The slots a component list's storage grows to from capacity when it must
// hold at least least: half again, formed wide and capped at what an int
// counts.
int GrownCapacity(int capacity, int least);

// Ends the program after an error it cannot go on from: the message through
// perror, then exit status 1. Messages end in two blanks, before the colon.
[[noreturn]] void Fatal(const char* message);

// When set, Fatal calls it first: a handler that does not return, such as a
// fuzz harness's jump back to its loop, keeps the process going. The reader
// leaves what it built in the Maze, for the Maze to free. A handler that
// jumps relies on this: no function between the jump's target and Fatal
// owns an object with a destructor, which the jump would skip.
extern void (*gFatalHandler)(const char* message);

// Opens a data file of the working directory for reading as text. Returns
// null, with errno set, when it cannot be opened or is a directory.
FILE* OpenDataFile(const char* name);

// The one world, and the globals the world reads and writes; all are defined
// with the program entry.
extern Maze gMaze;
extern bool gVerbose;     // trace polygons and vertices while loading models
extern int gObjectTotal;  // denominator of the preclipping hit rate
