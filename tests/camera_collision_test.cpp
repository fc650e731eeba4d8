// Collision of the moving camera with buildings and cliffs of the city map.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"

TEST(TileBlocks, FollowsTheHeightOfEachKindOfTile)
{
    for (TileType tall : {1u, 3u, 5u, 6u}) {
        EXPECT_TRUE(tileBlocks(tall, -1.5f)) << tall;
        EXPECT_TRUE(tileBlocks(tall, -13.99f)) << tall;
        EXPECT_FALSE(tileBlocks(tall, -14.0f)) << tall;
    }
    for (TileType low : {2u, 4u}) {
        EXPECT_TRUE(tileBlocks(low, -1.5f)) << low;
        EXPECT_TRUE(tileBlocks(low, -8.99f)) << low;
        EXPECT_FALSE(tileBlocks(low, -9.0f)) << low;
        EXPECT_FALSE(tileBlocks(low, -13.0f)) << low;
    }
    for (TileType open : {0u, 7u, 15u, 22u, 23u, 30u, 255u, 0x80000000u, UINT32_MAX}) {
        EXPECT_FALSE(tileBlocks(open, -1.5f)) << open;
        EXPECT_FALSE(tileBlocks(open, 5.0f)) << open;
    }
}

class CameraCollision : public testing::Test {
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

    static void frames(int count)
    {
        for (int i = 0; i < count; ++i) {
            updateCamera();
            moveCamera();
        }
    }

    // Holds W from z = 1300 in column 2, heading toward row 0, until the camera is stopped
    // (or 1000 frames pass). Returns whether it stopped where it stood before that frame's move.
    static bool driveUntilStopped(int* framesTaken)
    {
        camera.z = 1300.0f;
        hold('W');
        for (int i = 1; i <= 1000; ++i) {
            const float zBefore = camera.z;
            const float xBefore = camera.x;
            updateCamera();
            const bool moving = camera.speed > 0.0f;
            moveCamera();
            if (moving && camera.speed == 0.0f) {
                *framesTaken = i;
                return std::fabs(camera.z - zBefore) < 1e-4f && std::fabs(camera.x - xBefore) < 1e-4f;
            }
        }
        *framesTaken = -1;
        return false;
    }
};

TEST_F(CameraCollision, ProbeLooksATenthOfATileAheadEveryFrame)
{
    frames(1);  // standing at the start, facing row 0
    EXPECT_EQ(probeTile.row, 167);
    EXPECT_EQ(probeTile.column, 2);

    camera.z = 1201.0f;  // 1.2 ahead would be row 99
    frames(1);
    EXPECT_EQ(probeTile.row, 99);
    camera.z = 1202.0f;
    frames(1);
    EXPECT_EQ(probeTile.row, 100);
}

TEST_F(CameraCollision, StopsInFrontOfATallBuildingWhereItStoodBeforeTheMove)
{
    mapCell(100, 2) = 1;  // z 1200..1212
    int taken = 0;
    EXPECT_TRUE(driveUntilStopped(&taken));
    ASSERT_GT(taken, 0);
    EXPECT_EQ(probeTile.row, 100);
    EXPECT_GT(camera.z, 1212.0f + 1.2f - 0.21f);
    EXPECT_LE(camera.z - 1.2f, 1212.0f + 0.21f);

    // Still held, W creeps up until the smallest step would put the probe into the wall.
    frames(100);
    const float wall = camera.z;
    EXPECT_GE(wall - 1.2f, 1212.0f - 1e-3f);
    for (int i = 0; i < 30; ++i) {
        frames(1);
        EXPECT_EQ(camera.speed, 0.0f);
        EXPECT_NEAR(camera.z, wall, 1e-3);
    }

    // Backing up probes behind, so S gets away from the wall.
    hold('W', false);
    hold('S');
    frames(20);
    EXPECT_LT(camera.speed, 0.0f);
    EXPECT_GT(camera.z, wall + 0.5f);
}

TEST_F(CameraCollision, WithTheProbeInsideAWallForwardDoesNotAdvance)
{
    mapCell(100, 2) = 1;
    camera.z = 1213.0f;
    hold('W');
    for (int i = 0; i < 30; ++i) {
        updateCamera();
        EXPECT_NEAR(camera.speed, 0.005f, 1e-7);
        moveCamera();
        EXPECT_EQ(camera.speed, 0.0f);
        EXPECT_NEAR(camera.z, 1213.0f, 1e-4);
    }
}

TEST_F(CameraCollision, BackingIntoABuildingStopsToo)
{
    mapCell(110, 2) = 6;  // cliff behind: z 1320..1332
    camera.z = 1310.0f;
    hold('S');
    frames(200);
    EXPECT_LT(camera.z, 1320.0f - 1.2f + 0.11f);
    EXPECT_GT(camera.z, 1300.0f);
    EXPECT_EQ(probeTile.row, 110);
}

TEST_F(CameraCollision, LowBuildingsStopOnlyBelowEyeHeightNine)
{
    for (TileType low : {2u, 4u}) {
        SetUp();
        mapCell(100, 2) = low;
        int taken = 0;
        EXPECT_TRUE(driveUntilStopped(&taken)) << low;

        SetUp();
        mapCell(100, 2) = low;
        camera.y = -10.0f;
        driveUntilStopped(&taken);
        EXPECT_EQ(taken, -1) << low;
        EXPECT_LT(camera.z, 1200.0f) << low;  // drove through
    }
}

TEST_F(CameraCollision, TallTilesStopUpToEyeHeightFourteen)
{
    for (TileType tall : {1u, 3u, 5u, 6u}) {
        SetUp();
        mapCell(100, 2) = tall;
        camera.y = -13.9f;
        int taken = 0;
        EXPECT_TRUE(driveUntilStopped(&taken)) << tall;

        SetUp();
        mapCell(100, 2) = tall;
        camera.y = -14.0f;
        driveUntilStopped(&taken);
        EXPECT_EQ(taken, -1) << tall;
        EXPECT_LT(camera.z, 1200.0f) << tall;
    }
}

TEST_F(CameraCollision, CellsOutsideTheTileTypesNeverBlock)
{
    for (TileType none : {23u, 24u, 1000u, UINT32_MAX}) {
        SetUp();
        mapCell(100, 2) = none;
        int taken = 0;
        driveUntilStopped(&taken);
        EXPECT_EQ(taken, -1) << none;
    }
}

TEST_F(CameraCollision, ProbeIsClampedAtTheMapEdge)
{
    const float west = 1.5707964f;
    const float east = 4.712389f;
    struct Case {
        float x, z, yaw;
        int row, column;
    };
    const Case cases[] = {
        {0.5f, 1000.0f, west, 83, 0},
        {2039.0f, 1000.0f, east, 83, 169},
        {1000.0f, 0.5f, 3.1415927f, 0, 83},
        {1000.0f, 2039.0f, 0.0f, 169, 83},
    };
    for (const Case& c : cases) {
        SetUp();
        mapCell(c.row, c.column) = 1;
        camera.x = c.x;
        camera.z = c.z;
        camera.yaw = c.yaw;
        camera.speed = 0.2f;
        moveCamera();
        EXPECT_EQ(probeTile.row, c.row) << c.x << "," << c.z;
        EXPECT_EQ(probeTile.column, c.column) << c.x << "," << c.z;
        EXPECT_EQ(camera.speed, 0.0f) << c.x << "," << c.z;  // the edge tile decided
    }
}

TEST_F(CameraCollision, FlyingDownIsHeldAboveTheLastProbedLowBuilding)
{
    probeTile = TilePosition{50, 50};
    mapCell(50, 50) = 2;
    camera.y = -9.05f;
    hold('Q');
    updateCamera();
    EXPECT_EQ(camera.y, -9.05f);

    mapCell(50, 50) = 0;
    updateCamera();
    EXPECT_NEAR(camera.y, -8.95f, 1e-5);
}

TEST_F(CameraCollision, TurningInPlaceAgainstAWallIsNeverBlocked)
{
    mapCell(100, 2) = 1;
    camera.z = 1213.0f;  // probe inside the wall
    hold('A');
    frames(30);
    EXPECT_EQ(camera.z, 1213.0f);
    EXPECT_LT(camera.yaw, 3.1415927f - 0.3f);
}
