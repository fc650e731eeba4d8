// The frames-per-second counter, driven by a fake tick source.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/platform.h"
#include "text/text.h"

static uint32_t fakeNow = 0;
static uint32_t fakeStep = 0;  // added after each reading, to tell the two readings of one call apart

class FrameCount : public testing::Test {
protected:
    void SetUp() override
    {
        frameCounter = FrameCounter{};
        fakeStep = 0;
        frameTickSource = [] { return (fakeNow += fakeStep) - fakeStep; };
    }
    void TearDown() override { frameTickSource = getTickCount; }
};

// The rate reported by frame k of a run at 60 frames per second from tick start.
static int frameAt60(uint32_t start, int k)
{
    fakeNow = start + uint32_t(k * 1000 / 60);
    return countFrames();
}

TEST_F(FrameCount, ShowsZeroForTheFirstSecondThenASteadySixty)
{
    // The first call opens a window (the counter starts at tick 0, long ago); nothing is complete yet.
    for (int k = 0; k < 600; ++k)
        EXPECT_EQ(frameAt60(5'000'000, k), k < 60 ? 0 : 60) << k;
}

TEST_F(FrameCount, ClosesAWindowAfterExactlyThousandMillisecondsAcrossTheTickWrap)
{
    fakeNow = 0xFFFF'FF00u;
    countFrames();
    fakeNow = 0x0000'02E7u;  // 999 ms later, past the wrap
    EXPECT_EQ(countFrames(), 0) << "a wrapped tick must not close the window early";
    fakeNow = 0x0000'02E8u;  // 1000 ms later
    EXPECT_EQ(countFrames(), 2);
    EXPECT_EQ(frameCounter.lastTick, 0x2E8u);
    // The new window starts at a second, fresh reading.
    fakeStep = 7;
    fakeNow = 50'000;
    countFrames();
    EXPECT_EQ(frameCounter.lastTick, 50'007u);
}

TEST_F(FrameCount, ReportsTheWindowBeforeALongPause)
{
    const uint32_t start = 1'000'000, resumed = start + 69 * 1000 / 60 + 5000;
    for (int k = 0; k < 70; ++k)
        frameAt60(start, k);  // windows open at frames 0 and 60
    EXPECT_EQ(frameAt60(resumed, 0), 10) << "the frames 60..69 drawn before the pause";
    EXPECT_EQ(frameCounter.lastTick, resumed);
    // The next window opens at that frame: it closes 60 frames later with 60.
    for (int k = 1; k < 60; ++k)
        EXPECT_EQ(frameAt60(resumed, k), 10);
    EXPECT_EQ(frameAt60(resumed, 60), 60);
}
