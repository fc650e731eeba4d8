// Text and HUD: the TGA reader, the bitmap font, the text printer, the frame counter and the statistics.
#pragma once

#include <GL/gl.h>

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

// Result codes of loadTgaTexture.
constexpr int tgaLoaded = 1;
constexpr int tgaCannotOpen = 13;

// Loads an uncompressed 8/24/32-bit TGA into texture; 1 on success, 13 if unopenable, another code if rejected.
int loadTgaTexture(const char* path, GLuint texture);
// True for the accepted texture sides 2, 4, ..., 512.
bool isTextureSide(int side);

// Loads "data/Terminal8.tga" and compiles the 256 glyph lists; false only when the reader returns 0.
bool buildFont(int width, int height);
// Deletes the 256 glyph lists.
void deleteFont();
// Draws formatted text at (x, y) window pixels from the top-left, in character set 0 or 1.
void printText(float x, float y, int set, const char* format, ...);
// Frames drawn in the last completed window of at least 1000 ms.
int countFrames();
// Draws the title, the frame rate and, when switched on, the statistics lines.
void drawStatDisplay(int fps);
