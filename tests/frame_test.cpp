// Drawing a frame against a real Mesa context, with solid-colour test textures.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tests/support/gl_context.h"

namespace fs = std::filesystem;

namespace {

constexpr int width = 320, height = 180;

struct Rgb {
    uint8_t r, g, b;
};

// Sky faces get saturated colours no lit tile can take; tiles are grey so tints show.
const Rgb skyColours[6] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};

const char* const textureFiles[31] = {
    "Grass", "BuildingFront", "BuildingSide2", "BuildingSide3", "Building2", "francehousered3", "cliff1",
    "Road", "RoadE", "RoadS", "RoadSE", "RoadW", "RoadEW", "RoadSW", "RoadSEW", "RoadN", "RoadNE", "RoadNS",
    "RoadNSE", "RoadNW", "RoadNEW", "RoadNSW", "RoadNSEW", "cliff1-top", "Rooftop",
    "sky_0", "sky_1", "sky_2", "sky_3", "sky_4", "sky_5"};

Rgb slotColour(int slot)
{
    if (slot >= skySlot0)
        return skyColours[slot - skySlot0];
    return {128, 128, 128};
}

void writeSolidBmp(const fs::path& path, Rgb c)
{
    Bitmap bmp;
    bmp.width = 16;
    bmp.height = 16;
    for (int i = 0; i < 16 * 16; ++i) {
        bmp.bits.push_back(c.b);
        bmp.bits.push_back(c.g);
        bmp.bits.push_back(c.r);
    }
    ASSERT_TRUE(saveBitmap(path.c_str(), bmp));
}

class Frame : public testing::Test {
protected:
    fs::path dir, oldDir;

    void SetUp() override
    {
        oldDir = fs::current_path();
        dir = fs::temp_directory_path() / ("kestra_frame_" + std::to_string(getpid()));
        fs::create_directories(dir / "Data");
        for (int slot = 0; slot < 31; ++slot)
            writeSolidBmp(dir / "Data" / (std::string(textureFiles[slot]) + ".bmp"), slotColour(slot));
        fs::current_path(dir);
        viewSettings = ViewSettings{};
        viewSettings.showStats = 0;
        windowWidth = width;
        windowHeight = height;
        camera = CameraState{};
        cameraAboveRoofs = false;
        ASSERT_TRUE(openTestContext(width, height));
        resizeScene(width, height);
        testing::internal::CaptureStderr();  // no city.map here: the map's own message is expected
        ASSERT_TRUE(initScene());
        testing::internal::GetCapturedStderr();
        fill(0);
    }

    void TearDown() override
    {
        closeTestContext();
        fs::current_path(oldDir);
        fs::remove_all(dir);
    }

    static void fill(TileType t)
    {
        for (TileType& cell : cityMap.cells)
            cell = t;
    }

    static void placeAtTileCentre(int row, int column, float y)
    {
        camera.x = column * 12.0f + 6.0f;
        camera.z = row * 12.0f + 6.0f;
        camera.y = y;
    }

    static Rgb pixel(int x, int y)
    {
        unsigned char p[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2]};
    }

    static bool isSky(Rgb p)
    {
        for (const Rgb& s : skyColours)
            if (std::abs(p.r - s.r) <= 2 && std::abs(p.g - s.g) <= 2 && std::abs(p.b - s.b) <= 2)
                return true;
        return false;
    }

    static void draw()
    {
        ASSERT_TRUE(drawFrame());
        glFinish();
    }

    // Polygons that survive clipping in a feedback pass over one frame.
    static int polygonsInFeedback()
    {
        std::vector<GLfloat> buffer(1 << 22);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        drawFrame();
        GLint n = glRenderMode(GL_RENDER);
        int polygons = 0;
        for (GLint i = 0; i < n;) {
            GLint token = static_cast<GLint>(buffer[i++]);
            if (token == GL_POLYGON_TOKEN) {
                GLint vertices = static_cast<GLint>(buffer[i++]);
                i += 3 * vertices;
                ++polygons;
            } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                i += 6;
            } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                       token == GL_COPY_PIXEL_TOKEN) {
                i += 3;
            } else if (token == GL_PASS_THROUGH_TOKEN) {
                i += 1;
            }
        }
        return polygons;
    }
};

TEST_F(Frame, TileWindowIsTwoRadiiSquareClippedToTheMap)
{
    draw();
    EXPECT_EQ(tilesDrawn, 32 * 32);  // rows 138..169, columns 0..31 at the start position

    placeAtTileCentre(85, 85, -1.5f);
    draw();
    EXPECT_EQ(tilesDrawn, 3600);

    camera.z = 1020.0f;
    camera.x = 12.0f;  // column 1: columns -29..30, 31 of them inside the map
    draw();
    EXPECT_EQ(tilesDrawn, 60 * 31);
    camera.x = 11.9f;  // column 0: columns -30..29
    draw();
    EXPECT_EQ(tilesDrawn, 60 * 30);
}

TEST_F(Frame, CellsAboveTheLastTypeDrawNothingWhileTheirNeighboursDo)
{
    placeAtTileCentre(85, 85, -30.0f);
    camera.pitch = 90.0f;
    mapCell(85, 85) = 99;
    draw();
    EXPECT_EQ(tilesDrawn, 3599);
    EXPECT_TRUE(isSky(pixel(width / 2, height / 2))) << "the missing tile shows the sky box floor";
    EXPECT_FALSE(isSky(pixel(width / 2, height - 20))) << "its neighbour is drawn";
}

TEST_F(Frame, PitchNinetyLooksStraightDownOntoTheGround)
{
    placeAtTileCentre(85, 85, -1.5f);
    camera.pitch = 90.0f;
    draw();
    for (int y : {2, height / 2, height - 40})
        for (int x : {2, width / 2, width - 3})
            EXPECT_FALSE(isSky(pixel(x, y))) << x << "," << y;
}

TEST_F(Frame, DaylightShowsSkyBeyondTheMapEdgeNightShowsTheClearColour)
{
    // At the start position facing away from the city: two rows to the edge, then nothing.
    camera.yaw = 0.0f;
    camera.yawDegrees = 0.0f;
    draw();
    EXPECT_TRUE(isSky(pixel(width / 2, height - 30)));

    viewSettings.daylight = 0;
    applyFog();
    applyLight();
    draw();
    Rgb p = pixel(width / 2, height - 30);
    EXPECT_EQ(p.r, 204);  // the clear colour of a context opened by day
    EXPECT_EQ(p.g, 204);
    EXPECT_EQ(p.b, 204);
}

TEST_F(Frame, NightTintsTilesYellowWhileDayLeavesThemGrey)
{
    placeAtTileCentre(85, 85, -1.5f);
    camera.pitch = 90.0f;
    draw();
    Rgb day = pixel(width / 2, height / 2);
    EXPECT_NEAR(day.r, day.b, 2);

    viewSettings.daylight = 0;
    applyFog();
    applyLight();
    draw();
    Rgb night = pixel(width / 2, height / 2);
    // The lit ground saturates red and green; only the material's weaker blue shows below it.
    EXPECT_LT(night.b, night.r - 8);
    EXPECT_NEAR(night.r, night.g, 2);
}

TEST_F(Frame, FogFollowsTheSwitchByDayAndStaysOnAtNightAfterAToggle)
{
    viewSettings.fogEnabled = 0;
    draw();
    EXPECT_FALSE(glIsEnabled(GL_FOG));

    viewSettings.fogEnabled = 1;
    draw();
    EXPECT_TRUE(glIsEnabled(GL_FOG));

    viewSettings.daylight = 0;
    viewSettings.fogEnabled = 0;
    applyFog();
    applyLight();
    draw();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
}

TEST_F(Frame, SkyFacesSurroundTheEyeAndTheFrontFaceIsRestored)
{
    fill(99);
    const struct {
        float yaw, pitch;
    } views[] = {{0, 0}, {90, 0}, {180, 0}, {270, 0}, {0, 90}, {0, -90}};
    for (const auto& v : views) {
        camera.yawDegrees = v.yaw;
        camera.pitch = v.pitch;
        draw();
        for (int y : {1, height / 2, height - 2})
            for (int x : {1, width / 2, width - 2})
                EXPECT_TRUE(isSky(pixel(x, y))) << "view " << v.yaw << "/" << v.pitch << " at " << x << "," << y;
        GLint front = 0;
        glGetIntegerv(GL_FRONT_FACE, &front);
        EXPECT_EQ(front, GL_CCW);
    }
}

TEST_F(Frame, RoofsAndCliffTopsAreDrawnOnlyFromEyeHeightSeven)
{
    fill(1);
    mapCell(85, 85) = 0;
    placeAtTileCentre(85, 85, -7.0f);
    glDisable(GL_CULL_FACE);  // count roofs seen from below too

    moveCamera();
    ASSERT_TRUE(cameraAboveRoofs);
    int withRoofs = polygonsInFeedback();

    camera.y = -6.9f;
    moveCamera();
    ASSERT_FALSE(cameraAboveRoofs);
    int withoutRoofs = polygonsInFeedback();
    EXPECT_GT(withRoofs, withoutRoofs);

    fill(6);
    mapCell(85, 85) = 0;
    camera.y = -7.0f;
    moveCamera();
    int withTops = polygonsInFeedback();
    camera.y = -6.9f;
    moveCamera();
    EXPECT_GT(withTops, polygonsInFeedback());
}

}  // namespace
