// Placeholder frame until the sky box and city drawing land.
#include "render/render.h"

bool drawFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}
