// polygon.cpp: one closed outline of a model: its vertex array and colour.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "world/maze.h"

// The room a vertex array starts with; it doubles from there.
static const int kFirstVertexSlots = 64;

Polygon::~Polygon() { free(vertices); }

// Room for slots vertices, at least one: malloc(0) may return null, which
// would read as a failure, and an empty polygon still gets an array.
static Vertex3* GrowVertices(Vertex3* vertices, int slots) {
  size_t bytes = static_cast<size_t>(std::max(slots, 1)) * sizeof(Vertex3);
  Vertex3* grown = static_cast<Vertex3*>(realloc(vertices, bytes));
  if (grown == nullptr)
    Fatal("Could not allocate memory for 3D polygon vertices. Aborting.  ");
  return grown;
}

void Polygon::SetVertexCount(int n) {
  if (vertices != nullptr)
    Fatal("Tried to call SetVertexCount more than once. Aborting.  ");
  vertexCount = n;
  used = 0;
  capacity = std::min(n, kFirstVertexSlots);
  vertices = GrowVertices(nullptr, capacity);
}

void Polygon::SetColor(float red, float green, float blue) {
  r = red;
  g = green;
  b = blue;
}

void Polygon::AddVertex(float x, float y, float z) {
  if (used == capacity) {
    // Formed wide, and never past the count the file gave.
    capacity = static_cast<int>(std::min<int64_t>(vertexCount, int64_t{capacity} * 2));
    vertices = GrowVertices(vertices, capacity);
  }
  vertices[used] = Vertex3{x, y, z};
  used++;
}
