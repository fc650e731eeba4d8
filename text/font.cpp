// The bitmap font: 256 glyph display lists over the font image, and the text printer.
#include "text/text.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

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

// The quad of glyph k, 16 pixels square, its left edge at x pixels along the baseline.
static void emitGlyph(unsigned k, int x)
{
    float s0 = float(k & 15) * cellSide;
    // Unsigned division keeps t0 exactly (k / 16 + 1) / 16.
    float t0 = 1.0f - float((255 - k) / 16) * cellSide;
    glTexCoord2f(s0, t0);
    glVertex2i(x, 0);
    glTexCoord2f(s0 + cellSide, t0);
    glVertex2i(x + 16, 0);
    glTexCoord2f(s0 + cellSide, t0 - cellSide);
    glVertex2i(x + 16, 16);
    glTexCoord2f(s0, t0 - cellSide);
    glVertex2i(x, 16);
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
        glBegin(GL_QUADS);
        for (int i = 0, pen = 0; i < length; ++i) {
            // A byte whose list does not exist draws nothing and does not advance, as glCallLists skips it.
            const int k = int(static_cast<unsigned char>(text[i])) + (set == 0 ? -32 : 96);
            if (k < 0 || k >= glyphCount)
                continue;
            emitGlyph(unsigned(k), pen);
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
