// The asset generator's shared pieces: the image record, deterministic noise and the image makers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An RGB image as normally viewed: row 0 is the top row.
struct Image {
    int width = 0;   // pixels
    int height = 0;  // pixels
    std::vector<uint8_t> rgb;  // width * height * 3 bytes, red, green, blue
};

struct Colour {
    double r = 0, g = 0, b = 0;  // 0..255
};

Image makeImage(int width, int height);
void setPixel(Image& picture, int x, int y, Colour colour);
Colour getPixel(const Image& picture, int x, int y);

Colour mix(Colour a, Colour b, double t);
Colour scale(Colour c, double factor);
double clamp01(double v);
double smoothstep(double edge0, double edge1, double v);

// A hash of integers to [0, 1).
double hash01(int32_t x, int32_t y, int32_t seed);
// Value noise in [0, 1) on a lattice that repeats every period cells (period 0: no repetition).
double valueNoise(double x, double y, int period, int seed);
// Sum of octaves of valueNoise, each twice the frequency; stays periodic when period is.
double fractalNoise(double x, double y, int period, int octaves, int seed);
// 3D value noise in [0, 1), for the sky.
double valueNoise3(double x, double y, double z, int seed);

// Ground pictures mapped on the ground square: the top edge faces the neighbour at row - 1 (N),
// the right edge the neighbour at column + 1 (E).
Image makeGrass();
Image makeRoad(unsigned mask);  // mask: E = 1, S = 2, W = 4, N = 8
Image makeCliffFace();
Image makeCliffTop();
Image makeRooftop();
// Building walls, picture top at the top of the wall; index 1..5 is the tile type.
Image makeFacade(int type);
// Sky box face 0..5 in the order of the texture table.
Image makeSkyFace(int face);

// The 256 x 256 glyph sheet from two PSF console fonts (regular, bold); rows top first, one byte a pixel.
// Empty with a message in *error when a font cannot be read.
std::vector<uint8_t> makeFontSheet(const char* regularFont, const char* boldFont, std::string* error);

// Writes the desktop icon, size x size pixels with a transparent border, as a PNG file; false after a message.
bool writeIcon(const char* path, int size);
