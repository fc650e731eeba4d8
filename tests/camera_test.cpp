// The camera's per-frame motion (keys, mouse, field of view, heading, bounds) and its collision with the map.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"
#include "tests/support/gl_context.h"

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
        for (int i = 0; i < count; ++i)
            updateCamera(), moveCamera();
    }
};

TEST_F(Camera, HeldKeysDriveEachQuantityToItsLimit)
{
    using C = CameraState;
    // Keys held, the right button, a quantity, its value before and after, and the frames run.
    const std::tuple<std::vector<uint8_t>, bool, float C::*, float, float, int> cases[] = {
        {{'W'}, false, &C::speed, 0, 0.205f, 41},  // cruise reached in 40 frames, then steps over
        {{'W'}, false, &C::speed, 0, 0.2f, 42}, {{'S'}, false, &C::speed, 0, -0.1f, 30},  // back to cruise; reverse
        {{'W'}, true, &C::speed, 0, 0.41f, 60},  // boost, and not beyond
        {{VK_SPACE}, false, &C::speed, 0.2f, 0.176f, 1},  // decay 0.004 and brake 0.02
        {{VK_SPACE}, false, &C::speed, -0.05f, 0, 1},  // backwards: stopped at once, not braked past zero
        {{VK_SPACE, 'S'}, false, &C::speed, 0, 0, 5},  // the brake cancels reversing
        {{'A'}, false, &C::turnRate, 0, -0.02f, 30},  // standing limit
        {{}, false, &C::turnRate, -0.02f, 0, 6},  // decays to 0, not past
        {{'W', 'D'}, false, &C::turnRate, 0, 0.015f, 40},  // moving limit
        {{'S', 'A'}, false, &C::turnRate, 0, 0.015f, 30},  // reversing steers the other way
        // Page Up and Down, which fly as E and Q, and the lowest eye height are in the timed demo's route.
        {{'E'}, false, &C::y, -6.95f, -7.05f, 1}, {{'Q'}, false, &C::y, -9.05f, -8.95f, 1},  // grass under the probe
        {{VK_HOME}, false, &C::pitch, 0, 90, 100}, {{VK_END}, false, &C::pitch, 90, 0, 100},
    };
    for (const auto& [keys, right, field, start, want, count] : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(keys) << " from " << start << " x" << count);
        SetUp();
        for (uint8_t key : keys)
            keyState[key] = 1;
        mouseButtons.right = right;
        camera.*field = start;
        frames(count);
        EXPECT_NEAR(camera.*field, want, 1e-4);
    }
}

TEST_F(Camera, TurnsAndMovesAlongTheHeadingInsideTheMapAndProbesInsideIt)
{
    const float west = 1.5707964f, east = 4.712389f, north = 3.1415927f;  // toward -x, +x, -z
    // x, z, yaw and turn rate before the move; yaw, x and z after it; the probe's row and column.
    const std::tuple<float, float, float, float, float, float, float, int, int> cases[] = {
        {1000, 1000, 0.4f, 0.1f, 0.5f, 1000 - std::sin(0.5f) * 0.2f, 1000 + std::cos(0.5f) * 0.2f, 83, 83},
        {1000, 1000, 6.28f, 0.015f, 0.0118f, 999.99764f, 1000.2f, 83, 83},  // yaw wraps into 0..2 pi
        {1000, 1000, 0.005f, -0.015f, 6.2732f, 1000.00201f, 1000.2f, 83, 83},
        {0.1f, 1000, west, 0, west, 0, 1000, 83, 0},  // bounds leave the speed alone
        {2038.9f, 1000, east, 0, east, 2039, 1000, 83, 169},  // the probe beyond the edge is clamped
        {1000, 0.1f, north, 0, north, 1000, 0, 0, 83},
        {1000, 2038.9f, 0, 0, 0, 1000, 2039, 169, 83},
    };
    for (const auto& [x, z, yaw, turnRate, wantYaw, wantX, wantZ, row, column] : cases) {
        SCOPED_TRACE(testing::Message() << x << "," << z << " yaw " << yaw);
        std::tie(camera.x, camera.z, camera.yaw, camera.turnRate, camera.speed) = std::tuple(x, z, yaw, turnRate, 0.2f);
        moveCamera();
        for (auto [got, want] : {std::pair{camera.yaw, wantYaw}, {camera.x, wantX}, {camera.z, wantZ},
                                 {camera.yawDegrees, float(camera.yaw * 180 / M_PI)}, {camera.speed, 0.2f}})
            EXPECT_NEAR(got, want, 1e-3);
        EXPECT_EQ(std::tuple(probeTile.row, probeTile.column), std::tuple(row, column));
    }
}

// W and D held for 3 seconds of frames at 60, 45 and 20 a second, their ticks in whole milliseconds across
// the tick count's wrap: the same steps, so the same camera; 60 a second is one step every frame.
TEST_F(Camera, SteadyStepsFollowTheClockSoEveryFrameRateDrivesTheSameWay)
{
    CameraState first;
    for (auto [rate, want] : {std::pair{60, std::set{1}}, {45, std::set{1, 2}}, {20, std::set{3}}}) {
        SetUp();
        keyState['W'] = keyState['D'] = 1;
        SteadyClock clock = startSteadyClock(0xFFFFF000u);
        std::set<int> counts;
        for (int frame = 1, steps = 0; frame <= 3 * rate; ++frame, counts.insert(steps), frames(steps))
            steps = steadySteps(&clock, 0xFFFFF000u + frame * 1000 / rate);
        first = rate == 60 ? camera : first;
        EXPECT_EQ(counts, want) << rate;
        EXPECT_EQ(std::memcmp(&camera, &first, sizeof camera), 0) << rate;
    }
    // A stall is capped and not made up for afterwards.
    SteadyClock clock = startSteadyClock(0);
    EXPECT_EQ(steadySteps(&clock, 5000), mostSteadySteps);
    EXPECT_EQ(steadySteps(&clock, 5016), 0);
}

TEST(MouseTurn, AnOffCentreCursorTurnsByItsHorizontalOffsetAndIsRecentred)
{
    // Cursor x and y, then whether it is put back at the centre and the turn: 100 pixels right turn right by 0.1,
    // or by 0.2 at twice the mouse speed.
    const std::tuple<int, int, bool, float, float> cases[] = {{612, 384, true, 0.1f, 1}, {0, 0, true, -0.512f, 1},
        {512, 10, true, 0, 1}, {512, 384, false, 0, 1}, {612, 384, true, 0.2f, 2}, {0, 0, true, -0.128f, 0.25f}};
    for (const auto& [x, y, recentre, yawChange, speed] : cases) {
        mouseSpeed = speed;
        const MouseTurn turn = mouseTurn(x, y, 1024, 768);
        EXPECT_EQ(std::tuple(turn.recentre, turn.centreX, turn.centreY), std::tuple(recentre, 512, 384));
        EXPECT_NEAR(turn.yawChange, yawChange, 1e-6) << x << "," << y;
        EXPECT_FLOAT_EQ(mouseYaw(x - 512), yawChange) << "the pointer's motion, where it cannot be warped";
    }
    mouseSpeed = 1;
}

TEST_F(Camera, AMoveIntoATileThatBlocksAtTheCamerasHeightIsTakenBack)
{
    // A tile type and the height from which it lets the camera pass (it blocks above it); 0: never blocks.
    const std::tuple<TileType, float> cases[] = {{1, -14.0f}, {3, -14.0f}, {5, -14.0f}, {6, -14.0f}, {2, -9.0f},
                                                 {4, -9.0f},  {0, 0.0f},   {7, 0.0f},   {0x80000000u, 0.0f}};
    for (const auto& [type, freeFromY] : cases)
        for (float y : {-1.5f, std::nextafter(freeFromY, 0.0f), freeFromY}) {
            SetUp();
            mapCell(100, 2) = type;  // z 1200..1212, where the probe of the moved camera falls
            std::tie(camera.z, camera.y, camera.speed) = std::tuple(1213.3f, y, 0.2f);
            moveCamera();
            const bool stops = y > freeFromY;
            EXPECT_EQ(camera.speed, stops ? 0.0f : 0.2f) << type << " at " << y;
            EXPECT_NEAR(camera.z, stops ? 1213.3f : 1213.1f, 1e-3) << type << " at " << y;
        }

    // Backing into one: the probe looks behind, and the move taken back is still the one just made.
    mapCell(100, 2) = 1;
    std::tie(camera.z, camera.y, camera.speed) = std::tuple(1199.0f, -1.5f, -0.1f);
    moveCamera();
    EXPECT_EQ(std::tuple(camera.speed, probeTile.row), std::tuple(0.0f, 100));
    EXPECT_NEAR(camera.z, 1199.0f, 1e-4);

    // Flying down tests the last probe's tile, not the one under the camera.
    probeTile = TilePosition{50, 50};
    mapCell(50, 50) = 2;
    camera.y = -9.05f;
    keyState['Q'] = 1;
    updateCamera();
    EXPECT_EQ(camera.y, -9.05f);
}

// The field of view against a real context: each change reloads the 16:9 projection and leaves the
// modelview current, as the frame expects.
TEST_F(Camera, FieldOfViewWidensADegreeAFrameWithBoostToNinetyAndRelaxesBackToSixty)
{
    ASSERT_TRUE(openTestContext(64, 36));
    // Frames run, W held with the right button (without W the button alone relaxes it), degrees reached.
    const std::tuple<int, bool, double> steps[] = {{10, true, 70}, {40, true, 90}, {9, false, 81}, {30, false, 60}};
    mouseButtons.right = 1;
    for (const auto& [count, w, degrees] : steps) {
        keyState['W'] = w;
        glMatrixMode(GL_PROJECTION);
        frames(count);
        const Floats projection = floats(GL_PROJECTION_MATRIX, 16);
        const double f = 1 / std::tan(degrees * M_PI / 360);
        EXPECT_EQ(getInt(GL_MATRIX_MODE), GL_MODELVIEW) << degrees;
        for (auto [k, want] : {std::pair{5, f}, {0, f * 9 / 16}, {14, -2 * 540 * 0.1 / (540 - 0.1)}})
            EXPECT_NEAR(projection[k], want, 1e-6) << degrees;
    }
    closeTestContext();
}
