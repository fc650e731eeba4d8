// The application shell: the window procedure's records, the main window's life, the size rule, the
// function-key switches and programMain, on a headless display.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <tuple>

#include "app/app.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tests/support/gl_context.h"

namespace {

constexpr intptr_t altHeld = intptr_t{1} << 29;

// Takes every waiting message; the exit code of the quit request, which comes last, or -1.
intptr_t takeQuit()
{
    Msg msg;
    while (peekMessage(&msg))
        if (msg.message == WM_QUIT)
            return static_cast<intptr_t>(msg.wParam);
    return -1;
}

class App : public testing::Test {
protected:
    void SetUp() override
    {
        viewSettings = ViewSettings{};
        keyState.fill(0);
        takeQuit();
        ASSERT_EQ(chdir(KESTRA_RUN_DIR), 0);  // the window's scene loads its files from here
    }
    void TearDown() override
    {
        closeTestContext();
        if (hWnd)
            closeMainWindow();
    }
};

TEST_F(App, ProcedureRecordsKeysButtonsAndMinimisingAndQuitsOnlyOnClose)
{
    EXPECT_EQ(windowProc(nullptr, WM_KEYDOWN, 'W', 0), 0);
    windowProc(nullptr, WM_KEYDOWN, 'W', intptr_t{1} << 30);  // auto-repeat
    EXPECT_EQ(keyState['W'], 1);
    windowProc(nullptr, WM_KEYUP, 'W', 0);
    EXPECT_EQ(keyState['W'], 0);
    windowProc(nullptr, WM_KEYDOWN, 0x1FF, 0);  // outside the table: touches nothing
    EXPECT_EQ(keyState[0xFF], 0);

    windowProc(nullptr, WM_SYSKEYDOWN, VK_F10, 0);
    windowProc(nullptr, WM_SYSKEYDOWN, 'W', altHeld);
    EXPECT_EQ(keyState[VK_F10] + keyState['W'], 0);
    windowProc(nullptr, WM_KEYDOWN, 'S', 0);
    windowProc(nullptr, WM_SYSKEYUP, 'S', altHeld);  // released while Alt is held: stays down
    EXPECT_EQ(keyState['S'], 1);

    const std::tuple<uint32_t, int, int, int> buttons[] = {{WM_LBUTTONDOWN, 1, 0, 0}, {WM_RBUTTONDOWN, 1, 1, 0},
        {WM_MBUTTONDOWN, 1, 1, 1}, {WM_RBUTTONUP, 1, 0, 1}, {WM_LBUTTONUP, 0, 0, 1}, {WM_MBUTTONUP, 0, 0, 0}};
    for (const auto& [message, left, right, middle] : buttons) {
        windowProc(nullptr, message, 0, 0);
        EXPECT_EQ(std::tuple(mouseButtons.left, mouseButtons.right, mouseButtons.middle), std::tuple(left, right, middle));
    }

    windowProc(nullptr, WM_ACTIVATE, WA_INACTIVE, 0);  // focus lost, not minimised
    EXPECT_EQ(viewSettings.active, 1);
    windowProc(nullptr, WM_ACTIVATE, WA_INACTIVE | (uintptr_t{1} << 16), 0);
    EXPECT_EQ(viewSettings.active, 0);
    windowProc(nullptr, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(viewSettings.active, 1);

    EXPECT_EQ(windowProc(nullptr, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(takeQuit(), 0);
    // The screen saver is refused; the system menu's close and Alt+F4 reach WM_CLOSE; F4 alone is a switch.
    EXPECT_EQ(windowProc(nullptr, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(windowProc(nullptr, WM_SYSCOMMAND, SC_MONITORPOWER, 0), 0);
    EXPECT_EQ(takeQuit(), -1);
    registerWindowClass("OpenGL", windowProc);
    windowProc(nullptr, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(takeQuit(), 0);
    windowProc(nullptr, WM_SYSKEYDOWN, VK_F4, altHeld);
    EXPECT_EQ(takeQuit(), 0);
    windowProc(nullptr, WM_SYSKEYDOWN, VK_F4, 0);
    EXPECT_EQ(takeQuit(), -1);
    EXPECT_EQ(keyState[VK_F4], 0);
    unregisterWindowClass("OpenGL");
}

TEST_F(App, SizeRuleAndPositionCentreA1280WideWindowOfTheScreensShape)
{
    const struct {
        bool fullscreen;
        int screenWidth, screenHeight, width, height, x, y;
    } cases[] = {
        {false, 1920, 1080, 1280, 720, 320, 180},
        {false, 1366, 768, 1280, 719, 43, 24},  // 719.65 truncated in single precision; 49 / 2 truncated
        {false, 1280, 1024, 1280, 1024, 0, 0},
        {false, 1024, 768, 1280, 960, -128, -96},  // larger than the screen
        {true, 1366, 768, 1366, 768, 0, 0},
    };
    for (const auto& c : cases) {
        viewSettings.fullscreen = c.fullscreen;
        std::tie(screenWidth, screenHeight) = std::tuple(c.screenWidth, c.screenHeight);
        applySizeRule();
        int x = -1, y = -1;
        chooseWindowPosition(c.fullscreen, &x, &y);
        EXPECT_EQ(std::tuple(windowWidth, windowHeight, x, y), std::tuple(c.width, c.height, c.x, c.y))
            << c.screenWidth << "x" << c.screenHeight;
    }
}

TEST_F(App, OpeningGivesAResizableContextClosingLeavesNoHandlesAndTheFirstColourDepthStays)
{
    screenWidth = getScreenWidth(), screenHeight = getScreenHeight();
    const uint8_t first = pixelFormat.built ? pixelFormat.colourBits : 24;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(openMainWindow(windowTitle, 320, 200, 24, false));
    EXPECT_TRUE(hWnd && hDC && hRC);
    GLint viewport[4] = {}, maxSize[2] = {};  // the context is current and sizes reach its viewport
    windowProc(nullptr, WM_SIZE, 0, 640);  // height 0 arrives as 0 and is drawn as 1
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::tuple(viewport[2], viewport[3]), std::tuple(640, 1));
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxSize);
    windowProc(nullptr, WM_SIZE, 0, 0xFFFF | (200 << 16));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::tuple(viewport[2], viewport[3]), std::tuple(std::min(0xFFFF, maxSize[0]), 200));  // not -1
    closeMainWindow();
    EXPECT_TRUE(!hWnd && !hDC && !hRC);
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("ERROR: "), std::string::npos);

    testing::internal::CaptureStderr();  // a second closing finds only the class already gone
    closeMainWindow();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "SHUTDOWN ERROR: Could Not Unregister Class.\n");

    ASSERT_TRUE(openMainWindow(windowTitle, 320, 200, 16, true));
    EXPECT_EQ(pixelFormat.colourBits, first);
    closeMainWindow();

    testing::internal::CaptureStderr();  // larger than any surface: released without shutdown errors
    EXPECT_FALSE(openMainWindow(windowTitle, 100000, 100000, colourDepth, false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: Window Creation Error.\n");
    EXPECT_TRUE(!hWnd && !hDC && !hRC);
}

TEST_F(App, EachSwitchTogglesOnceClearsOnlyItsKeyAndReappliesFogAndLight)
{
    setSwapInterval(1);  // no context, so no swap control to call
    ASSERT_TRUE(openTestContext(64, 64));
    const GLfloat red[4] = {1, 0, 0, 1};
    GLfloat night[4] = {};
    glFogfv(GL_FOG_COLOR, red);
    glDisable(GL_LIGHTING);
    keyState[VK_INSERT] = keyState[VK_F2] = keyState[VK_F3] = keyState['W'] = keyState[VK_ESCAPE] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_TRUE(glIsEnabled(GL_FOG) && glIsEnabled(GL_LIGHTING));
    glGetFloatv(GL_FOG_COLOR, night);
    EXPECT_EQ(night[0] + night[1] + night[2], 0.0f);  // black fog by night
    EXPECT_EQ(keyState[VK_INSERT] + keyState[VK_F2] + keyState[VK_F3], 0);
    EXPECT_EQ(keyState['W'] + keyState[VK_ESCAPE], 2);

    glDisable(GL_FOG);
    keyState[VK_F4] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_TRUE(glIsEnabled(GL_FOG));  // switching fog off still runs applyFog, which enables it
    ASSERT_TRUE(applySwitches());  // no new key-down, no change
    const auto& v = viewSettings;
    EXPECT_EQ(std::tuple(v.showStats, v.vsync, v.daylight, v.fogEnabled, v.fullscreen), std::tuple(0, 0, 0, 0, 1));

    windowProc(nullptr, WM_KEYDOWN, VK_INSERT, 0);  // auto-repeat flips it back
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(viewSettings.showStats, 1);
}

TEST_F(App, F1ReopensInTheOtherModeWithTheStartUpSizeRule)
{
    screenWidth = getScreenWidth(), screenHeight = getScreenHeight();
    applySizeRule();
    ASSERT_TRUE(openMainWindow(windowTitle, windowWidth, windowHeight, colourDepth, true));
    keyState[VK_F1] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(keyState[VK_F1], 0);
    const int framedHeight = static_cast<int>(static_cast<float>(screenHeight) / screenWidth * 1280.0f);
    EXPECT_EQ(std::tuple(viewSettings.fullscreen, windowWidth, windowHeight), std::tuple(0, 1280, framedHeight));
    keyState[VK_F1] = 1;
    ASSERT_TRUE(applySwitches());
    EXPECT_EQ(std::tuple(viewSettings.fullscreen, windowWidth, windowHeight), std::tuple(1, screenWidth, screenHeight));
}

TEST_F(App, ProgramPrintsItsSizeOnceAndReturnsTheQuitCodeOrZeroAfterEscape)
{
    postQuitMessage(7);
    testing::internal::CaptureStdout();
    EXPECT_EQ(programMain(), 7);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::to_string(getScreenWidth()) + "x" + std::to_string(getScreenHeight()) + "\n");
    EXPECT_TRUE(!hWnd && !hDC && !hRC);

    windowProc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(programMain(), 0);
}

}  // namespace
