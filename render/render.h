// Scene rendering: the OpenGL state, the texture table and its loader, and the frame drawing.
#pragma once

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <vector>

#include "map/map.h"

// Texture names: slots 0..22 by tile type, then cliff top and roof (map.h), then the sky faces.
using TextureTable = std::array<GLuint, 31>;
extern TextureTable textureTable;
// The image file of each slot, as the program names it ("Data/Grass.bmp"). Road pieces are named
// "Data/Road" and the letters of their sides (roadN, roadS, roadE, roadW in that order).
extern const char* const textureFiles[std::tuple_size_v<TextureTable>];

constexpr int skySlot0 = 25, skySlot1 = 26, skySlot2 = 27, skySlot3 = 28, skySlot4 = 29, skySlot5 = 30;

// ---- The sky box, around the eye under the camera's rotations: the view reaches 12 x viewRadius units.
constexpr float skyHalfWidth = static_cast<float>(12 * viewRadius);  // world units, +-x and +-z
constexpr float skyBottom = -skyHalfWidth * 0.5f, skyTop = skyHalfWidth * 0.5f + 1.0f;
struct SkyFace {
    int slot;            // texture slot
    Corner corners[4];   // one triangle strip, counter-clockwise seen from outside the box
};
// +z, +x, -z, -x, top, bottom: the order of the texture table.
extern const SkyFace skyFaces[6];
// Where a sky face's picture lies on the box: point(s, t) = origin + s * sAxis + t * tAxis.
struct SkyFrame {
    double origin[3], sAxis[3], tAxis[3];  // world units
};
SkyFrame skyFaceFrame(int face);

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

// A frame as the window shows it: 8-bit RGB pixels, rows top to bottom.
struct FramePixels {
    int width = 0, height = 0;  // pixels
    std::vector<uint8_t> rgb;
};
// The back buffer's viewport (the whole client area) once a frame is drawn, before it is presented.
FramePixels readFrame();
