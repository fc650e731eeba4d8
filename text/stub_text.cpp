// Placeholder text stage until the TGA reader, font and HUD land.
#include "text/text.h"

FontState fontState;
FrameCounter frameCounter;

int loadTgaTexture(const char*, GLuint) { return tgaCannotOpen; }
bool isTextureSide(int) { return false; }
bool buildFont(int, int) { return true; }
void deleteFont() {}
void printText(float, float, int, const char*, ...) {}
int countFrames() { return 0; }
void drawStatDisplay(int) {}
