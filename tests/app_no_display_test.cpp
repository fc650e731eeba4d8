// Plain logic with no window: starting where no window system can be reached, message box text, the
// frames-per-second counter driven by a fake tick source, screenshot names and files (their pixels and a
// failed save are checked on the real viewer's screen).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/app.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tests/support/temp_dir.h"
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
    std::string many;
    for (int line = 0; line < 30; ++line)
        many += "line\n";
    const std::string accented = std::string(boxColumns - 4, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9";
    const std::pair<std::string, std::string> cases[] = {
        {"Map could not be loaded.", "Map could not be loaded."},
        {"a\n\nb\n", "a\n\nb\n"},
        {std::string(boxColumns, 'w'), std::string(boxColumns, 'w')},
        {std::string(100000, 'w'), std::string(boxColumns - 3, 'w') + "..."},
        {accented, std::string(boxColumns - 4, 'a') + "..."},
        {many, many.substr(0, boxLines * 5) + "..."},  // five bytes a line
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

TEST(Screenshot, NewFilesNamedByTimeNeverOverwrittenAndAReplacedFileIsWhole)
{
    std::tm when{};
    when.tm_year = 126, when.tm_mon = 11, when.tm_mday = 7, when.tm_hour = 23, when.tm_min = 4, when.tm_sec = 5;
    EXPECT_EQ(screenshotName(when, 1) + screenshotName(when, 3),
              "kestra-2026-12-07-23-04-05.pngkestra-2026-12-07-23-04-05-3.png");

    TempDir dir;
    const std::string root = dir.path, pictures = root + "/pictures", kestra = pictures + "/Kestra/";
    const FramePixels frame{2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 252}};
    const std::time_t now = std::time(nullptr);
    std::string problem, first, second;
    first = saveScreenshot(frame, pictures, now, &problem);  // the folders are made
    second = saveScreenshot(frame, pictures, now, &problem);
    EXPECT_EQ(first + " " + second, kestra + screenshotName(*std::localtime(&now), 1) + " " + kestra +
                                        screenshotName(*std::localtime(&now), 2)) << problem;
    EXPECT_FALSE(writeWholeFile(first, {1}, true, &problem));
    EXPECT_EQ(problem, first + ": File exists");
    // Replaced in one step: the new bytes, and nothing else left beside them.
    ASSERT_TRUE(writeWholeFile(first, {'n', 'e', 'w'}, false, &problem)) << problem;
    std::ifstream replaced(first);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(replaced), {}), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(kestra), {}), 2);
}
