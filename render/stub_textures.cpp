// Placeholder texture table until the BMP loader lands.
#include "render/render.h"

TextureTable textureTable{};

bool loadBmpTexture(const char*, GLuint&) { return true; }
bool loadAllTextures() { return true; }
