// The camera's per-frame motion: keys to speed, turn, field of view, flying and tilt; heading, move and bounds.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"
#include "tests/support/gl_context.h"

// Runs with the real start state, before any test below changes it.
TEST(CameraStart, FirstFrameWithNoInputLeavesEverythingInPlace)
{
    EXPECT_EQ(probeTile.row, 168);
    EXPECT_EQ(probeTile.column, 2);
    updateCamera();
    moveCamera();
    EXPECT_EQ(camera.x, 30.0f);
    EXPECT_EQ(camera.y, -1.5f);
    EXPECT_EQ(camera.z, 2016.0f);
    EXPECT_EQ(camera.yaw, 3.1415927f);
    EXPECT_EQ(camera.yawDegrees, 180.0f);
    EXPECT_EQ(camera.fieldOfView, 60);
    EXPECT_EQ(camera.speed, 0.0f);
    EXPECT_FALSE(cameraAboveRoofs);
}

class CameraMotion : public testing::Test {
protected:
    void SetUp() override
    {
        camera = CameraState{};
        cameraAboveRoofs = false;
        probeTile = TilePosition{168, 2};
        keyState.fill(0);
        mouseButtons = MouseButtons{};
        std::memset(&cityMap, 0, sizeof cityMap);
    }

    static void hold(uint8_t key, bool down = true) { keyState[key] = down ? 1 : 0; }

    // One frame's camera step without the mouse, as the loop runs it.
    static void frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            updateCamera();
            moveCamera();
        }
    }
};

TEST_F(CameraMotion, ForwardReachesCruiseSpeedThenAlternates)
{
    hold('W');
    frames(39);
    EXPECT_LT(camera.speed, 0.199f);
    frames(1);
    EXPECT_NEAR(camera.speed, 0.2f, 1e-5);
    float previous = camera.speed;
    for (int i = 0; i < 10; ++i) {
        frames(1);
        const bool nearCruise = std::fabs(camera.speed - 0.2f) < 1e-5f;
        const bool nearAbove = std::fabs(camera.speed - 0.205f) < 1e-5f;
        EXPECT_TRUE(nearCruise || nearAbove) << camera.speed;
        EXPECT_NEAR(std::fabs(camera.speed - previous), 0.005f, 1e-5);
        previous = camera.speed;
    }
}

TEST_F(CameraMotion, ReverseStopsAtMinusATenth)
{
    hold('S');
    frames(20);
    EXPECT_NEAR(camera.speed, -0.1f, 1e-6);
    const float settled = camera.speed;
    frames(10);
    EXPECT_EQ(camera.speed, settled);
}

TEST_F(CameraMotion, SpaceBrakes)
{
    hold(VK_SPACE);
    camera.speed = 0.2f;
    frames(1);
    EXPECT_NEAR(camera.speed, 0.176f, 1e-6);  // decay 0.004 and brake 0.02
    frames(7);
    EXPECT_NEAR(camera.speed, 0.008f, 1e-5);
    frames(1);
    EXPECT_EQ(camera.speed, 0.0f);  // never past zero

    camera.speed = -0.05f;
    frames(1);
    EXPECT_EQ(camera.speed, 0.0f);  // backwards: stopped at once

    hold('S');
    frames(5);
    EXPECT_EQ(camera.speed, 0.0f);  // the brake cancels reversing
    hold(VK_SPACE, false);
    frames(20);
    hold(VK_SPACE);
    const float slowest = camera.speed;
    EXPECT_NEAR(slowest, -0.1f, 1e-6);
    frames(3);  // at -0.1 the brake no longer acts
    EXPECT_EQ(camera.speed, slowest);
}

TEST_F(CameraMotion, CruiseSpeedDecaysInFiftyOneOrFiftyTwoFrames)
{
    hold('W');
    frames(40);
    hold('W', false);
    int count = 0;
    while (camera.speed != 0.0f && count < 100) {
        frames(1);
        ++count;
    }
    EXPECT_GE(count, 51);
    EXPECT_LE(count, 52);
}

TEST_F(CameraMotion, BoostSettlesAtFourTenthsAndRelaxesWithoutRightButton)
{
    // Without a window the field-of-view calls only have to be harmless; their effect is tested below.
    hold('W');
    mouseButtons.right = 1;
    frames(40);
    EXPECT_LT(camera.speed, 0.4f);
    frames(1);
    EXPECT_NEAR(camera.speed, 0.41f, 1e-5);
    const float top = camera.speed;
    frames(20);
    EXPECT_EQ(camera.speed, top);
    EXPECT_EQ(camera.fieldOfView, 90);

    mouseButtons.right = 0;
    frames(1);
    EXPECT_NEAR(camera.speed, top - 0.005f, 1e-6);
    EXPECT_EQ(camera.fieldOfView, 89);
    frames(29);
    EXPECT_EQ(camera.fieldOfView, 60);
    frames(20);
    EXPECT_NEAR(camera.speed, 0.2f, 0.0051);
    EXPECT_EQ(camera.fieldOfView, 60);
}

TEST_F(CameraMotion, TurnRateLimitsStandingAndMoving)
{
    hold('A');
    frames(20);
    EXPECT_NEAR(camera.turnRate, -0.02f, 1e-6);
    frames(10);
    EXPECT_EQ(camera.turnRate, -0.02f);
    hold('A', false);
    frames(5);
    EXPECT_NEAR(camera.turnRate, 0.0f, 1e-6);
    frames(1);
    EXPECT_EQ(camera.turnRate, 0.0f);

    hold('D');
    hold('W');
    frames(40);
    EXPECT_EQ(camera.turnRate, 0.015f);
}

TEST_F(CameraMotion, ReversingSteersTheOtherWay)
{
    hold('S');
    frames(20);
    const float yawBefore = camera.yaw;
    hold('A');
    frames(10);
    EXPECT_GT(camera.turnRate, 0.0f);
    EXPECT_GT(camera.yaw, yawBefore);
    hold('A', false);
    hold('D');
    frames(30);
    EXPECT_LT(camera.turnRate, 0.0f);
}

TEST_F(CameraMotion, YawWrapsOnceIntoZeroToTwoPi)
{
    camera.yaw = 6.28f;
    camera.turnRate = 0.015f;
    moveCamera();
    EXPECT_NEAR(camera.yaw, 0.0118f, 1e-4);
    EXPECT_NEAR(camera.yawDegrees, camera.yaw * 180.0 / M_PI, 1e-4);

    camera.yaw = 0.005f;
    camera.turnRate = -0.015f;
    moveCamera();
    EXPECT_NEAR(camera.yaw, 6.2732f, 1e-4);
    EXPECT_NEAR(camera.yawDegrees, 359.427f, 1e-3);

    // A large mouse turn is corrected once a frame, not all at once.
    camera.yaw = 15.0f;
    camera.turnRate = 0.0f;
    moveCamera();
    EXPECT_NEAR(camera.yaw, 15.0f - 2 * M_PI, 1e-5);
    moveCamera();
    EXPECT_NEAR(camera.yaw, 15.0f - 4 * M_PI, 1e-5);
}

TEST_F(CameraMotion, MovesAlongMinusSineAndCosineOfYaw)
{
    camera.x = 1000.0f;
    camera.z = 1000.0f;
    camera.yaw = 0.5f;
    camera.speed = 0.2f;
    moveCamera();
    EXPECT_NEAR(camera.x, 1000.0 - std::sin(0.5) * 0.2, 1e-4);
    EXPECT_NEAR(camera.z, 1000.0 + std::cos(0.5) * 0.2, 1e-4);
    EXPECT_EQ(camera.speed, 0.2f);
}

TEST_F(CameraMotion, FlyingUpHasNoCeilingAndRaisesAboveRoofs)
{
    hold('E');
    int risen = -1;
    for (int i = 1; i <= 1000; ++i) {
        frames(1);
        if (cameraAboveRoofs && risen < 0)
            risen = i;
        if (risen < 0) {
            EXPECT_GT(camera.y, -7.0f);
        }
    }
    EXPECT_NEAR(camera.y, -101.499f, 5e-4);
    ASSERT_GT(risen, 0);
    EXPECT_LE(risen, 56);
    EXPECT_TRUE(cameraAboveRoofs);
}

TEST_F(CameraMotion, FlyingDownStopsAtEyeHeightOneAndAHalf)
{
    hold('Q');
    updateCamera();
    EXPECT_NEAR(camera.y, -1.4f, 1e-6);
    moveCamera();
    EXPECT_EQ(camera.y, -1.5f);

    camera.y = -9.05f;
    frames(1);
    EXPECT_NEAR(camera.y, -8.95f, 1e-5);  // grass under the probe
}

TEST_F(CameraMotion, TiltStopsLevelAndStraightDown)
{
    hold(VK_HOME);
    frames(100);
    EXPECT_EQ(camera.pitch, 90.0f);
    hold(VK_HOME, false);
    hold(VK_END);
    frames(89);
    EXPECT_EQ(camera.pitch, 1.0f);
    frames(20);
    EXPECT_EQ(camera.pitch, 0.0f);
}

TEST_F(CameraMotion, BoundsHoldTheCameraInsideTheMapWithoutStoppingIt)
{
    const float west = 1.5707964f;  // travel toward -x
    const float east = 4.712389f;   // travel toward +x
    struct Case {
        float x, z, yaw, wantX, wantZ;
    };
    const Case cases[] = {
        {0.1f, 1000.0f, west, 0.0f, 1000.0f},
        {2038.9f, 1000.0f, east, 2039.0f, 1000.0f},
        {1000.0f, 0.1f, 3.1415927f, 1000.0f, 0.0f},
        {1000.0f, 2038.9f, 0.0f, 1000.0f, 2039.0f},
    };
    for (const Case& c : cases) {
        camera.x = c.x;
        camera.z = c.z;
        camera.yaw = c.yaw;
        camera.speed = 0.2f;
        moveCamera();
        EXPECT_NEAR(camera.x, c.wantX, 1e-4) << c.x << "," << c.z;
        EXPECT_NEAR(camera.z, c.wantZ, 1e-4) << c.x << "," << c.z;
        EXPECT_EQ(camera.speed, 0.2f);
    }
    camera.y = 3.0f;
    moveCamera();
    EXPECT_EQ(camera.y, -1.5f);
}

TEST(MouseTurn, OffsetTurnsAndRecentres)
{
    MouseTurn right = mouseTurn(612, 384, 1024, 768);
    EXPECT_TRUE(right.recentre);
    EXPECT_EQ(right.centreX, 512);
    EXPECT_EQ(right.centreY, 384);
    EXPECT_NEAR(right.yawChange, 0.1f, 1e-7);  // 100 pixels right turns right

    MouseTurn left = mouseTurn(500, 384, 1024, 768);
    EXPECT_NEAR(left.yawChange, -0.012f, 1e-7);

    MouseTurn vertical = mouseTurn(512, 10, 1024, 768);
    EXPECT_TRUE(vertical.recentre);
    EXPECT_EQ(vertical.yawChange, 0.0f);

    MouseTurn centred = mouseTurn(512, 384, 1024, 768);
    EXPECT_FALSE(centred.recentre);
    EXPECT_EQ(centred.yawChange, 0.0f);

    MouseTurn odd = mouseTurn(0, 0, 1367, 769);  // halved by a shift
    EXPECT_EQ(odd.centreX, 683);
    EXPECT_EQ(odd.centreY, 384);
    EXPECT_NEAR(odd.yawChange, -0.683f, 1e-6);
}

TEST(MouseTurn, WorksWithoutAWindow)
{
    camera = CameraState{};
    applyMouseYaw(camera.yaw);
    advanceCamera();
    EXPECT_TRUE(std::isfinite(camera.yaw));
    EXPECT_TRUE(std::isfinite(camera.x));
    EXPECT_TRUE(std::isfinite(camera.z));
}

class CameraFieldOfView : public CameraMotion {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(openTestContext(64, 36)); }
    static void TearDownTestSuite() { closeTestContext(); }

    static void expectProjection(double degrees)
    {
        GLdouble actual[16];
        glGetDoublev(GL_PROJECTION_MATRIX, actual);
        GLint mode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_MODELVIEW);
        GLdouble modelview[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);

        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluPerspective(degrees, 1.7777777910232544, 0.10000000149011612, 540.0);
        GLdouble expected[16];
        glGetDoublev(GL_PROJECTION_MATRIX, expected);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        for (int i = 0; i < 16; ++i) {
            EXPECT_FLOAT_EQ(static_cast<float>(actual[i]), static_cast<float>(expected[i])) << i;
            EXPECT_EQ(modelview[i], i % 5 == 0 ? 1.0 : 0.0) << i;
        }
    }
};

TEST_F(CameraFieldOfView, LoadsA16By9PerspectiveAndResetsTheModelview)
{
    glMatrixMode(GL_MODELVIEW);
    glTranslated(3, 4, 5);
    glMatrixMode(GL_PROJECTION);
    setFieldOfView(75);
    expectProjection(75);
}

TEST_F(CameraFieldOfView, WidensWithBoostAndRelaxesBack)
{
    hold('W');
    mouseButtons.right = 1;
    frames(29);
    EXPECT_EQ(camera.fieldOfView, 89);
    frames(1);
    EXPECT_EQ(camera.fieldOfView, 90);
    expectProjection(90);
    frames(5);
    EXPECT_EQ(camera.fieldOfView, 90);

    // The right button alone does not widen it.
    hold('W', false);
    frames(10);
    EXPECT_EQ(camera.fieldOfView, 80);
    expectProjection(80);
    frames(20);
    EXPECT_EQ(camera.fieldOfView, 60);
    expectProjection(60);

    // At 60 nothing is reloaded.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    frames(5);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(projection[i], i % 5 == 0 ? 1.0 : 0.0) << i;
}
