// gl_noop.cpp: GL and GLU calls that do nothing, so that the benchmarks time
// the renderer's own work.
#include <GL/gl.h>
#include <GL/glu.h>

extern "C" {

void glPushMatrix() {}
void glPopMatrix() {}
void glTranslatef(GLfloat, GLfloat, GLfloat) {}
void glRotatef(GLfloat, GLfloat, GLfloat, GLfloat) {}
void glColor3f(GLfloat, GLfloat, GLfloat) {}
void glColor4f(GLfloat, GLfloat, GLfloat, GLfloat) {}
void glVertexPointer(GLint, GLenum, GLsizei, const GLvoid*) {}
void glDrawArrays(GLenum, GLint, GLsizei) {}
void gluLookAt(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble,
               GLdouble) {}

}  // extern "C"
