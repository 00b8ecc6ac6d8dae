// gl_recorder.cpp: records GL, GLU and GLUT calls in place of the real libraries.
#include "gl_recorder.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glut.h>

static std::vector<GlCall> gCalls;

const std::vector<GlCall>& RecordedGlCalls() { return gCalls; }
void ClearGlCalls() { gCalls.clear(); }

static void Record(const char* name, std::vector<double> args,
                   const void* pointer = nullptr) {
  gCalls.push_back(GlCall{name, std::move(args), pointer});
}

extern "C" {

void glPushMatrix() { Record("glPushMatrix", {}); }
void glPopMatrix() { Record("glPopMatrix", {}); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { Record("glTranslatef", {x, y, z}); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  Record("glRotatef", {angle, x, y, z});
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { Record("glColor3f", {r, g, b}); }
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  Record("glColor4f", {r, g, b, a});
}
void glVertexPointer(GLint size, GLenum type, GLsizei stride, const GLvoid* pointer) {
  Record("glVertexPointer", {double(size), double(type), double(stride)}, pointer);
}
void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
  Record("glDrawArrays", {double(mode), double(first), double(count)});
}
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX,
               GLdouble centerY, GLdouble centerZ, GLdouble upX, GLdouble upY,
               GLdouble upZ) {
  Record("gluLookAt", {eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ});
}

void glClear(GLbitfield mask) { Record("glClear", {double(mask)}); }
void glFlush() { Record("glFlush", {}); }

void glutSwapBuffers() { Record("glutSwapBuffers", {}); }
void glutPostWindowRedisplay(int window) {
  Record("glutPostWindowRedisplay", {double(window)});
}
void glutTimerFunc(unsigned int milliseconds, void (*callback)(int), int value) {
  Record("glutTimerFunc", {double(milliseconds), double(value)},
         reinterpret_cast<const void*>(callback));
}

// The window and the fixed state of start-up.
void glEnableClientState(GLenum array) { Record("glEnableClientState", {double(array)}); }
void glEnable(GLenum capability) { Record("glEnable", {double(capability)}); }
void glBlendFunc(GLenum source, GLenum destination) {
  Record("glBlendFunc", {double(source), double(destination)});
}
void glMatrixMode(GLenum mode) { Record("glMatrixMode", {double(mode)}); }
void glLoadIdentity() { Record("glLoadIdentity", {}); }
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
  Record("gluPerspective", {fovy, aspect, zNear, zFar});
}
// Answers as Mesa does for the projection stack's depth.
void glGetIntegerv(GLenum name, GLint* value) {
  Record("glGetIntegerv", {double(name)});
  *value = 32;
}
void glutInitDisplayMode(unsigned int mode) { Record("glutInitDisplayMode", {double(mode)}); }
int glutCreateWindow(const char* title) {
  Record("glutCreateWindow", {}, title);
  return 1;
}
void glutReshapeWindow(int width, int height) {
  Record("glutReshapeWindow", {double(width), double(height)});
}
void glutIgnoreKeyRepeat(int ignore) { Record("glutIgnoreKeyRepeat", {double(ignore)}); }
void glutDisplayFunc(void (*callback)()) {
  Record("glutDisplayFunc", {}, reinterpret_cast<const void*>(callback));
}
void glutIdleFunc(void (*callback)()) {
  Record("glutIdleFunc", {}, reinterpret_cast<const void*>(callback));
}
void glutKeyboardFunc(void (*callback)(unsigned char, int, int)) {
  Record("glutKeyboardFunc", {}, reinterpret_cast<const void*>(callback));
}
void glutKeyboardUpFunc(void (*callback)(unsigned char, int, int)) {
  Record("glutKeyboardUpFunc", {}, reinterpret_cast<const void*>(callback));
}
int glutGetWindow() {
  Record("glutGetWindow", {});
  return 1;
}

}  // extern "C"
