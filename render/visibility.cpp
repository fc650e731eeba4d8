// Whole-tile visibility for drawFrame. Every margin below keeps a decision on the safe side of the
// rasteriser's own rounding; the rule each one serves is numbered in render/frame.cpp.
#include "render/visibility.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "camera/camera.h"
#include "map/map.h"

namespace {

constexpr double cullMargin = 0.5;      // world units around a tile's box (rule 5)
constexpr double angleMargin = 0.004;   // radians, far above the rasteriser's sub-pixel error (rule 6)
constexpr double heightMargin = 0.02;   // world units, plus angleMargin per unit of distance (rule 6)
constexpr double depthSteps = 3.0;      // 16-bit depth steps between a hidden fragment and its wall (rules 4, 6)
constexpr double depthUnits = 65535.0;  // steps of the 16-bit depth buffer
constexpr int binCount = 4096;          // horizontal directions around the eye
constexpr double binWidth = 2.0 * pi / binCount;
constexpr double noWall = std::numeric_limits<double>::infinity();

// Directions around the eye are split into bins; each bin keeps, per wall height, the largest distance at
// which any of its directions enters the nearest block of that height. Seen from outside, a block is entered
// through one of its walls, which are front faces the reference draws, so a fragment whose direction hits
// such a wall at a height inside it, far enough in front to differ in depth, is hidden.
struct Occluders {
    double entry[2][binCount];  // [low, tall]: horizontal distance, or noWall
    double height[2];           // wall tops above the eye
    bool any;
};

Occluders occluders;
double binX[binCount + 1], binZ[binCount + 1];  // direction of each bin's lower edge
bool binsReady = false;

}  // namespace

static void multiply(const double a[16], const float b[16], double out[16])
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + r] * double(b[c * 4 + k]);
            out[c * 4 + r] = sum;
        }
}

View makeView(const float projection[16], const float rotation[16])
{
    View view{};
    double p[16];
    std::copy(projection, projection + 16, p);
    multiply(p, rotation, view.clip);
    view.depthScale = 0.5 * std::abs(p[14]);
    const double tx = 1.0 / std::abs(p[0]), ty = 1.0 / std::abs(p[5]);
    view.minDepthPerDistance = 1.0 / std::sqrt(1.0 + tx * tx + ty * ty);
    return view;
}

// True when the box lies wholly outside one plane of the view volume.
static bool outsideBox(const View& view, double x0, double x1, double y0, double y1, double z0, double z1)
{
    const double* m = view.clip;
    unsigned outside = 0x3F;
    for (int i = 0; i < 8 && outside; ++i) {
        const double x = i & 1 ? x1 : x0, y = i & 2 ? y1 : y0, z = i & 4 ? z1 : z0;
        const double cx = m[0] * x + m[4] * y + m[8] * z + m[12];
        const double cy = m[1] * x + m[5] * y + m[9] * z + m[13];
        const double cz = m[2] * x + m[6] * y + m[10] * z + m[14];
        const double cw = m[3] * x + m[7] * y + m[11] * z + m[15];
        outside &= (cx < -cw) | (cx > cw) << 1 | (cy < -cw) << 2 | (cy > cw) << 3 | (cz < -cw) << 4 | (cz > cw) << 5;
    }
    return outside != 0;
}

bool outsideView(const View& view, const Square& q, double bottom, double top)
{
    return outsideBox(view, q.x0 - cullMargin, q.x1 + cullMargin, bottom - cullMargin, top + cullMargin,
                      q.z0 - cullMargin, q.z1 + cullMargin);
}

namespace {
struct ClipPoint {
    double x, y, z, w;
};
}  // namespace

// Keeps the part of the polygon where a * z + b * w >= 0 (Sutherland-Hodgman against one plane).
static int clipPolygon(const ClipPoint* in, int count, double a, double b, ClipPoint* out)
{
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const ClipPoint& p = in[i];
        const ClipPoint& q = in[(i + 1) % count];
        const double dp = a * p.z + b * p.w, dq = a * q.z + b * q.w;
        if (dp >= 0.0)
            out[kept++] = p;
        if ((dp >= 0.0) != (dq >= 0.0)) {
            const double t = dp / (dp - dq);
            out[kept++] = {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y), p.z + t * (q.z - p.z), p.w + t * (q.w - p.w)};
        }
    }
    return kept;
}

// Window depths of at least 1 - depthSteps / depthUnits (rule 4): z / w >= clearedDepthBand in clip coordinates.
static constexpr double clearedDepthBand = 1.0 - 2.0 * depthSteps / depthUnits;

bool reachesClearedDepth(const View& view, const Square& q, double bottom, double top)
{
    // z - clearedDepthBand * w is affine, so its largest value over the box is at a corner; behind the eye it is
    // negative.
    const double* m = view.clip;
    for (int i = 0; i < 8; ++i) {
        const double x = i & 1 ? q.x1 + cullMargin : q.x0 - cullMargin, y = i & 2 ? top + cullMargin : bottom - cullMargin;
        const double z = i & 4 ? q.z1 + cullMargin : q.z0 - cullMargin;
        const double cz = m[2] * x + m[6] * y + m[10] * z + m[14], cw = m[3] * x + m[7] * y + m[11] * z + m[15];
        if (cz - clearedDepthBand * cw >= 0.0)
            return true;
    }
    return false;
}

bool clearedDepthBounds(const View& view, const double (*points)[3], int count, double bounds[4])
{
    ClipPoint polygon[16], clipped[16];
    const double* m = view.clip;
    count = std::min(count, 8);
    for (int i = 0; i < count; ++i) {
        const double x = points[i][0], y = points[i][1], z = points[i][2];
        polygon[i] = {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
                      m[2] * x + m[6] * y + m[10] * z + m[14], m[3] * x + m[7] * y + m[11] * z + m[15]};
    }
    // In front of the eye, then in the cleared depth's band.
    count = clipPolygon(polygon, count, 0.0, 1.0, clipped);
    count = std::max(0, count);
    for (int i = 0; i < count; ++i)
        clipped[i].w = std::max(clipped[i].w, 1e-9);
    count = clipPolygon(clipped, count, 1.0, -clearedDepthBand, polygon);
    if (count == 0)
        return false;
    bounds[0] = bounds[1] = std::numeric_limits<double>::infinity();
    bounds[2] = bounds[3] = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < count; ++i) {
        const double x = polygon[i].x / polygon[i].w, y = polygon[i].y / polygon[i].w;
        bounds[0] = std::min(bounds[0], x);
        bounds[1] = std::min(bounds[1], y);
        bounds[2] = std::max(bounds[2], x);
        bounds[3] = std::max(bounds[3], y);
    }
    return true;
}

static double nearestDistance(const Square& q)
{
    const double dx = std::max({q.x0, -q.x1, 0.0}), dz = std::max({q.z0, -q.z1, 0.0});
    return std::sqrt(dx * dx + dz * dz);
}

static double farthestDistance(const Square& q)
{
    const double dx = std::max(-q.x0, q.x1), dz = std::max(-q.z0, q.z1);
    return std::sqrt(dx * dx + dz * dz);
}

// The square's directions as an angle range [low, high] in radians, for an eye outside it.
static void angleRange(const Square& q, double* low, double* high)
{
    const double centre = std::atan2((q.z0 + q.z1) * 0.5, (q.x0 + q.x1) * 0.5);
    double lo = 0.0, hi = 0.0;
    for (int i = 0; i < 4; ++i) {
        double d = std::atan2(i & 2 ? q.z1 : q.z0, i & 1 ? q.x1 : q.x0) - centre;
        d -= std::round(d / (2.0 * pi)) * 2.0 * pi;
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    *low = centre + lo;
    *high = centre + hi;
}

// Distance along the direction (dx, dz) at which a ray from the eye enters the square; noWall on a miss.
static double entryDistance(const Square& q, double dx, double dz)
{
    double enter = 0.0, leave = noWall;
    const double lows[2] = {q.x0, q.z0}, highs[2] = {q.x1, q.z1}, dirs[2] = {dx, dz};
    for (int a = 0; a < 2; ++a) {
        if (dirs[a] == 0.0) {
            if (lows[a] > 0.0 || highs[a] < 0.0)
                return noWall;
            continue;
        }
        double t0 = lows[a] / dirs[a], t1 = highs[a] / dirs[a];
        if (t0 > t1)
            std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
    }
    return enter <= leave ? enter : noWall;
}

static int binOf(double angle)
{
    return static_cast<int>(std::floor((angle + pi) / binWidth));
}

static int wrapBin(int b)
{
    return ((b % binCount) + binCount) % binCount;
}

bool clearOccluders(double eyeHeight)
{
    occluders.height[0] = lowWallHeight - eyeHeight;
    occluders.height[1] = tallWallHeight - eyeHeight;
    occluders.any = false;
    std::fill(&occluders.entry[0][0], &occluders.entry[0][0] + 2 * binCount, noWall);
    if (!binsReady) {
        for (int b = 0; b <= binCount; ++b) {
            binX[b] = std::cos(b * binWidth - pi);
            binZ[b] = std::sin(b * binWidth - pi);
        }
        binsReady = true;
    }
    return eyeHeight >= heightMargin * 2.0 && occluders.height[1] > heightMargin * 2.0;
}

void addOccluder(const View& view, const Square& q, double wallHeight)
{
    const int kind = wallHeight == tallWallHeight ? 1 : 0;
    const double near = nearestDistance(q);
    // Its walls must be in front of the near plane wherever a visible fragment looks through them, and a
    // wall that hides a visible fragment lies on a ray inside the view itself (rule 6).
    const double top = occluders.height[kind], bottom = top - wallHeight;
    if (top <= heightMargin * 2.0 || near < 1.0 || near * view.minDepthPerDistance < 1.0 ||
        outsideBox(view, q.x0, q.x1, bottom, top, q.z0, q.z1))
        return;
    double low = 0.0, high = 0.0;
    angleRange(q, &low, &high);
    // Only bins wholly inside the block's directions, shrunk by the angle margin (rule 6).
    const int firstBin = static_cast<int>(std::ceil((low + angleMargin + pi) / binWidth));
    const int lastBin = binOf(high - angleMargin) - 1;
    double before = noWall;
    for (int b = firstBin; b <= lastBin + 1; ++b) {
        const int edge = wrapBin(b);
        const double here = entryDistance(q, binX[edge], binZ[edge]);
        if (b > firstBin) {
            double& slot = occluders.entry[kind][wrapBin(edge - 1)];
            slot = std::min(slot, std::max(before, here));
        }
        before = here;
    }
    occluders.any = true;
}

bool hidden(const View& view, const Square& q, double bottom, double top)
{
    const double near = nearestDistance(q);
    if (!occluders.any || near < 1.0)
        return false;
    const double rise = top >= 0.0 ? top / near : top / farthestDistance(q);  // steepest slope up
    const double fall = bottom / near;                                       // steepest slope down
    const double slope = std::max(std::abs(rise), std::abs(fall));
    // Rule 6's depth margin, measured along the steepest sight line.
    const double need = depthSteps / depthUnits / view.depthScale * std::sqrt(1.0 + slope * slope);
    double low = 0.0, high = 0.0;
    angleRange(q, &low, &high);
    for (int b = binOf(low - angleMargin), last = binOf(high + angleMargin); b <= last; ++b) {
        const int bin = wrapBin(b);
        bool covered = false;
        for (int kind = 0; kind < 2 && !covered; ++kind) {
            const double entry = occluders.entry[kind][bin];
            const double margin = heightMargin + angleMargin * entry;
            covered = entry != noWall && 1.0 / entry - 1.0 / near > need &&
                      rise * entry <= occluders.height[kind] - margin && occluders.height[kind] - margin >= 0.0 &&
                      fall * entry >= bottom + margin;
        }
        if (!covered)
            return false;
    }
    return true;
}
