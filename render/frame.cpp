// One frame: the sky box by day, the 60 x 60 tiles around the camera, then the text stage.
// drawFrameReference is the plain per-tile loop that defines a frame; drawFrame draws the same pixels
// with whole tiles culled by view and occlusion and the rest drawn near to far.
#include "render/render.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "text/text.h"

int tilesDrawn = 0;

// The faces whose bit is set in mask, in the order given; every face is counter-clockwise seen from
// outside the box, so the front face is flipped while they are drawn.
static void drawSkyFaces(unsigned mask, bool reversed)
{
    glFrontFace(GL_CW);
    for (int k = 0; k < 6; ++k) {
        const SkyFace& face = skyFaces[reversed ? 5 - k : k];
        if (!(mask & (1u << (reversed ? 5 - k : k))))
            continue;
        glBindTexture(GL_TEXTURE_2D, textureTable[face.slot]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glBegin(GL_TRIANGLE_STRIP);
        for (const Corner& c : face.corners) {
            glTexCoord2f(c.s, c.t);
            glVertex3f(c.x, c.y, c.z);
        }
        glEnd();
    }
    glFrontFace(GL_CCW);
}

// The sky step's state around the given faces: the box under the camera's rotations, unlit and unfogged.
static void drawSkyStep(unsigned mask, bool reversed)
{
    glPushMatrix();
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glDisable(GL_FOG);
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
    drawSkyFaces(mask, reversed);
    if (viewSettings.fogEnabled)
        glEnable(GL_FOG);
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

void drawSky()
{
    drawSkyStep(0x3F, false);
}

// Camera minus tile offset, in single precision: increasing columns lie to the left.
static float tileOffsetX(int column)
{
    return (static_cast<float>(-column) * 12.0f + camera.x) - 6.0f;
}
static float tileOffsetZ(int row)
{
    return (static_cast<float>(-row) * 12.0f + camera.z) - 6.0f;
}

static GLuint boundTexture = 0;
static bool bindOnChange = false;  // drawFrame binds only on change; the reference binds every time

static void bindTexture(GLuint name)
{
    if (bindOnChange && name == boundTexture)
        return;
    glBindTexture(GL_TEXTURE_2D, name);
    boundTexture = name;
}

// The roof or cliff top closing a block: the ground square raised to the wall height.
static void drawTop(const TileKind& kind)
{
    bindTexture(textureTable[kind.topSlot]);
    glTranslatef(0.0f, kind.wallHeight, 0.0f);
    glCallList(tileLists.groundList);
}

// A tile's lists under its own matrix, already current. Drawn under GL_LESS, a tile puts its top
// first so that the top still wins the depth ties it wins when drawn last under GL_LEQUAL.
static void drawTileShape(TileType t, bool topFirst)
{
    const TileKind& kind = tileKind(t);
    const bool top = cameraAboveRoofs && kind.topSlot >= 0;
    if (top && topFirst) {
        glPushMatrix();
        drawTop(kind);
        glPopMatrix();
    }
    bindTexture(textureTable[t]);
    glCallList(tileList(kind.shape));
    if (top && !topFirst)
        drawTop(kind);
}

static void drawReferenceTile(int row, int column, TileType t)
{
    glBindTexture(GL_TEXTURE_2D, textureTable[t]);
    // The light is specified under the previous tile's matrix (the identity for the first tile).
    applyLight();
    glLoadIdentity();
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
    glTranslatef(tileOffsetX(column), camera.y, tileOffsetZ(row));
    drawTileShape(t, false);
    ++tilesDrawn;
}

bool drawFrameReference()
{
    bindOnChange = false;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0.8f, 0.8f, 0.5f);
    if (viewSettings.daylight)
        drawSky();

    tilesDrawn = 0;
    const int r0 = static_cast<int>(camera.z / 12.0f);
    const int c0 = static_cast<int>(camera.x / 12.0f);
    for (int row = r0 - viewRadius; row < r0 + viewRadius; ++row) {
        if (row < 0 || row >= mapSize)
            continue;
        for (int column = c0 - viewRadius; column < c0 + viewRadius; ++column) {
            if (column < 0 || column >= mapSize)
                continue;
            const TileType t = mapCell(row, column);
            if (tileKind(t).shape == TileShape::none)
                continue;
            drawReferenceTile(row, column, t);
        }
    }

    drawStatDisplay(countFrames());
    return true;
}

// ---- drawFrame: the reference's pixels from fewer, better ordered tiles.
//
// Under GL_LEQUAL a pixel keeps the last drawn of its nearest fragments. The tiles before the camera's
// tile in the reference's order are drawn in reverse under GL_LESS, where the first drawn of a tie wins,
// and the rest in order under GL_LEQUAL; the two runs may interleave freely, since a later tile of the
// reference's order wins every tie against an earlier one either way. The sky box goes last under
// GL_LESS, in reverse face order, so tiles keep winning ties against it. Skipped tiles are whole tiles
// with no fragment in the view, or whose every fragment lies strictly behind a wall the reference draws.

namespace {

struct WindowTile {
    int row, column;
    TileType type;
    bool first;      // the first tile the reference draws, whose light it specifies under the entry matrix
    float distance;  // squared, eye to tile centre, world units
};

// What the visibility tests need of this frame's view, in eye-centred world coordinates.
struct View {
    double clip[16];   // projection × camera rotation, column-major
    double depthScale; // window-depth difference per unit of (1/d near - 1/d far), eye depths d
    double minDepthPerDistance;  // lower bound of eye depth / horizontal distance inside the view
};

constexpr double cullMargin = 0.5;        // world units around a tile's box
constexpr double angleMargin = 0.004;     // radians, far above the rasteriser's sub-pixel error
constexpr double heightMargin = 0.02;     // world units, plus angleMargin per unit of distance
constexpr double depthSteps = 3.0;        // 16-bit depth steps a hidden fragment must lie behind a wall
constexpr double depthUnits = 65535.0;    // steps of the 16-bit depth buffer
constexpr int binCount = 4096;            // horizontal directions around the eye
constexpr double binWidth = 2.0 * pi / binCount;
constexpr double noWall = std::numeric_limits<double>::infinity();

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

// True when the box lies wholly outside one plane of the view volume.
static bool outsideView(const View& view, double x0, double x1, double y0, double y1, double z0, double z1)
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

// ---- Occlusion over the map grid. Directions around the eye are split into bins; each bin keeps, per
// wall height, the largest distance at which any of its directions enters the nearest block of that
// height. Seen from outside, a block is entered through one of its walls, which are front faces and
// drawn by the reference, so a fragment whose direction hits such a wall at a height inside it, far
// enough in front to differ in depth, is hidden.

namespace {

struct Square {
    double x0, x1, z0, z1;  // eye-centred, horizontal
};

struct Occluders {
    double entry[2][binCount];  // [low, tall]: horizontal distance, or noWall
    double height[2];           // wall tops above the eye
    bool any;
};

Occluders occluders;
double binX[binCount + 1], binZ[binCount + 1];  // direction of each bin's lower edge
bool binsReady = false;

}  // namespace

static Square tileSquare(int row, int column)
{
    const double x = tileOffsetX(column), z = tileOffsetZ(row);
    return {x - 6.0, x + 6.0, z - 6.0, z + 6.0};
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

static void addOccluder(const View& view, const Square& q, int kind)
{
    const double near = nearestDistance(q);
    // Its walls must be in front of the near plane wherever a visible fragment looks through them.
    if (near < 1.0 || near * view.minDepthPerDistance < 1.0)
        return;
    double low = 0.0, high = 0.0;
    angleRange(q, &low, &high);
    const int first = static_cast<int>(std::ceil((low + angleMargin + pi) / binWidth));
    const int last = binOf(high - angleMargin) - 1;
    double before = noWall;
    for (int b = first; b <= last + 1; ++b) {
        const int edge = ((b % binCount) + binCount) % binCount;
        const double here = entryDistance(q, binX[edge], binZ[edge]);
        if (b > first) {
            double& slot = occluders.entry[kind][(edge + binCount - 1) % binCount];
            slot = std::min(slot, std::max(before, here));
        }
        before = here;
    }
    occluders.any = true;
}

static void collectOccluders(const View& view, int r0, int c0)
{
    const double eye = -camera.y;
    occluders.height[0] = lowWallHeight - eye;
    occluders.height[1] = tallWallHeight - eye;
    occluders.any = false;
    std::fill(&occluders.entry[0][0], &occluders.entry[0][0] + 2 * binCount, noWall);
    if (eye < heightMargin * 2.0 || occluders.height[1] <= heightMargin * 2.0)
        return;
    if (!binsReady) {
        for (int b = 0; b <= binCount; ++b) {
            binX[b] = std::cos(b * binWidth - pi);
            binZ[b] = std::sin(b * binWidth - pi);
        }
        binsReady = true;
    }
    for (int row = std::max(r0 - viewRadius, 0); row < std::min(r0 + viewRadius, mapSize); ++row)
        for (int column = std::max(c0 - viewRadius, 0); column < std::min(c0 + viewRadius, mapSize); ++column) {
            const float h = tileKind(mapCell(row, column)).wallHeight;
            const int kind = h == tallWallHeight ? 1 : 0;
            if (h == 0.0f || occluders.height[kind] <= heightMargin * 2.0)
                continue;
            // A wall that hides a visible fragment lies on a ray inside the view itself.
            const Square q = tileSquare(row, column);
            if (!outsideView(view, q.x0, q.x1, camera.y, camera.y + h, q.z0, q.z1))
                addOccluder(view, q, kind);
        }
}

// True when every fragment of the tile's box lies behind a drawn wall by more than the depth margin.
static bool hidden(const View& view, const Square& q, float height)
{
    const double near = nearestDistance(q);
    if (!occluders.any || near < 1.0)
        return false;
    const double bottom = camera.y, top = camera.y + height;  // relative to the eye
    const double rise = top >= 0.0 ? top / near : top / farthestDistance(q);  // steepest slope up
    const double fall = bottom / near;                                         // steepest slope down
    const double slope = std::max(std::abs(rise), std::abs(fall));
    const double need = depthSteps / depthUnits / view.depthScale * std::sqrt(1.0 + slope * slope);
    double low = 0.0, high = 0.0;
    angleRange(q, &low, &high);
    for (int b = binOf(low - angleMargin), last = binOf(high + angleMargin); b <= last; ++b) {
        const int bin = ((b % binCount) + binCount) % binCount;
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

static View makeView(const GLfloat projection[16], const GLfloat rotation[16])
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

// Sky faces that may have fragments at the cleared depth, which under GL_LESS would lose to the clear.
static unsigned skyFacesAtClearedDepth(const GLfloat projection[16], const GLfloat sky[16])
{
    double p[16], m[16];
    std::copy(projection, projection + 16, p);
    multiply(p, sky, m);
    unsigned mask = 0;
    for (int f = 0; f < 6; ++f)
        for (const Corner& c : skyFaces[f].corners) {
            const double z = m[2] * c.x + m[6] * c.y + m[10] * c.z + m[14];
            const double w = m[3] * c.x + m[7] * c.y + m[11] * c.z + m[15];
            if (w > 0.0 && 0.5 * (z / w) + 0.5 >= 1.0 - depthSteps / depthUnits)
                mask |= 1u << f;
        }
    return mask;
}

// Specifies light 0 as the reference has it for a tile: under the entry matrix for its first tile,
// under the camera's rotation (current) for every other.
static void specifyLight(bool first, const GLfloat entry[16])
{
    if (!first) {
        applyLight();
        return;
    }
    glPushMatrix();
    glLoadMatrixf(entry);
    applyLight();
    glPopMatrix();
}

bool drawFrame()
{
    bindOnChange = true;
    boundTexture = 0;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0.8f, 0.8f, 0.5f);
    GLfloat entry[16], projection[16], rotation[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, entry);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    if (viewSettings.daylight) {
        // Sky faces that can reach the cleared depth give their colour now, without depth, so that the
        // final sky pass under GL_LESS only has to win where it lies in front.
        glPushMatrix();
        glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
        glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
        glGetFloatv(GL_MODELVIEW_MATRIX, rotation);
        glPopMatrix();
        glDepthMask(GL_FALSE);
        drawSkyStep(skyFacesAtClearedDepth(projection, rotation), false);
        glDepthMask(GL_TRUE);
    }
    glPushMatrix();
    glLoadIdentity();
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, rotation);
    const View view = makeView(projection, rotation);

    // The reference's order, split at the camera's tile.
    static WindowTile before[4 * viewRadius * viewRadius], after[4 * viewRadius * viewRadius];
    size_t beforeCount = 0, afterCount = 0;
    int referenceTiles = 0;
    const int r0 = static_cast<int>(camera.z / 12.0f);
    const int c0 = static_cast<int>(camera.x / 12.0f);
    collectOccluders(view, r0, c0);
    for (int row = std::max(r0 - viewRadius, 0); row < std::min(r0 + viewRadius, mapSize); ++row)
        for (int column = std::max(c0 - viewRadius, 0); column < std::min(c0 + viewRadius, mapSize); ++column) {
            const TileType t = mapCell(row, column);
            if (tileKind(t).shape == TileShape::none)
                continue;
            const bool first = referenceTiles++ == 0;
            const Square q = tileSquare(row, column);
            if (outsideView(view, q.x0 - cullMargin, q.x1 + cullMargin, camera.y - cullMargin,
                            camera.y + tileKind(t).wallHeight + cullMargin, q.z0 - cullMargin, q.z1 + cullMargin) ||
                hidden(view, q, tileKind(t).wallHeight))
                continue;
            const double cx = (q.x0 + q.x1) * 0.5, cz = (q.z0 + q.z1) * 0.5;
            const WindowTile tile{row, column, t, first, static_cast<float>(cx * cx + cz * cz)};
            if (row < r0 || (row == r0 && column < c0))
                before[beforeCount++] = tile;
            else
                after[afterCount++] = tile;
        }

    tilesDrawn = 0;
    int light = -1;  // which light is specified: -1 none this frame, 0 the first tile's, 1 every other's
    size_t i = beforeCount, j = 0;
    GLenum depthFunc = GL_LEQUAL;
    while (i > 0 || j < afterCount) {
        const bool early = j == afterCount || (i > 0 && before[i - 1].distance < after[j].distance);
        const WindowTile& tile = early ? before[--i] : after[j++];
        const GLenum wanted = early ? GL_LESS : GL_LEQUAL;
        if (wanted != depthFunc)
            glDepthFunc(depthFunc = wanted);
        if (light != (tile.first ? 0 : 1)) {
            light = tile.first ? 0 : 1;
            specifyLight(tile.first, entry);
        }
        glPushMatrix();
        glTranslatef(tileOffsetX(tile.column), camera.y, tileOffsetZ(tile.row));
        drawTileShape(tile.type, early);
        glPopMatrix();
        ++tilesDrawn;
    }
    // Leave the light as the reference leaves it: specified for its last tile.
    if (referenceTiles > 0 && light != (referenceTiles == 1 ? 0 : 1))
        specifyLight(referenceTiles == 1, entry);
    glPopMatrix();

    if (viewSettings.daylight) {
        glDepthFunc(GL_LESS);
        drawSkyStep(0x3F, true);
    }
    glDepthFunc(GL_LEQUAL);

    drawStatDisplayBatched(countFrames());
    return true;
}
