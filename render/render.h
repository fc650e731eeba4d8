// Scene rendering: the OpenGL state, the texture table and its loader, and the frame drawing.
#pragma once

#include <GL/gl.h>

#include <array>

// Texture names: slots 0..22 by tile type, then the named slots below.
using TextureTable = std::array<GLuint, 31>;
extern TextureTable textureTable;

constexpr int cliffTopSlot = 23;
constexpr int rooftopSlot = 24;
constexpr int skySlot0 = 25, skySlot1 = 26, skySlot2 = 27, skySlot3 = 28, skySlot4 = 29, skySlot5 = 30;

extern float maxAnisotropy;  // the driver's maximum anisotropy, read by initScene

// True when the GL_RENDERER text names a software rasteriser (llvmpipe, softpipe, swrast).
bool isSoftwareRasteriser(const char* renderer);
// Loads font, textures, tile lists and map into the current context and sets its state; false on failure.
bool initScene();
// Viewport and projection for a client size; fog too while it is switched on.
void resizeScene(int width, int height);
// Sets linear fog for day or night and enables it.
void applyFog();
// Specifies light 0 for day or night under the current modelview matrix and enables lighting.
void applyLight();

// Generates a name into slot, then loads and uploads a BMP file into it; false when the file cannot be read.
bool loadBmpTexture(const char* path, GLuint& slot);
// Loads the 31 textures in slot order, stopping with a message at the first failure.
bool loadAllTextures();

// Draws one frame into the back buffer: sky by day, the tiles around the camera, the HUD. Always true.
// The same pixels as drawFrameReference, from only the tiles that can show, drawn near to far.
bool drawFrame();
// The same frame as the plain loop: every tile of the window in row order, each under its own light call.
bool drawFrameReference();
// The daylight sky step: the box under the camera's rotations with lighting and fog off, the colour left white.
void drawSky();
extern int tilesDrawn;  // tiles the last frame drew (not counting roofs), for tests and benchmarks
