// The frames-per-second counter, driven by a fake tick source.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/platform.h"
#include "text/text.h"

static uint32_t fakeNow = 0;

// The rate reported by frame k of a run at 60 frames per second from tick start.
static int frameAt60(uint32_t start, int k)
{
    fakeNow = start + uint32_t(k * 1000 / 60);
    return countFrames();
}

TEST(FrameCount, ShowsZeroForTheFirstSecondThenTheCountOfTheLastWindowClosedAfterExactlyASecond)
{
    frameTickSource = [] { return fakeNow; };
    // The first call opens a window (the counter starts at tick 0, long ago); nothing is complete yet.
    const uint32_t start = 5'000'000, resumed = start + 129 * 1000 / 60 + 5000;
    for (int k = 0; k < 130; ++k)
        EXPECT_EQ(frameAt60(start, k), k < 60 ? 0 : 60) << k;
    // After a pause, the frames 120..129 drawn before it; the next window opens at the first frame after it.
    for (int k = 0; k < 60; ++k)
        EXPECT_EQ(frameAt60(resumed, k), 10) << k;
    EXPECT_EQ(frameAt60(resumed, 60), 60);

    fakeNow = 0xFFFF'FF00u;  // a window of one frame closes, the next opens just before the tick wraps
    EXPECT_EQ(countFrames(), 1);
    fakeNow = 0x0000'02E7u;  // 999 ms later, past the wrap
    EXPECT_EQ(countFrames(), 1) << "a wrapped tick must not close the window early";
    fakeNow = 0x0000'02E8u;  // 1000 ms later
    EXPECT_EQ(countFrames(), 2);
}
