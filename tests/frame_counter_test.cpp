// The frames-per-second counter, driven by a fake tick source.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/platform.h"
#include "text/text.h"

static uint32_t fakeNow = 0;
static uint32_t fakeStepPerRead = 0;  // added after each reading, to tell the two readings of a call apart

static uint32_t fakeTicks()
{
    uint32_t now = fakeNow;
    fakeNow += fakeStepPerRead;
    return now;
}

class FrameCount : public testing::Test {
protected:
    void SetUp() override
    {
        frameCounter = FrameCounter{};
        frameTickSource = fakeTicks;
        fakeStepPerRead = 0;
    }
    void TearDown() override { frameTickSource = getTickCount; }
    // Draws frames first..last of a run at 60 per second from start, returning the last reported rate.
    static int runAt60(uint32_t start, int first, int last)
    {
        int rate = -1;
        for (int k = first; k <= last; ++k) {
            fakeNow = start + uint32_t(k * 1000 / 60);
            rate = countFrames();
        }
        return rate;
    }
};

TEST_F(FrameCount, ShowsZeroForTheFirstSecondThenASteadySixty)
{
    // The first call opens a window (the counter starts at tick 0, long ago); nothing is complete yet.
    uint32_t start = 5'000'000;
    for (int k = 0; k < 60; ++k)
        EXPECT_EQ(runAt60(start, k, k), 0) << k;
    EXPECT_EQ(runAt60(start, 60, 60), 60);
    for (int k = 61; k < 600; ++k)
        EXPECT_EQ(runAt60(start, k, k), 60) << k;
}

TEST_F(FrameCount, ClosesAWindowAtThousandMillisecondsExactly)
{
    fakeNow = 10'000;
    countFrames();
    fakeNow = 10'999;
    countFrames();
    EXPECT_EQ(frameCounter.lastTick, 10'000u);
    EXPECT_EQ(frameCounter.frames, 2);
    fakeNow = 11'000;
    EXPECT_EQ(countFrames(), 2);
    EXPECT_EQ(frameCounter.lastTick, 11'000u);
    EXPECT_EQ(frameCounter.frames, 1);
}

TEST_F(FrameCount, StartsTheNewWindowAtASecondFreshReading)
{
    fakeStepPerRead = 7;
    fakeNow = 50'000;
    countFrames();
    EXPECT_EQ(frameCounter.lastTick, 50'007u);
}

TEST_F(FrameCount, CountsAcrossTheTickWrap)
{
    fakeNow = 0xFFFF'FF00u;
    countFrames();
    ASSERT_EQ(frameCounter.lastTick, 0xFFFF'FF00u);
    fakeNow = 0x0000'02E7u;  // 999 ms later, past the wrap
    countFrames();
    EXPECT_EQ(frameCounter.frames, 2) << "a wrapped tick must not close the window early";
    fakeNow = 0x0000'02E8u;  // 1000 ms later
    EXPECT_EQ(countFrames(), 2);
    EXPECT_EQ(frameCounter.lastTick, 0x2E8u);
}

TEST_F(FrameCount, ReportsTheWindowBeforeALongPause)
{
    uint32_t start = 1'000'000;
    EXPECT_EQ(runAt60(start, 0, 69), 60);  // windows open at frames 0 and 60
    uint32_t resumed = start + 69 * 1000 / 60 + 5000;
    fakeNow = resumed;
    EXPECT_EQ(countFrames(), 10) << "the frames 60..69 drawn before the pause";
    EXPECT_EQ(frameCounter.lastTick, resumed);
    // The next window opens at that frame: it closes 60 frames later with 60.
    EXPECT_EQ(runAt60(resumed, 1, 59), 10);
    EXPECT_EQ(runAt60(resumed, 60, 60), 60);
}
