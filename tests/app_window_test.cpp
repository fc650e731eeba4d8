// The window procedure's records, and opening and closing the main window on a headless display.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/app.h"
#include "platform/platform.h"
#include "render/render.h"
#include "tests/support/gl_context.h"

namespace {

constexpr intptr_t altHeld = intptr_t{1} << 29;

// True when a quit request is waiting, which is then taken.
bool quitRequested(uintptr_t* code)
{
    Msg msg;
    while (peekMessage(&msg)) {
        if (msg.message == WM_QUIT) {
            *code = msg.wParam;
            return true;
        }
    }
    return false;
}

// Lines of captured stderr under the window's own captions ("ERROR", "SHUTDOWN ERROR").
std::string windowMessages(const std::string& err)
{
    std::string found;
    size_t start = 0;
    while (start < err.size()) {
        size_t end = err.find('\n', start);
        std::string line = err.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
        if (line.rfind("ERROR: ", 0) == 0 || line.rfind("SHUTDOWN ERROR: ", 0) == 0)
            found += line;
        start = end == std::string::npos ? err.size() : end + 1;
    }
    return found;
}

intptr_t sizeParam(unsigned width, unsigned height)
{
    return static_cast<intptr_t>((width & 0xFFFF) | ((height & 0xFFFF) << 16));
}

class Window : public testing::Test {
protected:
    void SetUp() override
    {
        viewSettings = ViewSettings{};
        keyState.fill(0);
        mouseButtons = MouseButtons{};
        uintptr_t code;
        quitRequested(&code);
        ASSERT_EQ(chdir(KESTRA_RUN_DIR), 0);
    }
    void TearDown() override
    {
        closeTestContext();
        if (hWnd)
            closeMainWindow();
    }
};

TEST_F(Window, KeysAreHeldFromDownToUpThroughAutoRepeat)
{
    EXPECT_EQ(windowProc(nullptr, WM_KEYDOWN, 'W', 0), 0);
    EXPECT_EQ(keyState['W'], 1);
    windowProc(nullptr, WM_KEYDOWN, 'W', intptr_t{1} << 30);  // repeat
    EXPECT_EQ(keyState['W'], 1);
    windowProc(nullptr, WM_KEYDOWN, VK_HOME, 0);
    windowProc(nullptr, WM_KEYUP, 'W', 0);
    EXPECT_EQ(keyState['W'], 0);
    EXPECT_EQ(keyState[VK_HOME], 1);
    // A code outside the table touches nothing.
    windowProc(nullptr, WM_KEYDOWN, 0x1FF, 0);
    EXPECT_EQ(keyState[0xFF], 0);
}

TEST_F(Window, SystemKeysAreNotRecorded)
{
    windowProc(nullptr, WM_SYSKEYDOWN, VK_F10, 0);
    windowProc(nullptr, WM_SYSKEYDOWN, 'W', altHeld);
    EXPECT_EQ(keyState[VK_F10], 0);
    EXPECT_EQ(keyState['W'], 0);
    // A key released while Alt is held stays down.
    windowProc(nullptr, WM_KEYDOWN, 'S', 0);
    windowProc(nullptr, WM_SYSKEYUP, 'S', altHeld);
    EXPECT_EQ(keyState['S'], 1);
}

TEST_F(Window, MouseButtonsAreHeldFromDownToUp)
{
    windowProc(nullptr, WM_LBUTTONDOWN, 0, 0);
    windowProc(nullptr, WM_RBUTTONDOWN, 0, 0);
    windowProc(nullptr, WM_MBUTTONDOWN, 0, 0);
    EXPECT_EQ(mouseButtons.left + mouseButtons.right + mouseButtons.middle, 3);
    windowProc(nullptr, WM_RBUTTONUP, 0, 0);
    EXPECT_EQ(mouseButtons.right, 0);
    EXPECT_EQ(mouseButtons.left, 1);
    windowProc(nullptr, WM_LBUTTONUP, 0, 0);
    windowProc(nullptr, WM_MBUTTONUP, 0, 0);
    EXPECT_EQ(mouseButtons.left + mouseButtons.middle, 0);
}

TEST_F(Window, OnlyMinimisingStopsTheFrames)
{
    windowProc(nullptr, WM_ACTIVATE, WA_INACTIVE, 0);  // focus lost, not minimised
    EXPECT_EQ(viewSettings.active, 1);
    windowProc(nullptr, WM_ACTIVATE, WA_INACTIVE | (uintptr_t{1} << 16), 0);
    EXPECT_EQ(viewSettings.active, 0);
    windowProc(nullptr, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(viewSettings.active, 1);
}

TEST_F(Window, CloseRequestsQuitWithZero)
{
    uintptr_t code = 99;
    EXPECT_EQ(windowProc(nullptr, WM_CLOSE, 0, 0), 0);
    ASSERT_TRUE(quitRequested(&code));
    EXPECT_EQ(code, 0u);

    // The screen saver is refused; the system menu's close and Alt+F4 reach WM_CLOSE.
    EXPECT_EQ(windowProc(nullptr, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(windowProc(nullptr, WM_SYSCOMMAND, SC_MONITORPOWER, 0), 0);
    EXPECT_FALSE(quitRequested(&code));
    registerWindowClass("OpenGL", windowProc);
    windowProc(nullptr, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(quitRequested(&code));
    windowProc(nullptr, WM_SYSKEYDOWN, VK_F4, altHeld);
    EXPECT_TRUE(quitRequested(&code));
    EXPECT_EQ(keyState[VK_F4], 0);
    windowProc(nullptr, WM_SYSKEYDOWN, VK_F4, 0);  // F4 alone is a switch, not a close
    EXPECT_FALSE(quitRequested(&code));
    unregisterWindowClass("OpenGL");
}

TEST_F(Window, SizeReachesTheViewportAsUnsignedWords)
{
    ASSERT_TRUE(openTestContext(64, 64));
    resizeScene(40, 30);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] != 40)
        GTEST_SKIP() << "resizeScene does not set the viewport yet";

    windowProc(nullptr, WM_SIZE, 0, sizeParam(640, 0));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);  // a height of 0 arrives as 0 and is drawn as 1

    GLint maxSize[2] = {};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxSize);
    windowProc(nullptr, WM_SIZE, 0, sizeParam(0xFFFF, 200));
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], std::min(0xFFFF, maxSize[0]));  // not -1
    EXPECT_EQ(viewport[3], 200);
    EXPECT_EQ(windowWidth, 0);  // a resize changes only the view
}

TEST_F(Window, WindowIsCentredByItsClientSize)
{
    screenWidth = 1920, screenHeight = 1080, windowWidth = 1280, windowHeight = 720;
    int x = -1, y = -1;
    chooseWindowPosition(false, &x, &y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 180);
    screenWidth = 1366, screenHeight = 768, windowWidth = 1280, windowHeight = 719;
    chooseWindowPosition(false, &x, &y);
    EXPECT_EQ(x, 43);
    EXPECT_EQ(y, 24);
    chooseWindowPosition(true, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    // A window larger than the screen starts above and left of it.
    screenWidth = 1024, screenHeight = 768, windowWidth = 1280, windowHeight = 960;
    chooseWindowPosition(false, &x, &y);
    EXPECT_EQ(x, -128);
    EXPECT_EQ(y, -96);
}

TEST_F(Window, OpeningMakesACurrentContextAndClosingReleasesEverything)
{
    screenWidth = getScreenWidth(), screenHeight = getScreenHeight();
    windowWidth = 320, windowHeight = 200;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(openMainWindow(windowTitle, 320, 200, colourDepth, false));
    EXPECT_EQ(viewSettings.fullscreen, 0);
    ASSERT_NE(hWnd, nullptr);
    ASSERT_NE(hDC, nullptr);
    ASSERT_NE(hRC, nullptr);
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    closeMainWindow();
    EXPECT_EQ(hWnd, nullptr);
    EXPECT_EQ(hDC, nullptr);
    EXPECT_EQ(hRC, nullptr);
    EXPECT_EQ(windowMessages(testing::internal::GetCapturedStderr()), "");

    // A second closing finds no handles to release; only the class is already gone.
    testing::internal::CaptureStderr();
    closeMainWindow();
    EXPECT_EQ(windowMessages(testing::internal::GetCapturedStderr()), "SHUTDOWN ERROR: Could Not Unregister Class.\n");
}

TEST_F(Window, ColourDepthComesFromTheFirstOpening)
{
    screenWidth = getScreenWidth(), screenHeight = getScreenHeight();
    uint8_t first = pixelFormat.built ? pixelFormat.colourBits : 24;
    ASSERT_TRUE(openMainWindow(windowTitle, 320, 200, 24, false));
    EXPECT_EQ(pixelFormat.colourBits, first);
    closeMainWindow();
    ASSERT_TRUE(openMainWindow(windowTitle, 320, 200, 16, true));
    EXPECT_EQ(pixelFormat.colourBits, first);
    closeMainWindow();
}

TEST_F(Window, FailedCreationReleasesWithoutShutdownErrors)
{
    // Larger than any GL surface the driver can make.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(openMainWindow(windowTitle, 100000, 100000, colourDepth, false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: Window Creation Error.\n");
    EXPECT_EQ(hWnd, nullptr);
    EXPECT_EQ(hDC, nullptr);
    EXPECT_EQ(hRC, nullptr);
}

}  // namespace
