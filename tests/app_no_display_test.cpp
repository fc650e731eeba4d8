// Starting the viewer where no window system can be reached.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/app.h"

TEST(NoDisplay, StartEndsWithOneAndOneMessageBeforeAnyOutput)
{
    // An unknown driver fails to start; with none asked for, SDL's fallback to a headless driver is refused.
    for (const char* driver : {"no-such-driver", ""}) {
        SCOPED_TRACE(driver);
        if (*driver)
            setenv("SDL_VIDEODRIVER", driver, 1);
        else
            unsetenv("SDL_VIDEODRIVER");
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int code = programMain();
        std::string err = testing::internal::GetCapturedStderr();
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(code, 1);
        // The last line; a library may complain on a line of its own before it.
        const size_t at = err.find("no display: ");
        EXPECT_TRUE(at != std::string::npos && (at == 0 || err[at - 1] == '\n') && err.find('\n', at) == err.size() - 1)
            << err;
        EXPECT_EQ(out, "");
        EXPECT_EQ(hWnd, nullptr);
    }
}
