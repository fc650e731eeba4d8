// The camera's per-frame motion (keys, mouse, field of view, heading, bounds) and its collision with the map.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"
#include "tests/support/gl_context.h"

// Runs with the real start state, before any test below changes it.
TEST(CameraStart, FirstFrameWithNoInputLeavesEverythingInPlace)
{
    EXPECT_EQ(std::tuple(probeTile.row, probeTile.column), std::tuple(168, 2));
    updateCamera();
    moveCamera();
    EXPECT_EQ(std::tuple(camera.x, camera.y, camera.z, camera.speed), std::tuple(30.0f, -1.5f, 2016.0f, 0.0f));
    EXPECT_EQ(std::tuple(camera.yaw, camera.yawDegrees, camera.fieldOfView), std::tuple(3.1415927f, 180.0f, 60));
}

class Camera : public testing::Test {
protected:
    void SetUp() override
    {
        camera = CameraState{};
        probeTile = TilePosition{168, 2};
        keyState.fill(0);
        mouseButtons = MouseButtons{};
        std::memset(&cityMap, 0, sizeof cityMap);
    }

    // One frame's camera step without the mouse, as the loop runs it.
    static void frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            updateCamera();
            moveCamera();
        }
    }
};

TEST_F(Camera, HeldKeysDriveEachQuantityToItsLimit)
{
    using C = CameraState;
    const struct {
        uint8_t keys[2];
        bool right;
        float C::*field;
        float start, want;
        int frames;
    } cases[] = {
        {{'W'}, false, &C::speed, 0, 0.2f, 40},  // cruise reached in 40 frames
        {{'W'}, false, &C::speed, 0, 0.205f, 41},  // then steps over and back
        {{'W'}, false, &C::speed, 0, 0.2f, 42},
        {{'S'}, false, &C::speed, 0, -0.1f, 30},
        {{'W'}, true, &C::speed, 0, 0.41f, 41},  // boost, and not beyond
        {{'W'}, true, &C::speed, 0, 0.41f, 60},
        {{VK_SPACE}, false, &C::speed, 0.2f, 0.176f, 1},  // decay 0.004 and brake 0.02
        {{VK_SPACE}, false, &C::speed, 0.2f, 0, 9},  // never past zero
        {{VK_SPACE}, false, &C::speed, -0.05f, 0, 1},  // backwards: stopped at once
        {{VK_SPACE, 'S'}, false, &C::speed, 0, 0, 5},  // the brake cancels reversing
        {{VK_SPACE, 'S'}, false, &C::speed, -0.1f, -0.1f, 3},  // at -0.1 the brake no longer acts
        {{'A'}, false, &C::turnRate, 0, -0.02f, 30},  // standing limit
        {{}, false, &C::turnRate, -0.02f, 0, 6},  // decays to 0, not past
        {{'W', 'D'}, false, &C::turnRate, 0, 0.015f, 40},  // moving limit
        {{'S', 'A'}, false, &C::turnRate, 0, 0.015f, 30},  // reversing steers the other way
        {{'S', 'D'}, false, &C::turnRate, 0, -0.015f, 30},
        {{'E'}, false, &C::y, -1.5f, -101.499f, 1000},  // no ceiling
        {{'Q'}, false, &C::y, -1.5f, -1.5f, 1},  // eye height 1.5 at least
        {{'E'}, false, &C::y, -6.95f, -7.05f, 1},  // above the roofs from -7
        {{'Q'}, false, &C::y, -9.05f, -8.95f, 1},  // grass under the probe
        {{VK_PRIOR}, false, &C::y, -6.95f, -7.05f, 1},  // Page Up and Down fly as E and Q
        {{VK_NEXT}, false, &C::y, -9.05f, -8.95f, 1},
        {{VK_HOME}, false, &C::pitch, 0, 90, 100},
        {{VK_END}, false, &C::pitch, 90, 1, 89},
        {{VK_END}, false, &C::pitch, 90, 0, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << +c.keys[0] << "," << +c.keys[1] << " from " << c.start << " x" << c.frames);
        SetUp();
        for (uint8_t key : c.keys)
            keyState[key] = key != 0;
        mouseButtons.right = c.right;
        camera.*c.field = c.start;
        frames(c.frames);
        EXPECT_NEAR(camera.*c.field, c.want, std::max(1e-5, std::fabs(c.want) * 5e-6));
        EXPECT_EQ(cameraAboveRoofs, camera.y <= -7.0f);
    }
}

TEST_F(Camera, CruiseSpeedDecaysInFiftyOneOrFiftyTwoFrames)
{
    keyState['W'] = 1;
    frames(40);
    keyState['W'] = 0;
    frames(50);
    EXPECT_GT(camera.speed, 0.0f);
    frames(2);
    EXPECT_EQ(camera.speed, 0.0f);
}

TEST_F(Camera, YawWrapsOnceAFrameIntoZeroToTwoPi)
{
    const struct {
        float yaw, turnRate, want;
    } cases[] = {{6.28f, 0.015f, 0.0118f}, {0.005f, -0.015f, 6.2732f}, {15.0f, 0, 15.0f - 2 * float(M_PI)}};
    for (const auto& c : cases) {
        camera.yaw = c.yaw;
        camera.turnRate = c.turnRate;
        moveCamera();
        EXPECT_NEAR(camera.yaw, c.want, 1e-4) << c.yaw;
        EXPECT_NEAR(camera.yawDegrees, camera.yaw * 180.0 / M_PI, 1e-3) << c.yaw;
    }
    moveCamera();  // a large mouse turn is corrected once a frame, not all at once
    EXPECT_NEAR(camera.yaw, 15.0f - 4 * M_PI, 1e-5);
}

TEST_F(Camera, MovesAlongTheHeadingInsideTheMapAndProbesATenthOfATileAhead)
{
    const float west = 1.5707964f, east = 4.712389f, north = 3.1415927f;  // toward -x, +x, -z
    const struct {
        float x, z, yaw, speed, wantX, wantZ;
        int row, column;
    } cases[] = {
        {1000, 1000, 0.5f, 0.2f, 1000 - std::sin(0.5f) * 0.2f, 1000 + std::cos(0.5f) * 0.2f, 83, 83},
        {0.1f, 1000, west, 0.2f, 0, 1000, 83, 0},  // bounds leave the speed alone
        {2038.9f, 1000, east, 0.2f, 2039, 1000, 83, 169},  // the probe beyond the edge is clamped
        {1000, 0.1f, north, 0.2f, 1000, 0, 0, 83},
        {1000, 2038.9f, 0, 0.2f, 1000, 2039, 169, 83},
        {30, 1201.1f, north, 0, 30, 1201.1f, 99, 2},  // 1.2 ahead
        {30, 1201.3f, north, 0, 30, 1201.3f, 100, 2},
        {30, 1199, north, -0.1f, 30, 1199.1f, 100, 2},  // reversing probes behind
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.z << " speed " << c.speed);
        std::tie(camera.x, camera.z, camera.yaw, camera.speed) = std::tuple(c.x, c.z, c.yaw, c.speed);
        moveCamera();
        EXPECT_NEAR(camera.x, c.wantX, 1e-4);
        EXPECT_NEAR(camera.z, c.wantZ, 1e-4);
        EXPECT_EQ(camera.speed, c.speed);
        EXPECT_EQ(std::tuple(probeTile.row, probeTile.column), std::tuple(c.row, c.column));
    }
}

TEST(MouseTurn, OffsetTurnsAndRecentres)
{
    const struct {
        int x, y, wide, high, centreX, centreY;
        bool recentre;
        float yawChange;
    } cases[] = {
        {612, 384, 1024, 768, 512, 384, true, 0.1f},  // 100 pixels right turns right
        {512, 10, 1024, 768, 512, 384, true, 0.0f},  // off centre vertically only
        {512, 384, 1024, 768, 512, 384, false, 0.0f},
        {0, 0, 1367, 769, 683, 384, true, -0.683f},  // centre halved by a shift
    };
    for (const auto& c : cases) {
        const MouseTurn turn = mouseTurn(c.x, c.y, c.wide, c.high);
        EXPECT_EQ(std::tuple(turn.recentre, turn.centreX, turn.centreY), std::tuple(c.recentre, c.centreX, c.centreY));
        EXPECT_NEAR(turn.yawChange, c.yawChange, 1e-6) << c.x << "," << c.y;
    }
}

TEST_F(Camera, WithTheProbeInsideAWallOnlyTurningAndBackingGetFree)
{
    mapCell(100, 2) = 1;
    camera.z = 1213.0f;
    keyState['W'] = 1;
    updateCamera();
    EXPECT_NEAR(camera.speed, 0.005f, 1e-7);
    moveCamera();  // made and taken back
    frames(10);
    EXPECT_EQ(camera.speed, 0.0f);
    EXPECT_NEAR(camera.z, 1213.0f, 1e-4);
    keyState['W'] = 0;
    keyState['A'] = 1;
    frames(30);
    EXPECT_NEAR(camera.z, 1213.0f, 1e-4);
    EXPECT_LT(camera.yaw, 3.1415927f - 0.3f);
    keyState['A'] = 0;  // backing up probes behind
    keyState['S'] = 1;
    frames(20);
    EXPECT_LT(camera.speed, 0.0f);
    EXPECT_GT(camera.z, 1213.5f);
}

TEST_F(Camera, AMoveIntoATileThatBlocksAtTheCamerasHeightIsTakenBack)
{
    const struct {
        TileType type;
        float freeFromY;  // blocks while y is above this; NAN: never blocks
    } cases[] = {{1, -14.0f}, {3, -14.0f}, {5, -14.0f}, {6, -14.0f}, {2, -9.0f}, {4, -9.0f}, {0, NAN}, {7, NAN},
                 {22, NAN}, {23, NAN}, {0x80000000u, NAN}, {UINT32_MAX, NAN}};
    for (const auto& c : cases) {
        for (float y : {-1.5f, std::nextafter(c.freeFromY, 0.0f), c.freeFromY}) {
            if (std::isnan(y))
                continue;
            SetUp();
            mapCell(100, 2) = c.type;  // z 1200..1212, where the probe of the moved camera falls
            std::tie(camera.z, camera.y, camera.speed) = std::tuple(1213.3f, y, 0.2f);
            moveCamera();
            const bool stops = y > c.freeFromY;
            EXPECT_EQ(camera.speed, stops ? 0.0f : 0.2f) << c.type << " at " << y;
            EXPECT_NEAR(camera.z, stops ? 1213.3f : 1213.1f, 1e-3) << c.type << " at " << y;
        }
    }

    // Flying down tests the last probe's tile, not the one under the camera.
    probeTile = TilePosition{50, 50};
    mapCell(50, 50) = 2;
    camera.y = -9.05f;
    keyState['Q'] = 1;
    updateCamera();
    EXPECT_EQ(camera.y, -9.05f);
}

class CameraFieldOfView : public Camera {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openTestContext(64, 36)); }
    static void TearDownTestSuite() { closeTestContext(); }

    // The projection is the 16:9 perspective of these degrees, and the modelview is current.
    static void expectProjection(double degrees)
    {
        GLint mode = 0;
        GLdouble actual[16], expected[16];
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        glGetDoublev(GL_PROJECTION_MATRIX, actual);
        glPushMatrix();
        glLoadIdentity();
        gluPerspective(degrees, 1.7777777910232544, 0.10000000149011612, 540.0);
        glGetDoublev(GL_MODELVIEW_MATRIX, expected);
        glPopMatrix();
        for (int i = 0; i < 16; ++i)
            EXPECT_FLOAT_EQ(static_cast<float>(actual[i]), static_cast<float>(expected[i])) << i;
    }
};

TEST_F(CameraFieldOfView, WidensWithBoostAndRelaxesBack)
{
    GLdouble modelview[16];
    glTranslated(3, 4, 5);
    glMatrixMode(GL_PROJECTION);
    keyState['W'] = 1;
    mouseButtons.right = 1;
    frames(29);
    EXPECT_EQ(camera.fieldOfView, 89);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_EQ(modelview[12], 0.0);  // each reload resets the modelview
    frames(1);
    expectProjection(90);
    frames(11);
    EXPECT_EQ(camera.fieldOfView, 90);

    mouseButtons.right = 0;  // W alone relaxes it
    frames(1);
    EXPECT_EQ(camera.fieldOfView, 89);

    keyState['W'] = 0;  // the right button alone does not widen it
    mouseButtons.right = 1;
    frames(9);
    expectProjection(80);
    frames(20);
    expectProjection(60);

    glTranslated(3, 4, 5);  // at 60 nothing is reloaded
    frames(5);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_EQ(modelview[12], 3.0);
}
