// One frame: the sky box by day, the 60 x 60 tiles around the camera, then the text stage.
// drawFrameReference is the plain per-tile loop that defines a frame; drawFrame draws the same pixels
// with whole tiles culled by view and occlusion and the rest drawn near to far, under the numbered rules
// further down.
#include "render/render.h"

#include <GL/glext.h>

#include <algorithm>
#include <cmath>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "render/visibility.h"
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

using Bind = void (*)(GLuint name);

static void bindAlways(GLuint name)
{
    glBindTexture(GL_TEXTURE_2D, name);
}

// The roof or cliff top closing a block: the ground square raised to the wall height.
static void drawTop(const TileKind& kind, Bind bind)
{
    bind(textureTable[kind.topSlot]);
    glTranslatef(0.0f, kind.wallHeight, 0.0f);
    glCallList(tileLists.groundList);
}

// A tile's lists under its own matrix, already current, with its texture bound. Drawn under GL_LESS, a
// tile puts its top first (rule 2).
static void drawTileLists(TileType t, bool topFirst, Bind bind)
{
    const TileKind& kind = tileKind(t);
    const bool top = cameraAboveRoofs && kind.topSlot >= 0;
    if (top && topFirst) {
        glPushMatrix();
        drawTop(kind, bind);
        glPopMatrix();
        bind(textureTable[t]);
    }
    glCallList(tileList(kind.shape));
    if (top && !topFirst)
        drawTop(kind, bind);
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
    drawTileLists(t, false, bindAlways);
    ++tilesDrawn;
}

bool drawFrameReference()
{
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

// ---- drawFrame: the reference's pixels from fewer, better ordered tiles. Its exactness rules, each tagged
// with its number where it is used (here and in render/visibility.cpp):
//
// 1. Depth ties. Under GL_LEQUAL a pixel keeps the last drawn of its nearest fragments, under GL_LESS the
//    first. The tiles before the camera's tile in the reference's order are drawn in reverse under GL_LESS,
//    the rest in order under GL_LEQUAL; the two runs interleave freely (nearest first), since a later tile
//    of the reference's order wins every tie against an earlier one either way. But under GL_LESS a fragment
//    at the cleared depth loses to the clear. So when a tile before the camera's may reach rule 4's depth
//    band, every tile that may is drawn once more, in the reference's order, under GL_LEQUAL with the depth
//    range pinned to the far end: its fragments land only on pixels still at the cleared depth, where every
//    tile fragment lay at that depth, and the reference's last one wins there.
// 2. Tops. A tile drawn under GL_LESS puts its roof or cliff top before its walls, so that the top still
//    wins the ties it wins when drawn last under GL_LEQUAL.
// 3. The sky goes last, under GL_LESS and in reverse face order, so that tiles keep winning their ties
//    against it and each face keeps the ties it wins against the faces drawn before it.
// 4. Sky faces that can reach the cleared depth (within the depth margin) give their colour in a pass of their
//    own, in the reference's face order and without writing depth: under rule 3's GL_LESS they would lose to the
//    clear. Only pixels around where they reach it need this colour; the scissor only drops whole pixels, so the
//    pixels it keeps are the reference's. The pass goes before the tiles when a tile drawn may reach the same
//    depth band; otherwise after rule 3's pass, under GL_EQUAL, which leaves it only the pixels still at the
//    cleared depth, those where every sky fragment lay at the cleared depth and no tile was drawn: there the
//    reference's last face in order wins, as the last under GL_EQUAL does here.
// 5. A tile is left out when its box, grown by the cull margin, lies outside the view volume.
// 6. A tile is left out when every fragment of it lies behind a wall the reference draws: inside the
//    wall's directions by the angle margin, inside its height by the height margin, and behind it by more
//    than the depth margin, so that no depth tie can let the tile through.
// 7. Textures are bound only on change, tracked from the frame's first tile bind: the sky, the HUD and the
//    previous frame leave other names bound.
// 8. Light 0 is specified before each tile under the previous tile's matrix: the reference's first tile has
//    it under the entry matrix, every other under the camera's rotation. drawFrame specifies it only when
//    the next tile needs the other, and leaves it as the reference leaves it, for its last tile.
// 9. The HUD goes in one run of quads per line, landing on the whole pixels the glyph lists reach.

namespace {

struct WindowTile {
    int row, column;
    TileType type;
    bool lightUnderEntry;  // the reference's first tile, whose light it specifies under the entry matrix
    bool atClearedDepth;   // may have fragments in rule 4's depth band (rule 1)
    float distance;        // squared, eye to tile centre, world units
};

// The GL state drawFrame has set this frame, so that each call is made only on change.
struct FrameState {
    GLuint texture;    // bound to GL_TEXTURE_2D by a tile; 0 before the frame's first (rule 7)
    GLenum depthFunc;  // GL_LEQUAL, as each frame starts and ends, or GL_LESS (rules 1, 3)
    enum Light { unspecified, underEntry, underRotation } light;  // light 0 this frame (rule 8)
};

FrameState frameState;

}  // namespace

static void bindOnChange(GLuint name)
{
    if (name == frameState.texture)
        return;
    glBindTexture(GL_TEXTURE_2D, name);
    frameState.texture = name;
}

static void setDepthFunc(GLenum func)
{
    if (func != frameState.depthFunc)
        glDepthFunc(frameState.depthFunc = func);
}

// Specifies light 0 as the reference has it for a tile, under the entry matrix or the current rotation.
static void specifyLight(FrameState::Light wanted, const GLfloat entry[16])
{
    if (wanted == frameState.light)
        return;
    frameState.light = wanted;
    if (wanted == FrameState::underRotation) {
        applyLight();
        return;
    }
    glPushMatrix();
    glLoadMatrixf(entry);
    applyLight();
    glPopMatrix();
}

static Square tileSquare(int row, int column)
{
    const double x = tileOffsetX(column), z = tileOffsetZ(row);
    return {x - 6.0, x + 6.0, z - 6.0, z + 6.0};
}

// Rule 4's faces: those that may have fragments at the cleared depth, and the window rectangle around those
// fragments (2 pixels wider on each side than their bounds); mask 0 when there are none.
struct SkyAtClearedDepth {
    unsigned mask;
    GLint x, y;
    GLsizei width, height;
};

static SkyAtClearedDepth skyAtClearedDepth(const View& sky)
{
    SkyAtClearedDepth s{};
    double box[4] = {1.0, 1.0, -1.0, -1.0};
    for (int f = 0; f < 6; ++f) {
        double corners[4][3], bounds[4];
        for (int k = 0; k < 4; ++k) {
            const Corner& c = skyFaces[f].corners[k ^ (k >> 1)];  // strip order to polygon order
            corners[k][0] = c.x, corners[k][1] = c.y, corners[k][2] = c.z;
        }
        if (!clearedDepthBounds(sky, corners, 4, bounds))
            continue;
        s.mask |= 1u << f;
        box[0] = std::min(box[0], bounds[0]), box[1] = std::min(box[1], bounds[1]);
        box[2] = std::max(box[2], bounds[2]), box[3] = std::max(box[3], bounds[3]);
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    auto pixel = [](double ndc, int origin, int size, double step) {
        const double at = origin + (std::clamp(ndc, -1.0, 1.0) + 1.0) * 0.5 * size + step;
        return static_cast<int>(step < 0 ? std::floor(at) : std::ceil(at));
    };
    s.x = std::max(pixel(box[0], viewport[0], viewport[2], -2.0), viewport[0]);
    s.y = std::max(pixel(box[1], viewport[1], viewport[3], -2.0), viewport[1]);
    s.width = std::max(std::min(pixel(box[2], viewport[0], viewport[2], 2.0), viewport[0] + viewport[2]) - s.x, 0);
    s.height = std::max(std::min(pixel(box[3], viewport[1], viewport[3], 2.0), viewport[1] + viewport[3]) - s.y, 0);
    return s;
}

// Rule 4's pass: those faces' colour only, inside their rectangle, under the depth function current.
static void drawSkyAtClearedDepth(const SkyAtClearedDepth& s)
{
    glEnable(GL_SCISSOR_TEST);
    glScissor(s.x, s.y, s.width, s.height);
    glDepthMask(GL_FALSE);
    drawSkyStep(s.mask, false);
    glDepthMask(GL_TRUE);
    glDisable(GL_SCISSOR_TEST);
}

bool drawFrame()
{
    frameState = {0, GL_LEQUAL, FrameState::unspecified};
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0.8f, 0.8f, 0.5f);
    GLfloat entry[16], projection[16], rotation[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, entry);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    SkyAtClearedDepth sky{};
    if (viewSettings.daylight) {
        glPushMatrix();
        glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
        glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
        glGetFloatv(GL_MODELVIEW_MATRIX, rotation);
        glPopMatrix();
        sky = skyAtClearedDepth(makeView(projection, rotation));  // rule 4
    }
    glPushMatrix();
    glLoadIdentity();
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, rotation);
    glPopMatrix();
    const View view = makeView(projection, rotation);

    const int r0 = static_cast<int>(camera.z / 12.0f);
    const int c0 = static_cast<int>(camera.x / 12.0f);
    const int rowEnd = std::min(r0 + viewRadius, mapSize), columnEnd = std::min(c0 + viewRadius, mapSize);
    if (clearOccluders(-camera.y))
        for (int row = std::max(r0 - viewRadius, 0); row < rowEnd; ++row)
            for (int column = std::max(c0 - viewRadius, 0); column < columnEnd; ++column)
                if (const float h = tileKind(mapCell(row, column)).wallHeight; h > 0.0f)
                    addOccluder(view, tileSquare(row, column), h);

    // The reference's order, split at the camera's tile (rule 1).
    static WindowTile before[4 * viewRadius * viewRadius], after[4 * viewRadius * viewRadius];
    size_t beforeCount = 0, afterCount = 0;
    int referenceTiles = 0;
    bool tileAtClearedDepth = false;   // a tile drawn may reach rule 4's depth band
    bool earlyAtClearedDepth = false;  // one of them comes before the camera's tile (rule 1)
    for (int row = std::max(r0 - viewRadius, 0); row < rowEnd; ++row)
        for (int column = std::max(c0 - viewRadius, 0); column < columnEnd; ++column) {
            const TileType t = mapCell(row, column);
            if (tileKind(t).shape == TileShape::none)
                continue;
            const bool lightUnderEntry = referenceTiles++ == 0;
            const Square q = tileSquare(row, column);
            const double top = camera.y + tileKind(t).wallHeight;
            if (outsideView(view, q, camera.y, top) || hidden(view, q, camera.y, top))  // rules 5, 6
                continue;
            const bool atClearedDepth = reachesClearedDepth(view, q, camera.y, top);
            tileAtClearedDepth = tileAtClearedDepth || atClearedDepth;
            const double cx = (q.x0 + q.x1) * 0.5, cz = (q.z0 + q.z1) * 0.5;
            const WindowTile tile{row, column, t, lightUnderEntry, atClearedDepth, static_cast<float>(cx * cx + cz * cz)};
            if (row < r0 || (row == r0 && column < c0)) {
                before[beforeCount++] = tile;
                earlyAtClearedDepth = earlyAtClearedDepth || atClearedDepth;
            } else {
                after[afterCount++] = tile;
            }
        }

    // Rule 4's pass before the tiles, or after the sky where no tile can take the pixels it colours.
    const bool skyFirst = sky.mask && tileAtClearedDepth;
    if (viewSettings.daylight)
        skyFirst ? drawSkyAtClearedDepth(sky) : drawSkyStep(0, false);  // the sky step's colour and fog for the tiles
    glPushMatrix();
    glLoadIdentity();
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);

    tilesDrawn = 0;
    auto drawTile = [&entry](const WindowTile& tile, bool early) {
        setDepthFunc(early ? GL_LESS : GL_LEQUAL);  // rule 1
        specifyLight(tile.lightUnderEntry ? FrameState::underEntry : FrameState::underRotation, entry);  // rule 8
        glPushMatrix();
        glTranslatef(tileOffsetX(tile.column), camera.y, tileOffsetZ(tile.row));
        bindOnChange(textureTable[tile.type]);  // rule 7
        drawTileLists(tile.type, early, bindOnChange);
        glPopMatrix();
    };
    size_t i = beforeCount, j = 0;
    while (i > 0 || j < afterCount) {
        const bool early = j == afterCount || (i > 0 && before[i - 1].distance < after[j].distance);
        drawTile(early ? before[--i] : after[j++], early);
        ++tilesDrawn;
    }
    if (earlyAtClearedDepth) {  // rule 1: the pixels left at the cleared depth, in the reference's order
        glDepthRange(1.0, 1.0);
        for (const auto& [run, count] : {std::pair{before, beforeCount}, std::pair{after, afterCount}})
            for (size_t k = 0; k < count; ++k)
                if (run[k].atClearedDepth)
                    drawTile(run[k], false);
        glDepthRange(0.0, 1.0);
    }
    if (referenceTiles > 0)  // rule 8
        specifyLight(referenceTiles == 1 ? FrameState::underEntry : FrameState::underRotation, entry);
    glPopMatrix();

    if (viewSettings.daylight) {
        setDepthFunc(GL_LESS);  // rule 3
        drawSkyStep(0x3F, true);
        if (sky.mask && !skyFirst) {
            setDepthFunc(GL_EQUAL);  // rule 4
            drawSkyAtClearedDepth(sky);
        }
    }
    setDepthFunc(GL_LEQUAL);

    drawStatDisplayBatched(countFrames());  // rule 9
    return true;
}

FramePixels readFrame()
{
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    FramePixels frame{viewport[2], viewport[3], {}};
    // Rows come bottom up, each padded to the default pack alignment of 4 bytes.
    const size_t row = size_t(frame.width) * 3, stride = (row + 3) & ~size_t(3);
    std::vector<uint8_t> bottomUp(stride * size_t(frame.height));
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    frame.rgb.resize(row * size_t(frame.height));
    for (int y = 0; y < frame.height; ++y)
        std::copy_n(bottomUp.data() + stride * size_t(frame.height - 1 - y), row, frame.rgb.data() + row * size_t(y));
    return frame;
}
