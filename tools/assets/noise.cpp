// Deterministic noise and colour helpers: integer hashing and double arithmetic only, no global state.
#include "tools/assets/assets.h"

#include <cmath>

Image makeImage(int width, int height)
{
    Image picture;
    picture.width = width;
    picture.height = height;
    picture.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    return picture;
}

static uint8_t toByte(double v)
{
    if (!(v > 0))
        return 0;
    if (v >= 255)
        return 255;
    return static_cast<uint8_t>(std::lround(v));
}

void setPixel(Image& picture, int x, int y, Colour colour)
{
    uint8_t* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
    p[0] = toByte(colour.r);
    p[1] = toByte(colour.g);
    p[2] = toByte(colour.b);
}

Colour getPixel(const Image& picture, int x, int y)
{
    const uint8_t* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
    return {double(p[0]), double(p[1]), double(p[2])};
}

Colour mix(Colour a, Colour b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scale(Colour c, double factor)
{
    return {c.r * factor, c.g * factor, c.b * factor};
}

double clamp01(double v)
{
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}

double smoothstep(double edge0, double edge1, double v)
{
    double t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

static uint32_t mixBits(uint32_t h)
{
    h ^= h >> 16;
    h *= 0x7feb352dU;
    h ^= h >> 15;
    h *= 0x846ca68bU;
    h ^= h >> 16;
    return h;
}

static uint32_t hashInts(int32_t x, int32_t y, int32_t z, int32_t seed)
{
    uint32_t h = mixBits(static_cast<uint32_t>(seed) * 0x9e3779b9U + 0x632be5abU);
    h = mixBits(h ^ static_cast<uint32_t>(x));
    h = mixBits(h ^ static_cast<uint32_t>(y) * 0x85ebca6bU);
    h = mixBits(h ^ static_cast<uint32_t>(z) * 0xc2b2ae35U);
    return h;
}

double hash01(int32_t x, int32_t y, int32_t seed)
{
    return hashInts(x, y, 0, seed) / 4294967296.0;
}

static int wrap(int v, int period)
{
    if (period <= 0)
        return v;
    int m = v % period;
    return m < 0 ? m + period : m;
}

static double fade(double t)
{
    return t * t * (3 - 2 * t);
}

double valueNoise(double x, double y, int period, int seed)
{
    double fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = fade(x - fx), ty = fade(y - fy);
    int x0 = wrap(ix, period), x1 = wrap(ix + 1, period);
    int y0 = wrap(iy, period), y1 = wrap(iy + 1, period);
    double a = hash01(x0, y0, seed), b = hash01(x1, y0, seed);
    double c = hash01(x0, y1, seed), d = hash01(x1, y1, seed);
    double top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

double fractalNoise(double x, double y, int period, int octaves, int seed)
{
    double sum = 0, weight = 0, amplitude = 1;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * valueNoise(x, y, period, seed + octave * 101);
        weight += amplitude;
        amplitude *= 0.5;
        x *= 2;
        y *= 2;
        if (period > 0)
            period *= 2;
    }
    return sum / weight;
}

double valueNoise3(double x, double y, double z, int seed)
{
    double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy), iz = static_cast<int>(fz);
    double tx = fade(x - fx), ty = fade(y - fy), tz = fade(z - fz);
    double corner[2][2][2];
    for (int dz = 0; dz < 2; ++dz)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                corner[dz][dy][dx] = hashInts(ix + dx, iy + dy, iz + dz, seed) / 4294967296.0;
    double plane[2];
    for (int dz = 0; dz < 2; ++dz) {
        double top = corner[dz][0][0] + (corner[dz][0][1] - corner[dz][0][0]) * tx;
        double bottom = corner[dz][1][0] + (corner[dz][1][1] - corner[dz][1][0]) * tx;
        plane[dz] = top + (bottom - top) * ty;
    }
    return plane[0] + (plane[1] - plane[0]) * tz;
}
