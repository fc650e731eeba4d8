// Ground pictures: grass, the sixteen road pieces, the cliff face and top, and the flat roof.
// All of them repeat seamlessly: their noise is periodic over one picture.
#include "tools/assets/assets.h"

#include <cmath>
#include <cstdlib>

namespace {

constexpr int groundSide = 256;           // pixels along each side of a ground picture
constexpr double centre = groundSide / 2.0;
constexpr double roadHalfWidth = 64;      // asphalt from 64 to 192 across every road arm
constexpr double kerbWidth = 8;
constexpr double filletRadius = 28;       // rounds the kerb where two arms meet at a right angle
constexpr double turningRadius = 84;      // the turning circle at a dead end
constexpr double plazaRadius = 76;        // the patch of a piece with no sides
constexpr double dashPeriod = 64;         // a quarter of the picture, so dashes run on across tiles
constexpr double dashLength = 32;
constexpr double lineHalfWidth = 2.5;
constexpr double crossingNear = 70, crossingFar = 98;  // zebra crossing, distance from the centre

struct Side {
    unsigned bit;
    double dx, dy;  // direction from the centre toward the edge, in picture pixels (y down)
    double phase;   // where the dash pattern stands at this edge, so that neighbours continue it
};
// N is the top edge (y = 0), E the right edge (x = 256).
constexpr Side sides[4] = {{8, 0, -1, 0}, {1, 1, 0, dashLength}, {2, 0, 1, dashLength}, {4, -1, 0, 0}};

double length(double x, double y)
{
    return std::sqrt(x * x + y * y);
}

// Signed distance (pixels, negative on asphalt) from the road of a piece.
double roadDistance(unsigned mask, double x, double y)
{
    double px = x - centre, py = y - centre;
    int count = 0;
    double d = 1e9;
    for (const Side& side : sides) {
        if (!(mask & side.bit))
            continue;
        ++count;
        double along = px * side.dx + py * side.dy;
        double across = std::fabs(px * side.dy - py * side.dx);
        d = std::min(d, along >= 0 ? across - roadHalfWidth : length(px, py) - roadHalfWidth);
    }
    if (count == 0)
        return length(px, py) - plazaRadius;
    if (count == 1)
        return std::min(d, length(px, py) - turningRadius);
    for (int i = 0; i < 4; ++i) {
        const Side& a = sides[i];
        const Side& b = sides[(i + 1) % 4];
        if (!(mask & a.bit) || !(mask & b.bit))
            continue;
        double dx = a.dx + b.dx, dy = a.dy + b.dy;
        // Inner corner of the two kerbs, and the square beyond it that the fillet fills.
        double kx = dx * roadHalfWidth, ky = dy * roadHalfWidth;
        double fx = kx + dx * filletRadius, fy = ky + dy * filletRadius;
        double inX = (px - kx) * dx, inY = (py - ky) * dy;
        if (inX >= 0 && inX <= filletRadius && inY >= 0 && inY <= filletRadius)
            d = std::min(d, filletRadius - length(px - fx, py - fy));
    }
    return d;
}

struct LineSample {
    double distance = 1e9;  // pixels from the painted line's middle
    bool dashOn = false;
};

// Dash state for a straight arm: the pattern is fixed to the picture, so the same coordinate
// gives the same state on every piece and across tile edges.
bool straightDash(const Side& side, double x, double y)
{
    double a = side.dx != 0 ? x : y;
    return std::fmod(a, dashPeriod) < dashLength;
}

// The centre line of a bend from side a to side b: straight, a quarter circle round the inner
// corner, straight. Its dash pattern is stretched so that it meets both edges in phase.
LineSample bendLine(const Side& a, const Side& b, double x, double y)
{
    double px = x - centre, py = y - centre;
    double kx = (a.dx + b.dx) * roadHalfWidth, ky = (a.dy + b.dy) * roadHalfWidth;
    const double straight = centre - roadHalfWidth;
    const double arc = M_PI / 2 * roadHalfWidth;
    const double total = 2 * straight + arc;
    LineSample best;
    double bestAlong = 0;
    // Leg along a, from a's edge inward.
    double alongA = px * a.dx + py * a.dy;
    if (alongA >= roadHalfWidth) {
        best.distance = std::fabs(px * a.dy - py * a.dx);
        bestAlong = centre - alongA;
    }
    double alongB = px * b.dx + py * b.dy;
    if (alongB >= roadHalfWidth) {
        double dist = std::fabs(px * b.dy - py * b.dx);
        if (dist < best.distance) {
            best.distance = dist;
            bestAlong = total - (centre - alongB);
        }
    }
    // The arc lies in the quarter toward the centre seen from the inner corner.
    double rx = px - kx, ry = py - ky;
    double towardA = -(rx * b.dx + ry * b.dy), towardB = -(rx * a.dx + ry * a.dy);
    if (towardA >= 0 && towardB >= 0) {
        double dist = std::fabs(length(rx, ry) - roadHalfWidth);
        if (dist < best.distance) {
            best.distance = dist;
            bestAlong = straight + std::atan2(towardB, towardA) * roadHalfWidth;
        }
    }
    double end = a.phase + total;
    double target = std::round((end - (dashLength - b.phase)) / dashPeriod) * dashPeriod + (dashLength - b.phase);
    double u = a.phase + bestAlong * (target - a.phase) / total;
    best.dashOn = std::fmod(u, dashPeriod) < dashLength;
    return best;
}

// White paint on the asphalt at (x, y): centre lines, zebra crossings; 0..1 coverage.
double paintCoverage(unsigned mask, double x, double y)
{
    double px = x - centre, py = y - centre;
    int count = 0;
    for (const Side& side : sides)
        count += (mask & side.bit) ? 1 : 0;
    auto lineCoverage = [](double distance) { return clamp01(lineHalfWidth + 0.5 - distance); };
    if (count == 2 && (mask == 5 || mask == 10)) {
        const Side& side = mask == 5 ? sides[1] : sides[0];
        double across = std::fabs(px * side.dy - py * side.dx);
        return straightDash(side, x, y) ? lineCoverage(across) : 0;
    }
    if (count == 2) {
        const Side* a = nullptr;
        const Side* b = nullptr;
        for (int i = 0; i < 4; ++i) {
            if ((mask & sides[i].bit) && (mask & sides[(i + 1) % 4].bit)) {
                a = &sides[i];
                b = &sides[(i + 1) % 4];
            }
        }
        LineSample line = bendLine(*a, *b, x, y);
        return line.dashOn ? lineCoverage(line.distance) : 0;
    }
    double paint = 0;
    for (const Side& side : sides) {
        if (!(mask & side.bit))
            continue;
        double along = px * side.dx + py * side.dy;
        double across = std::fabs(px * side.dy - py * side.dx);
        double start = count == 1 ? turningRadius + 20 : crossingFar + 10;
        if (along >= start && straightDash(side, x, y))
            paint = std::max(paint, lineCoverage(across));
        if (count >= 3 && along >= crossingNear && along <= crossingFar && across <= roadHalfWidth - 16) {
            double stripe = std::fmod(across + roadHalfWidth, 16.0);
            if (stripe >= 3 && stripe < 11)
                paint = 1;
        }
    }
    return paint;
}

double luminanceNoise(double u, double v, int cells, int octaves, int seed)
{
    return fractalNoise(u * cells, v * cells, cells, octaves, seed);
}

Colour asphalt(int ix, int iy, double u, double v)
{
    double broad = luminanceNoise(u, v, 4, 4, 11);
    double grain = hash01(ix, iy, 12);
    double stone = hash01(ix, iy, 13);
    double level = 60 + broad * 26 + (grain - 0.5) * 16;
    if (stone > 0.97)
        level += 22;
    return {level, level, level + 3};
}

Colour sidewalk(int ix, int iy, double u, double v)
{
    const int slab = 32;
    int sx = ix / slab, sy = iy / slab;
    double tone = 150 + hash01(sx, sy, 21) * 16 + (luminanceNoise(u, v, 8, 3, 22) - 0.5) * 14;
    tone += (hash01(ix, iy, 23) - 0.5) * 10;
    int jx = ix % slab, jy = iy % slab;
    if (jx == 0 || jy == 0)
        tone -= 26;
    else if (jx == 1 || jy == 1)
        tone -= 12;
    return {tone + 2, tone, tone - 5};
}

}  // namespace

Image makeRoad(unsigned mask)
{
    Image picture = makeImage(groundSide, groundSide);
    for (int iy = 0; iy < groundSide; ++iy) {
        for (int ix = 0; ix < groundSide; ++ix) {
            double x = ix + 0.5, y = iy + 0.5;
            double u = x / groundSide, v = y / groundSide;
            double d = roadDistance(mask, x, y);
            Colour colour;
            if (d < 0) {
                colour = asphalt(ix, iy, u, v);
                // Darker gutter along the kerb.
                colour = scale(colour, 0.85 + 0.15 * smoothstep(-6, -1, -d));
                double paint = paintCoverage(mask, x, y);
                double worn = 0.75 + 0.25 * luminanceNoise(u, v, 32, 2, 14);
                colour = mix(colour, Colour{226, 226, 220}, paint * worn);
            } else if (d < kerbWidth) {
                double level = 178 + (hash01(ix, iy, 31) - 0.5) * 18;
                if (d < 1.5)
                    level -= 50;  // the kerb's face, in shadow
                else if (d > kerbWidth - 1.5)
                    level -= 20;
                colour = {level, level, level - 2};
            } else {
                colour = sidewalk(ix, iy, u, v);
                colour = scale(colour, 0.9 + 0.1 * smoothstep(kerbWidth, kerbWidth + 6, d));
            }
            // A soft transition between asphalt and kerb against aliasing.
            if (d > -0.5 && d < 0.5) {
                Colour kerb{150, 150, 148};
                colour = mix(colour, kerb, d + 0.5);
            }
            setPixel(picture, ix, iy, colour);
        }
    }
    return picture;
}

Image makeGrass()
{
    Image picture = makeImage(groundSide, groundSide);
    for (int iy = 0; iy < groundSide; ++iy) {
        for (int ix = 0; ix < groundSide; ++ix) {
            double u = (ix + 0.5) / groundSide, v = (iy + 0.5) / groundSide;
            double patches = luminanceNoise(u, v, 4, 4, 41);
            double tufts = luminanceNoise(u, v, 32, 2, 42);
            double blade = hash01(ix, iy, 43);
            Colour dark{52, 88, 34}, light{98, 138, 56}, dry{128, 132, 70};
            Colour colour = mix(dark, light, clamp01(patches * 1.3 - 0.15 + (tufts - 0.5) * 0.5));
            colour = mix(colour, dry, smoothstep(0.62, 0.8, luminanceNoise(u, v, 2, 3, 44)) * 0.45);
            colour = scale(colour, 0.86 + blade * 0.28);
            if (hash01(ix, iy, 45) > 0.9992)
                colour = hash01(ix, iy, 46) > 0.5 ? Colour{230, 225, 120} : Colour{235, 235, 235};
            setPixel(picture, ix, iy, colour);
        }
    }
    return picture;
}

namespace {

// A shaded rock height field: light from the upper left picks out the relief.
double rockHeight(double u, double v, int seed, double layering)
{
    double h = luminanceNoise(u, v, 8, 5, seed);
    double warp = luminanceNoise(u, v, 4, 3, seed + 7) * 0.15;
    double strata = 0.5 + 0.5 * std::sin((v + warp) * 2 * M_PI * 9);
    return h * (1 - layering) + strata * layering;
}

double rockShade(double u, double v, int seed, double layering)
{
    const double step = 1.0 / groundSide;
    double hx = rockHeight(u + step, v, seed, layering) - rockHeight(u - step, v, seed, layering);
    double hy = rockHeight(u, v + step, seed, layering) - rockHeight(u, v - step, seed, layering);
    return clamp01(0.78 - (hx + hy) * 9);
}

}  // namespace

Image makeCliffFace()
{
    Image picture = makeImage(groundSide, groundSide);
    for (int iy = 0; iy < groundSide; ++iy) {
        for (int ix = 0; ix < groundSide; ++ix) {
            double u = (ix + 0.5) / groundSide, v = (iy + 0.5) / groundSide;
            // Blocky ledges: the relief steps down in rough horizontal layers of uneven height.
            double shade = rockShade(u, v, 51, 0.18);
            double warp = luminanceNoise(u, v, 4, 3, 52) * 0.12;
            double band = luminanceNoise(0.0, v + warp, 5, 3, 53);
            Colour sand{156, 134, 106}, slate{112, 104, 96}, rust{140, 100, 70};
            Colour colour = mix(slate, sand, smoothstep(0.3, 0.7, band));
            colour = mix(colour, rust, smoothstep(0.55, 0.8, luminanceNoise(u, v, 8, 3, 58)) * 0.4);
            colour = scale(colour, 0.6 + 0.6 * shade);
            // Fissures: where a stretched noise crosses its middle, the rock is split and shadowed.
            double fissure = std::fabs(luminanceNoise(u, v * 0.25, 8, 4, 54) - 0.5);
            colour = scale(colour, 0.6 + 0.4 * smoothstep(0.004, 0.03, fissure));
            colour = scale(colour, 0.9 + hash01(ix, iy, 55) * 0.2);
            // Grass hanging over the top edge, damp darker rock at the foot.
            double fringe = 0.04 + 0.05 * luminanceNoise(u, 0, 16, 2, 56);
            if (v < fringe)
                colour = mix(Colour{62, 96, 38}, Colour{96, 130, 52}, hash01(ix, iy, 57));
            else if (v < fringe + 0.02)
                colour = scale(colour, 0.7);
            colour = scale(colour, 1 - 0.25 * smoothstep(0.8, 1.0, v));
            setPixel(picture, ix, iy, colour);
        }
    }
    return picture;
}

Image makeCliffTop()
{
    Image picture = makeImage(groundSide, groundSide);
    for (int iy = 0; iy < groundSide; ++iy) {
        for (int ix = 0; ix < groundSide; ++ix) {
            double u = (ix + 0.5) / groundSide, v = (iy + 0.5) / groundSide;
            double shade = rockShade(u, v, 61, 0.0);
            Colour rock = scale(Colour{138, 126, 110}, 0.6 + 0.6 * shade);
            double grassAmount = smoothstep(0.45, 0.6, luminanceNoise(u, v, 4, 4, 62));
            Colour grass = mix(Colour{58, 90, 36}, Colour{96, 128, 54}, luminanceNoise(u, v, 32, 2, 63));
            Colour colour = mix(rock, grass, grassAmount);
            colour = scale(colour, 0.88 + hash01(ix, iy, 64) * 0.24);
            setPixel(picture, ix, iy, colour);
        }
    }
    return picture;
}

Image makeRooftop()
{
    Image picture = makeImage(groundSide, groundSide);
    const int parapet = 10;
    for (int iy = 0; iy < groundSide; ++iy) {
        for (int ix = 0; ix < groundSide; ++ix) {
            double u = (ix + 0.5) / groundSide, v = (iy + 0.5) / groundSide;
            double gravel = 112 + luminanceNoise(u, v, 8, 3, 71) * 24 + (hash01(ix, iy, 72) - 0.5) * 34;
            Colour colour{gravel, gravel - 2, gravel - 6};
            int edge = std::min(std::min(ix, iy), std::min(groundSide - 1 - ix, groundSide - 1 - iy));
            if (edge < parapet) {
                double level = 176 + (hash01(ix, iy, 73) - 0.5) * 12;
                if (edge == parapet - 1)
                    level -= 40;  // inner face of the parapet
                if ((ix % 64 == 0 || iy % 64 == 0) && edge < parapet - 1)
                    level -= 30;  // joints of the coping stones
                colour = {level, level - 1, level - 4};
            } else if (edge < parapet + 6) {
                colour = scale(colour, 0.75 + 0.25 * (edge - parapet) / 6.0);  // shadow of the parapet
            }
            // A ventilation unit and a hatch, with their shadows toward the lower right.
            auto box = [&](int x0, int y0, int w, int h, Colour top, bool grille) {
                if (ix >= x0 && ix < x0 + w && iy >= y0 && iy < y0 + h) {
                    colour = top;
                    if (ix == x0 || iy == y0)
                        colour = scale(top, 1.15);
                    else if (ix == x0 + w - 1 || iy == y0 + h - 1)
                        colour = scale(top, 0.7);
                    else if (grille && (iy - y0) % 6 < 2)
                        colour = scale(top, 0.8);
                } else if (ix >= x0 + 4 && ix < x0 + w + 8 && iy >= y0 + 4 && iy < y0 + h + 8) {
                    colour = scale(colour, 0.6);
                }
            };
            box(150, 48, 56, 40, {168, 172, 176}, true);
            box(52, 150, 34, 34, {120, 104, 88}, false);
            double dx = ix - 190.5, dy = iy - 190.5;
            if (dx * dx + dy * dy < 64)
                colour = {70, 70, 72};
            setPixel(picture, ix, iy, colour);
        }
    }
    return picture;
}
