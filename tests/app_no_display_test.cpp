// Plain logic with no window: starting where no window system can be reached, message box text, the
// frames-per-second counter driven by a fake tick source.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "app/app.h"
#include "platform/platform.h"
#include "text/text.h"

TEST(NoDisplay, SdlsFallbackToAHeadlessDriverIsRefusedWithOneAndItsMessageLast)
{
    unsetenv("SDL_VIDEODRIVER");  // no DISPLAY either (support/headless.cpp)
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(programMain(), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    // A library may complain on a line of its own first.
    const size_t at = err.find("no display: ");
    EXPECT_TRUE(at != std::string::npos && (at == 0 || err[at - 1] == '\n') && err.find('\n', at) == err.size() - 1)
        << err;
}

TEST(MessageBoxText, LongLinesAndManyLinesAreCutOnCharacterBoundsShortTextsShownAsTheyAre)
{
    std::string many, shown;
    for (int line = 0; line < 30; ++line)
        many += "line\n";
    for (size_t line = 0; line < boxLines; ++line)
        shown += "line\n";
    const std::string accented = std::string(boxColumns - 4, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9";
    const std::pair<std::string, std::string> cases[] = {
        {"Map could not be loaded.", "Map could not be loaded."},
        {"a\n\nb\n", "a\n\nb\n"},
        {std::string(boxColumns, 'w'), std::string(boxColumns, 'w')},
        {std::string(100000, 'w'), std::string(boxColumns - 3, 'w') + "..."},
        {accented, std::string(boxColumns - 4, 'a') + "..."},
        {many, shown + "..."},
    };
    for (const auto& [text, box] : cases)
        EXPECT_EQ(boxText(text), box) << text.substr(0, 40);
}

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
