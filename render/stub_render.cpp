// Placeholder renderer until the scene state, textures and frame land.
#include "render/render.h"

TextureTable textureTable{};
float maxAnisotropy = 0.0f;

bool initScene() { return true; }
void resizeScene(int, int) {}
void applyFog() {}
void applyLight() {}
bool loadBmpTexture(const char*, GLuint&) { return true; }
bool loadAllTextures() { return true; }
bool drawFrame() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); return true; }
