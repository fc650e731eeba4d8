// Text and HUD: the TGA reader, the bitmap font, the text printer, the frame counter and the statistics.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>

struct FontState {
    GLuint texture = 0;    // texture holding the font image (always the default texture, 0)
    GLuint listBase = 0;   // first of 256 glyph display lists
    uint32_t width = 0;    // pixels, window width when the font was built
    uint32_t height = 0;   // pixels, window height when the font was built
};
extern FontState fontState;

struct FrameCounter {
    uint32_t lastTick = 0;  // milliseconds (tick count), start of the current window
    int frames = 0;         // frames counted in the current window
    int shownRate = 0;      // frames in the last completed window
};
extern FrameCounter frameCounter;

// Where countFrames reads the time, in milliseconds wrapping at 2^32; getTickCount unless a test swaps it.
extern uint32_t (*frameTickSource)();

// Result codes of loadTgaTexture. Every code but 0 counts as success for buildFont, so none is 0.
constexpr int tgaLoaded = 1;
constexpr int tgaCannotOpen = 13;
constexpr int tgaShortHeader = 2;   // the file ends inside the 18-byte header
constexpr int tgaBadType = 3;       // colour-mapped, or an image type other than 2 or 3
constexpr int tgaBadSide = 4;       // width or height outside 2, 4, ..., 512
constexpr int tgaBadDepth = 5;      // pixel depth other than 8, 24 or 32
constexpr int tgaShortPixels = 6;   // pixel block missing bytes, or its buffer not allocatable

// The fields of an 18-byte TGA header that the reader uses.
struct TgaHeader {
    int idLength = 0;       // bytes of image ID between the header and the pixels
    int colourMapType = 0;
    int imageType = 0;
    int width = 0;          // pixels
    int height = 0;         // pixels
    int depth = 0;          // bits per pixel
    int descriptor = 0;     // origin and attribute bits (not used)
};
constexpr size_t tgaHeaderBytes = 18;

// Loads an uncompressed 8/24/32-bit TGA into texture; 1 on success, 13 if unopenable, another code if rejected.
int loadTgaTexture(const char* path, GLuint texture);
// True for the accepted texture sides 2, 4, ..., 512.
bool isTextureSide(int side);
// Decodes and checks the header in the reader's order; tgaLoaded if acceptable, else the rejection code.
int parseTgaHeader(const unsigned char* bytes, size_t size, TgaHeader* out);
// Converts count pixels of depth 8/24/32 in place to upload order; returns their GL format (0 for other depths).
GLenum convertTgaPixels(unsigned char* pixels, size_t count, int depth);

// Loads "data/Terminal8.tga" and compiles the 256 glyph lists; false only when the reader returns 0.
bool buildFont(int width, int height);
// Deletes the 256 glyph lists.
void deleteFont();
// Draws formatted text (at most 255 bytes) at (x, y) window pixels from the top-left, in character set 0 or 1.
void printText(float x, float y, int set, const char* format, ...) __attribute__((format(printf, 4, 5)));
// printText's pixels with the text's glyphs drawn as one run of quads instead of a list call each.
void printTextBatched(float x, float y, int set, const char* format, ...) __attribute__((format(printf, 4, 5)));
// Frames drawn in the last completed window of at least 1000 ms.
int countFrames();
// Draws the title, the frame rate and, when switched on, the statistics lines.
void drawStatDisplay(int fps);
// drawStatDisplay's pixels through printTextBatched.
void drawStatDisplayBatched(int fps);
