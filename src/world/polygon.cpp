// polygon.cpp: one closed outline of a model: its vertex array and colour.
#include <cstdlib>

#include "world/maze.h"

Polygon::~Polygon() { free(vertices); }

void Polygon::SetVertexCount(int n) {
  if (vertices != nullptr)
    Fatal("Tried to call SetVertexCount more than once. Aborting.  ");
  vertexCount = n;
  used = 0;
  // malloc(0) may return null, which would read as a failure; an empty
  // polygon still gets an array of its own.
  size_t bytes = static_cast<size_t>(n) * sizeof(Vertex3);
  vertices = static_cast<Vertex3*>(malloc(n > 0 ? bytes : sizeof(Vertex3)));
  if (vertices == nullptr)
    Fatal("Could not allocate memory for 3D polygon vertices. Aborting.  ");
}

void Polygon::SetColor(float red, float green, float blue) {
  r = red;
  g = green;
  b = blue;
}

void Polygon::AddVertex(float x, float y, float z) {
  vertices[used] = Vertex3{x, y, z};
  used++;
}
