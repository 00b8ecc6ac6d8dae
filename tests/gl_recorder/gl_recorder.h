// gl_recorder.h: a stand-in for the GL, GLU and GLUT calls the renderer and
// the callbacks make, which records each call and its arguments instead.
#pragma once

#include <string>
#include <vector>

struct GlCall {
  std::string name;
  std::vector<double> args;  // float arguments widen exactly
  const void* pointer = nullptr;
};

// Every call since the last ClearGlCalls, in order.
const std::vector<GlCall>& RecordedGlCalls();
void ClearGlCalls();
