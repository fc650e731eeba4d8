// The desktop icon: a city skyline at dusk above a street running to the horizon, described in unit
// coordinates and supersampled, so that every size shows the same picture with smooth edges.
#include "tools/assets/assets.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

constexpr double margin = 1.0 / 16;  // transparent border around the rounded square
constexpr double corner = 0.16;      // corner radius of the rounded square
constexpr double horizon = 0.66;     // where the street meets the sky, from the top
constexpr int samples = 4;           // supersampling per axis

struct Building {
    double left, right, top;
    Colour wall;
};
const Building buildings[] = {
    {0.06, 0.19, 0.38, {44, 50, 78}},  {0.17, 0.29, 0.24, {34, 38, 62}}, {0.29, 0.39, 0.46, {52, 56, 86}},
    {0.38, 0.50, 0.31, {38, 42, 70}},  {0.52, 0.64, 0.17, {30, 34, 58}}, {0.64, 0.78, 0.41, {48, 52, 82}},
    {0.77, 0.94, 0.29, {36, 40, 66}},  {0.575, 0.585, 0.08, {30, 34, 58}},  // the tower's mast
};
const Colour window{255, 214, 120};

// Lit and dark windows in a grid on each wall, chosen by a hash so that the pattern looks random.
Colour facade(const Building& b, int index, double x, double y)
{
    const double w = 0.026, h = 0.036;
    double cx = (x - b.left - 0.012) / w, cy = (y - b.top - 0.02) / h;
    if (b.right - b.left < 0.05 || cx < 0 || cy < 0 || x > b.right - 0.012)
        return b.wall;
    double fx = cx - std::floor(cx), fy = cy - std::floor(cy);
    bool pane = fx > 0.3 && fy > 0.35;
    bool lit = hash01(int(cx), int(cy), index + 7) > 0.45;
    return pane && lit ? window : b.wall;
}

Colour sky(double x, double y)
{
    Colour c = mix(Colour{24, 32, 84}, Colour{252, 146, 78}, std::pow(y / horizon, 1.8));
    double sun = std::hypot(x - 0.7, y - 0.5);
    if (sun < 0.12)
        c = mix(Colour{255, 226, 150}, c, smoothstep(0.1, 0.12, sun));
    for (int i = 0; i < int(std::size(buildings)); ++i) {
        const Building& b = buildings[i];
        if (x >= b.left && x <= b.right && y >= b.top)
            c = facade(b, i, x, y);
    }
    return c;
}

// The street: asphalt narrowing toward the vanishing point, white edges and a dashed yellow centre
// line whose dashes shorten with distance.
Colour ground(double x, double y)
{
    double t = (y - horizon) / (1 - horizon);  // 0 at the horizon, 1 at the bottom
    double half = 0.02 + 0.40 * t, off = std::abs(x - 0.5);
    if (off > half)
        return mix(Colour{34, 60, 40}, Colour{58, 96, 58}, t);
    if (off > half - 0.025 * t)
        return Colour{236, 236, 236};
    double depth = 1 / (t + 0.05);
    if (off < 0.018 * t && depth - std::floor(depth) < 0.55)
        return Colour{246, 200, 58};
    return mix(Colour{58, 60, 72}, Colour{86, 88, 98}, t);
}

// Colour and coverage (0 or 1) of one sample point.
Colour sample(double x, double y, double* alpha)
{
    double dx = std::max(0.0, std::max(margin + corner - x, x - (1 - margin - corner)));
    double dy = std::max(0.0, std::max(margin + corner - y, y - (1 - margin - corner)));
    bool inside = x >= margin && x <= 1 - margin && y >= margin && y <= 1 - margin &&
                  dx * dx + dy * dy <= corner * corner;
    *alpha = inside ? 1 : 0;
    return y < horizon ? sky(x, y) : ground(x, y);
}

}  // namespace

bool writeIcon(const char* path, int size)
{
    std::vector<uint8_t> rgba(size_t(size) * size * 4);
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            double r = 0, g = 0, b = 0, coverage = 0;
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx) {
                    double a;
                    Colour c = sample((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size, &a);
                    r += c.r * a, g += c.g * a, b += c.b * a, coverage += a;
                }
            uint8_t* out = &rgba[(size_t(py) * size + px) * 4];
            if (coverage > 0) {
                out[0] = uint8_t(std::lround(r / coverage));
                out[1] = uint8_t(std::lround(g / coverage));
                out[2] = uint8_t(std::lround(b / coverage));
            }
            out[3] = uint8_t(std::lround(255 * coverage / (samples * samples)));
        }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(size);
    image.height = png_uint_32(size);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path, 0, rgba.data(), 0, nullptr)) {
        std::fprintf(stderr, "kestra-assets: cannot write %s: %s\n", path, image.message);
        return false;
    }
    return true;
}
