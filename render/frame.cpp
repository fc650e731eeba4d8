// One frame: the sky box by day, the 60 x 60 tiles around the camera, then the text stage.
#include "render/render.h"

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "text/text.h"

int tilesDrawn = 0;

// The sky box is drawn around the eye under the camera's rotations only; every face is
// counter-clockwise seen from outside, so the front face is flipped while it is drawn.
void drawSkyBox()
{
    const float S = static_cast<float>(12 * viewRadius);
    const float B = -S * 0.5f;
    const float T = S * 0.5f + 1.0f;
    struct Corner {
        float s, t, x, y, z;
    };
    struct Face {
        int slot;
        Corner corners[4];
    };
    const Face faces[6] = {
        {skySlot0, {{1, 0, S, B, S}, {1, 1, S, T, S}, {0, 0, -S, B, S}, {0, 1, -S, T, S}}},
        {skySlot1, {{1, 0, S, B, -S}, {1, 1, S, T, -S}, {0, 0, S, B, S}, {0, 1, S, T, S}}},
        {skySlot2, {{1, 0, -S, B, -S}, {1, 1, -S, T, -S}, {0, 0, S, B, -S}, {0, 1, S, T, -S}}},
        {skySlot3, {{1, 0, -S, B, S}, {1, 1, -S, T, S}, {0, 0, -S, B, -S}, {0, 1, -S, T, -S}}},
        {skySlot4, {{1, 0, S, T, S}, {1, 1, S, T, -S}, {0, 0, -S, T, S}, {0, 1, -S, T, -S}}},
        {skySlot5, {{0, 1, -S, B, S}, {0, 0, -S, B, -S}, {1, 1, S, B, S}, {1, 0, S, B, -S}}},
    };

    glFrontFace(GL_CW);
    for (const Face& face : faces) {
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

void drawSky()
{
    glPushMatrix();
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glDisable(GL_FOG);
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
    drawSkyBox();
    if (viewSettings.fogEnabled)
        glEnable(GL_FOG);
    glEnable(GL_LIGHTING);
    glPopMatrix();
}

// The roof or cliff top closing a block: the ground square raised to the wall height.
static void drawTop(int slot, float height)
{
    glBindTexture(GL_TEXTURE_2D, textureTable[slot]);
    glTranslatef(0.0f, height, 0.0f);
    glCallList(tileLists.groundList);
}

static void drawTile(int row, int column, TileType t)
{
    glBindTexture(GL_TEXTURE_2D, textureTable[t]);
    // The light is specified under the previous tile's matrix (the identity for the first tile).
    applyLight();
    glLoadIdentity();
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
    // Camera minus tile offset, in single precision: increasing columns lie to the left.
    const float tx = (static_cast<float>(-column) * 12.0f + camera.x) - 6.0f;
    const float tz = (static_cast<float>(-row) * 12.0f + camera.z) - 6.0f;
    glTranslatef(tx, camera.y, tz);

    switch (t) {
    case 1:
    case 3:
    case 5:
        glCallList(tileLists.tallBlockList);
        if (cameraAboveRoofs)
            drawTop(rooftopSlot, 12.0f);
        break;
    case 2:
    case 4:
        glCallList(tileLists.lowBlockList);
        if (cameraAboveRoofs)
            drawTop(rooftopSlot, 7.0f);
        break;
    case 6:
        glCallList(tileLists.cliffList);
        if (cameraAboveRoofs)
            drawTop(cliffTopSlot, 12.0f);
        break;
    default:
        glCallList(tileLists.groundList);
        break;
    }
    ++tilesDrawn;
}

bool drawFrame()
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
            if (t > 22)
                continue;
            drawTile(row, column, t);
        }
    }

    drawStatDisplay(countFrames());
    return true;
}
