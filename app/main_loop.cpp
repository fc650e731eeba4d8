// The program's entry and only loop: screen size, window size rule, message pump, frame order and switches.
#include "app/app.h"

#include <cstdio>
#include <cstdlib>

#include "camera/camera.h"
#include "map/map.h"
#include "platform/platform.h"
#include "render/render.h"

ViewSettings viewSettings;
int screenWidth = 0, screenHeight = 0;
int windowWidth = 0, windowHeight = 0;
const char* const windowTitle = "Dalm's Kestra (March 24, 2015 @1:12a)";

static constexpr int framedWidth = 1280;  // pixels

void applySizeRule()
{
    if (viewSettings.fullscreen) {
        windowWidth = screenWidth;
        windowHeight = screenHeight;
        return;
    }
    windowWidth = framedWidth;
    // Single precision throughout, so that 1366 x 768 gives 719 as it always has.
    float shape = static_cast<float>(screenHeight) / static_cast<float>(screenWidth);
    windowHeight = static_cast<int>(shape * static_cast<float>(framedWidth));
}

void setSwapInterval(uint8_t enabled)
{
    // Looked up every time: each window has its own context, which may lack swap control.
    SwapIntervalProc swapInterval = getSwapIntervalProc();
    if (swapInterval)
        swapInterval(enabled ? 1 : 0);
}

// Closes the window and opens it in the other mode; false when the new window could not be opened.
static bool switchFullscreen()
{
    keyState[VK_F1] = 0;
    closeMainWindow();
    viewSettings.fullscreen = !viewSettings.fullscreen;
    applySizeRule();
    if (!openMainWindow(windowTitle, windowWidth, windowHeight, colourDepth, viewSettings.fullscreen))
        return false;
    setSwapInterval(viewSettings.vsync);
    return true;
}

bool applySwitches()
{
    if (keyState[VK_INSERT]) {
        viewSettings.showStats = !viewSettings.showStats;
        keyState[VK_INSERT] = 0;
    }
    if (keyState[VK_F1] && !switchFullscreen())
        return false;
    if (keyState[VK_F2]) {
        keyState[VK_F2] = 0;
        viewSettings.vsync = !viewSettings.vsync;
        setSwapInterval(viewSettings.vsync);
    }
    if (keyState[VK_F3]) {
        keyState[VK_F3] = 0;
        viewSettings.daylight = !viewSettings.daylight;
        applyFog();
        applyLight();
    }
    if (keyState[VK_F4]) {
        keyState[VK_F4] = 0;
        viewSettings.fogEnabled = !viewSettings.fogEnabled;
        applyFog();
        applyLight();
    }
    return true;
}

int programMain()
{
    std::string problem;
    if (!reachDisplay(&problem)) {
        std::fprintf(stderr, "no display: %s\n", problem.c_str());
        return 1;
    }
    screenWidth = getScreenWidth();
    screenHeight = getScreenHeight();
    applySizeRule();
    std::printf("%dx%d\n", windowWidth, windowHeight);
    std::fflush(stdout);
    if (!openMainWindow(windowTitle, windowWidth, windowHeight, colourDepth, viewSettings.fullscreen))
        return 1;
    setSwapInterval(viewSettings.vsync);
    // KESTRA_FIRST_FRAME_ONLY quits once a frame is shown.
    bool (*const draw)() = commandLine.reference ? drawFrameReference : drawFrame;
    const bool firstFrameOnly = std::getenv("KESTRA_FIRST_FRAME_ONLY") != nullptr;

    if (commandLine.timedemo)
        startTimedemo();

    Msg msg;
    // A key pressed and released between two frames would never be seen by the frame's key
    // handling, so such a release waits, with every message after it, until one frame has passed.
    KeyState pressedSinceFrame{};
    Msg heldRelease{};
    bool releaseHeld = false;
    for (;;) {
        // Every waiting message is handled before the next frame.
        if (!releaseHeld && peekMessage(&msg)) {
            if (msg.message == WM_QUIT)
                break;
            if (msg.message == WM_KEYUP && msg.wParam < 256 && pressedSinceFrame[msg.wParam]) {
                heldRelease = msg;
                releaseHeld = true;
                continue;
            }
            if (msg.message == WM_KEYDOWN && msg.wParam < 256)
                pressedSinceFrame[msg.wParam] = 1;
            dispatchMessage(&msg);
            continue;
        }
        if (viewSettings.active && !draw())
            break;
        if (keyState[VK_ESCAPE])
            break;
        swapBuffers(hDC);
        // The timed demo plays its route instead of the user's keys.
        if (commandLine.timedemo && !timedemoPresented())
            break;
        if (firstFrameOnly && viewSettings.active)
            break;
        followCityMap(getTickCount());
        updateCamera();
        if (!applySwitches())
            return 1;
        if (commandLine.timedemo)
            moveCamera();  // the mouse plays no part in the route
        else
            advanceCamera();
        pressedSinceFrame.fill(0);
        if (releaseHeld) {
            dispatchMessage(&heldRelease);
            releaseHeld = false;
        }
    }
    closeMainWindow();
    if (commandLine.timedemo)
        std::printf("%s%s\n", timedemoReport(timedemoFrameSeconds).c_str(),
                    commandLine.reference ? ", reference renderer" : "");
    // The quit message carries the exit code; Escape and a failed frame leave the last key message
    // in msg, whose wParam means nothing, so they end with 0.
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}
