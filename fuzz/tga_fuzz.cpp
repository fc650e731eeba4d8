// Fuzz target for the TGA reader, header and pixel path, uploading into a real headless Mesa context:
// an accepted file must have a valid header and a whole pixel block, and its texture the header's size.
#include <GL/gl.h>

#include <cstdint>
#include <cstdlib>

#include "fuzz/scratch_file.h"
#include "platform/platform.h"
#include "text/text.h"

static GLuint fuzzTexture = 0;
// Kept for the life of the process so that the leak check sees it as reachable.
static BareContext context;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (!openBareContext(64, 64, &context))
        std::abort();
    glGenTextures(1, &fuzzTexture);
    return 0;
}

static unsigned field16(const uint8_t* p)
{
    return unsigned(p[0]) | unsigned(p[1]) << 8;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (loadTgaTexture(writeScratch(data, size), fuzzTexture) != tgaLoaded)
        return 0;
    if (size < 18 || data[1] != 0 || (data[2] != 2 && data[2] != 3))
        __builtin_trap();
    unsigned width = field16(data + 12), height = field16(data + 14), depth = data[16];
    if (!isTextureSide(int(width)) || !isTextureSide(int(height)) || (depth != 8 && depth != 24 && depth != 32))
        __builtin_trap();
    if (size < 18 + size_t(width) * height * (depth / 8))
        __builtin_trap();
    GLint uploadedWidth = 0, uploadedHeight = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &uploadedWidth);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &uploadedHeight);
    if (uploadedWidth != GLint(width) || uploadedHeight != GLint(height))
        __builtin_trap();
    return 0;
}
