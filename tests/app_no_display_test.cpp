// Starting the viewer where no window system can be reached.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/app.h"

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
