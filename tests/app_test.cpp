// The application shell: the window procedure's records, the main window's life, the size rule and the
// function-key switches, on a headless display.
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

// Takes every waiting message; the exit code of the quit request, which comes last, or -1.
intptr_t takeQuit()
{
    Msg msg;
    while (peekMessage(&msg))
        if (msg.message == WM_QUIT)
            return static_cast<intptr_t>(msg.wParam);
    return -1;
}

auto fields(const ViewSettings& v)
{
    return std::tuple(v.showStats, v.daylight, v.fogEnabled, v.vsync, v.fullscreen, v.active);
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
    windowProc(nullptr, WM_KEYDOWN, 'W', 0);
    EXPECT_EQ(keyState['W'], 1);
    windowProc(nullptr, WM_KEYUP, 'W', 0);
    windowProc(nullptr, WM_KEYDOWN, 0x1FF, 0);  // outside the table: touches nothing
    windowProc(nullptr, WM_SYSKEYDOWN, VK_F10, 0);  // system keys are not recorded
    EXPECT_EQ(keyState['W'] + keyState[0xFF] + keyState[VK_F10], 0);

    // Only the right button is read (for boost); the others must not move it.
    const std::tuple<uint32_t, int> buttons[] = {{WM_RBUTTONDOWN, 1}, {WM_LBUTTONUP, 1}, {WM_MBUTTONUP, 1},
                                                 {WM_RBUTTONUP, 0}, {WM_LBUTTONDOWN, 0}, {WM_MBUTTONDOWN, 0}};
    for (const auto& [message, right] : buttons) {
        windowProc(nullptr, message, 0, 0);
        EXPECT_EQ(mouseButtons.right, right) << message;
    }

    // Only minimising stops the frames, not a lost focus.
    const std::tuple<uintptr_t, int> activations[] = {
        {WA_INACTIVE, 1}, {WA_INACTIVE | (uintptr_t{1} << 16), 0}, {WA_ACTIVE, 1}};
    for (const auto& [wParam, active] : activations) {
        windowProc(nullptr, WM_ACTIVATE, wParam, 0);
        EXPECT_EQ(viewSettings.active, active) << wParam;
    }

    // The close request, the system menu's close and Alt+F4 quit with 0; F4 alone is a switch, not recorded here.
    registerWindowClass("OpenGL", windowProc);
    const std::tuple<uint32_t, uintptr_t, intptr_t, intptr_t> closings[] = {{WM_CLOSE, 0, 0, 0},
        {WM_SYSCOMMAND, SC_CLOSE, 0, 0}, {WM_SYSKEYDOWN, VK_F4, intptr_t{1} << 29, 0}, {WM_SYSKEYDOWN, VK_F4, 0, -1}};
    for (const auto& [message, wParam, lParam, quit] : closings) {
        windowProc(nullptr, message, wParam, lParam);
        EXPECT_EQ(takeQuit(), quit) << message << " " << wParam;
    }
    EXPECT_EQ(keyState[VK_F4], 0);
    unregisterWindowClass("OpenGL");
}

TEST_F(App, EachSwitchKeyTogglesItsOwnSettingOncePerPressAndF3AndF4ReapplyFogAndLight)
{
    ASSERT_TRUE(openTestContext(64, 64));
    using V = ViewSettings;
    const struct {
        uint8_t key;
        uint8_t V::*setting;
        float fogRed;  // red of the fog colour after the switch: 1 where fog and light were left alone
    } switches[] = {{VK_INSERT, &V::showStats, 1}, {VK_F2, &V::vsync, 1}, {VK_F3, &V::daylight, 0},
                    {VK_F4, &V::fogEnabled, 0.77f}};
    for (const auto& s : switches) {
        SCOPED_TRACE(+s.key);
        viewSettings = ViewSettings{};
        const GLfloat red[4] = {1, 0, 0, 1};
        glFogfv(GL_FOG_COLOR, red);
        glDisable(GL_FOG);
        glDisable(GL_LIGHTING);
        keyState[s.key] = keyState['W'] = 1;
        ASSERT_TRUE(applySwitches());
        ASSERT_TRUE(applySwitches());  // the key was taken: no second toggle
        ViewSettings want;
        want.*s.setting = 0;
        EXPECT_EQ(fields(viewSettings), fields(want));
        EXPECT_EQ(std::tuple(keyState[s.key], keyState['W']), std::tuple(0, 1));
        GLfloat fog[4] = {};
        glGetFloatv(GL_FOG_COLOR, fog);
        EXPECT_EQ(fog[0], s.fogRed);
        EXPECT_EQ(glIsEnabled(GL_FOG) && glIsEnabled(GL_LIGHTING), s.fogRed != 1);
    }
}

TEST_F(App, MainWindowHasACurrentContextAndF1ReopensItInTheOtherModeWithTheSizeRule)
{
    std::tie(screenWidth, screenHeight) = std::tuple(1366, 768);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(openMainWindow(windowTitle, screenWidth, screenHeight, colourDepth, true));
    // Framed: 1280 wide with the screen's shape, 719.65 truncated in single precision.
    for (auto [fullscreen, width, height] : {std::tuple(0, 1280, 719), {1, 1366, 768}}) {
        keyState[VK_F1] = 1;
        ASSERT_TRUE(applySwitches());
        EXPECT_EQ(keyState[VK_F1], 0);
        EXPECT_EQ(std::tuple(viewSettings.fullscreen, windowWidth, windowHeight), std::tuple(fullscreen, width, height));
    }
    // The new context is current and sizes reach its viewport, the width as an unsigned word.
    GLint viewport[4] = {}, maxSize[2] = {};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxSize);
    windowProc(nullptr, WM_SIZE, 0, 0xFFFF | (200 << 16));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(std::tuple(viewport[2], viewport[3]), std::tuple(std::min(0xFFFF, maxSize[0]), 200));
    closeMainWindow();
    EXPECT_TRUE(!hWnd && !hDC && !hRC);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
