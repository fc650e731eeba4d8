// Starting the viewer where no window system can be reached.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/app.h"
#include "platform/platform.h"

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
