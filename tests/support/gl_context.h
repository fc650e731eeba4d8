// A real Mesa OpenGL context for tests, made through the platform layer (headless under SDL's offscreen driver),
// and its state read back.
#pragma once

#include <GL/gl.h>

#include <vector>

// Opens a hidden width x height window with a current compatibility context; false if none can be had.
bool openTestContext(int width, int height);
// Releases the context and window made by openTestContext.
void closeTestContext();

using Floats = std::vector<GLfloat>;

inline GLint getInt(GLenum name)
{
    GLint v = -1;
    glGetIntegerv(name, &v);
    return v;
}
// The first count values of a state variable, or of a parameter of light when one is given.
inline Floats floats(GLenum name, int count = 1, GLenum light = 0)
{
    GLfloat values[16] = {};
    light ? glGetLightfv(light, name, values) : glGetFloatv(name, values);
    return {values, values + count};
}
