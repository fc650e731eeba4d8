// The loop's pieces: the window size rule, the function-key switches, the swap control and programMain.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/app.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tests/support/gl_context.h"

namespace {

void drainMessages()
{
    Msg msg;
    while (peekMessage(&msg)) {
    }
}

class Loop : public testing::Test {
protected:
    void SetUp() override
    {
        viewSettings = ViewSettings{};
        keyState.fill(0);
        mouseButtons = MouseButtons{};
        drainMessages();
        // The window's scene loads its files from the run folder, as the viewer does.
        ASSERT_EQ(chdir(KESTRA_RUN_DIR), 0);
    }
    void TearDown() override
    {
        closeTestContext();
        if (hWnd)
            closeMainWindow();
        drainMessages();
    }
};

struct SizeCase {
    int screenWidth, screenHeight, width, height;
};

TEST_F(Loop, FramedWindowIs1280WideWithTheScreensShapeTruncatedInSinglePrecision)
{
    const SizeCase cases[] = {
        {1920, 1080, 1280, 720},
        {1366, 768, 1280, 719},   // 719.65 truncated
        {1280, 1024, 1280, 1024},
        {1024, 768, 1280, 960},   // larger than the screen
    };
    viewSettings.fullscreen = 0;
    for (const SizeCase& c : cases) {
        screenWidth = c.screenWidth;
        screenHeight = c.screenHeight;
        applySizeRule();
        EXPECT_EQ(windowWidth, c.width) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(windowHeight, c.height) << c.screenWidth << "x" << c.screenHeight;
    }
}

TEST_F(Loop, FullScreenWindowIsTheScreen)
{
    screenWidth = 1366;
    screenHeight = 768;
    viewSettings.fullscreen = 1;
    applySizeRule();
    EXPECT_EQ(windowWidth, 1366);
    EXPECT_EQ(windowHeight, 768);
}

TEST_F(Loop, EachSwitchTogglesOnceAndClearsItsKey)
{
    keyState[VK_INSERT] = keyState[VK_F2] = keyState[VK_F3] = keyState[VK_F4] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(viewSettings.showStats, 0);
    EXPECT_EQ(viewSettings.vsync, 0);
    EXPECT_EQ(viewSettings.daylight, 0);
    EXPECT_EQ(viewSettings.fogEnabled, 0);
    EXPECT_EQ(keyState[VK_INSERT] | keyState[VK_F2] | keyState[VK_F3] | keyState[VK_F4], 0);

    // A pass without new key-down messages changes nothing.
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(viewSettings.showStats, 0);
    EXPECT_EQ(viewSettings.vsync, 0);
    EXPECT_EQ(viewSettings.daylight, 0);
    EXPECT_EQ(viewSettings.fogEnabled, 0);

    // Auto-repeat sets the flag again, and the switch flips back.
    windowProc(nullptr, WM_KEYDOWN, VK_INSERT, 0);
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(viewSettings.showStats, 1);
    EXPECT_EQ(viewSettings.fullscreen, 1);
}

TEST_F(Loop, SwitchesLeaveHeldMovementKeysAlone)
{
    keyState['W'] = keyState[VK_ESCAPE] = keyState[VK_HOME] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(keyState['W'], 1);
    EXPECT_EQ(keyState[VK_ESCAPE], 1);
    EXPECT_EQ(keyState[VK_HOME], 1);
}

TEST_F(Loop, SwapControlMayBeMissing)
{
    // No context at all: the lookup finds nothing and nothing happens.
    setSwapInterval(1);
    keyState[VK_F2] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(viewSettings.vsync, 0);

    // A context that may or may not offer it: either way no failure surfaces.
    ASSERT_TRUE(openTestContext(64, 64));
    testing::internal::CaptureStderr();
    setSwapInterval(0);
    setSwapInterval(1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(Loop, DayAndFogSwitchesReapplyFogAndLight)
{
    ASSERT_TRUE(openTestContext(64, 64));
    glDisable(GL_FOG);
    applyFog();
    if (!glIsEnabled(GL_FOG))
        GTEST_SKIP() << "applyFog does not set fog yet";

    GLfloat dayColour[4] = {};
    glGetFloatv(GL_FOG_COLOR, dayColour);
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    keyState[VK_F3] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    GLfloat nightColour[4] = {};
    glGetFloatv(GL_FOG_COLOR, nightColour);
    EXPECT_NE(dayColour[0] + dayColour[1] + dayColour[2], nightColour[0] + nightColour[1] + nightColour[2]);

    // Switching fog off still runs applyFog, which always enables it.
    glDisable(GL_FOG);
    keyState[VK_F4] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(viewSettings.fogEnabled, 0);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
}

TEST_F(Loop, F1ReopensInTheOtherModeWithTheStartUpSizeRule)
{
    screenWidth = getScreenWidth();
    screenHeight = getScreenHeight();
    ASSERT_GT(screenWidth, 0);
    applySizeRule();
    ASSERT_TRUE(openMainWindow(windowTitle, windowWidth, windowHeight, colourDepth, true));

    keyState[VK_F1] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(keyState[VK_F1], 0);
    EXPECT_EQ(viewSettings.fullscreen, 0);
    EXPECT_EQ(windowWidth, 1280);
    EXPECT_EQ(windowHeight, static_cast<int>(static_cast<float>(screenHeight) / screenWidth * 1280.0f));
    EXPECT_NE(hWnd, nullptr);
    EXPECT_NE(hRC, nullptr);

    keyState[VK_F1] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(viewSettings.fullscreen, 1);
    EXPECT_EQ(windowWidth, screenWidth);
    EXPECT_EQ(windowHeight, screenHeight);
    EXPECT_NE(hRC, nullptr);
    closeMainWindow();
}

TEST_F(Loop, ProgramReturnsTheQuitCodeAndPrintsItsSizeOnce)
{
    postQuitMessage(7);
    testing::internal::CaptureStdout();
    int code = programMain();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, 7);
    EXPECT_EQ(out, std::to_string(getScreenWidth()) + "x" + std::to_string(getScreenHeight()) + "\n");
    EXPECT_EQ(hWnd, nullptr);
    EXPECT_EQ(hDC, nullptr);
    EXPECT_EQ(hRC, nullptr);
}

TEST_F(Loop, EscapeEndsTheProgramWithZero)
{
    windowProc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
    testing::internal::CaptureStdout();
    int code = programMain();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(hWnd, nullptr);
}

}  // namespace
