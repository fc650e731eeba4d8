// Starting the viewer where no window system can be reached.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/app.h"

TEST(NoDisplay, StartEndsWithZeroAfterOneMessageAndNoShutdownErrors)
{
    // Set before anything starts the window system in this process.
    setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int code = programMain();
    std::string err = testing::internal::GetCapturedStderr();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(err, "ERROR: Failed To Register The Window Class.\n");
    EXPECT_EQ(out, "0x0\n");
    EXPECT_EQ(hWnd, nullptr);
}
