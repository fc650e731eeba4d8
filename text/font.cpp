// The bitmap font: 256 glyph display lists over the font image, and the text printer.
#include "text/text.h"

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

FontState fontState;

static const char* const fontImagePath = "data/Terminal8.tga";
constexpr GLsizei glyphCount = 256;
constexpr float cellSide = 0.0625f;  // one of 16 cells across the texture, in texture coordinates

// Why the TGA reader refused the font image, from its result code and the errno of the open.
static const char* tgaProblem(int code, int openError)
{
    switch (code) {
    case tgaCannotOpen:
        return openError == EINVAL ? "not a regular file" : std::strerror(openError);
    case tgaShortHeader:
        return "the file ends inside its 18-byte header";
    case tgaBadType:
        return "not an uncompressed true-colour or grey-scale TGA image";
    case tgaBadSide:
        return "a side is not 2, 4, 8, ..., 512 pixels";
    case tgaBadDepth:
        return "the pixel depth is not 8, 24 or 32 bits";
    default:
        return "the pixel data is cut short";
    }
}

// The quad of glyph k, 16 pixels high and width (16, or 8 for the left half of its cell) wide, its left edge
// at x pixels along the baseline.
static void emitGlyph(unsigned k, int x, int width = 16)
{
    float s0 = float(k & 15) * cellSide, s1 = s0 + cellSide * float(width) / 16.0f;
    // Unsigned division keeps t0 exactly (k / 16 + 1) / 16.
    float t0 = 1.0f - float((255 - k) / 16) * cellSide;
    glTexCoord2f(s0, t0);
    glVertex2i(x, 0);
    glTexCoord2f(s1, t0);
    glVertex2i(x + width, 0);
    glTexCoord2f(s1, t0 - cellSide);
    glVertex2i(x + width, 16);
    glTexCoord2f(s0, t0 - cellSide);
    glVertex2i(x, 16);
}

int glyphInkWidth(const uint8_t* rgba, int width, int height)
{
    if (width != 256 || height != 256)
        return 16;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            if (column % 16 >= 8 && rgba[(size_t(row) * width + column) * 4 + 3] != 0)
                return 16;
    return 8;
}

// The font image's ink width, read back from the texture bound.
static int boundInkWidth()
{
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    if (width != 256 || height != 256)
        return 16;
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return glyphInkWidth(rgba.data(), width, height);
}

bool buildFont(int width, int height)
{
    fontState.width = uint32_t(width);
    fontState.height = uint32_t(height);
    // A missing or rejected image still gets its lists: the text is then drawn untextured, and one
    // line says why.
    errno = 0;
    const int loaded = loadTgaTexture(fontImagePath, fontState.texture);
    if (loaded == 0)
        return false;
    if (loaded != tgaLoaded)
        std::fprintf(stderr, "%s: %s; the text is drawn without its font\n", fontImagePath, tgaProblem(loaded, errno));
    fontState.listBase = glGenLists(glyphCount);
    glBindTexture(GL_TEXTURE_2D, fontState.texture);
    fontState.inkWidth = loaded == tgaLoaded ? boundInkWidth() : 16;
    for (unsigned k = 0; k < unsigned(glyphCount); ++k) {
        glNewList(fontState.listBase + k, GL_COMPILE);
        glBegin(GL_QUADS);
        emitGlyph(k, 0);
        glEnd();
        glTranslated(8, 0, 0);
        glEndList();
    }
    return true;
}

void deleteFont()
{
    glDeleteLists(fontState.listBase, glyphCount);
}

// Draws text at (x, y) with the printer's state around it: one glyph list per byte, or with batched
// set, every glyph of the text in one run of quads at the positions the lists would reach.
static void drawText(float x, float y, int set, const char* text, int length, bool batched)
{
    glBindTexture(GL_TEXTURE_2D, fontState.texture);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, double(fontState.width), 0, double(fontState.height), -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    float baseline = float(fontState.height) - y;
    glTranslated(double(x), double(baseline), 0);
    if (batched) {
        // Where each pixel centre falls on a texel centre (the window as wide and high as when the font was
        // built), a glyph's transparent right half leaves its pixels as they are, so only its ink is drawn.
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        const bool oneToOne = viewport[2] == GLint(fontState.width) && viewport[3] == GLint(fontState.height);
        const int width = oneToOne && x == std::floor(x) && y == std::floor(y) ? fontState.inkWidth : 16;
        glBegin(GL_QUADS);
        for (int i = 0, pen = 0; i < length; ++i) {
            // A byte whose list does not exist draws nothing and does not advance, as glCallLists skips it.
            const int k = int(static_cast<unsigned char>(text[i])) + (set == 0 ? -32 : 96);
            if (k < 0 || k >= glyphCount)
                continue;
            emitGlyph(unsigned(k), pen, width);
            pen += 8;
        }
        glEnd();
    } else {
        glListBase(set == 0 ? fontState.listBase - 32 : fontState.listBase + 96);
        glCallLists(length, GL_UNSIGNED_BYTE, text);
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
}

// Formats at most 255 bytes of text and draws them.
static void formatAndDraw(float x, float y, int set, bool batched, const char* format, va_list values)
{
    if (!format)
        return;
    char text[256];
    int length = std::vsnprintf(text, sizeof text, format, values);
    if (length < 0)
        length = 0;
    drawText(x, y, set, text, length > int(sizeof text) - 1 ? int(sizeof text) - 1 : length, batched);
}

void printText(float x, float y, int set, const char* format, ...)
{
    va_list values;
    va_start(values, format);
    formatAndDraw(x, y, set, false, format, values);
    va_end(values);
}

void printTextBatched(float x, float y, int set, const char* format, ...)
{
    va_list values;
    va_start(values, format);
    formatAndDraw(x, y, set, true, format, values);
    va_end(values);
}
