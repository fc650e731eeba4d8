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
    if (commandLine.width) {
        windowWidth = commandLine.width;
        windowHeight = commandLine.height;
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
    if (keyState[VK_F12] || keyState[VK_SNAPSHOT]) {
        keyState[VK_F12] = keyState[VK_SNAPSHOT] = 0;
        screenshotWanted = true;
    }
    return true;
}

// One step is 1000 units: milliseconds count steadyStepsPerSecond units each.
static constexpr uint64_t stepUnits = 1000;

SteadyClock startSteadyClock(uint32_t tick)
{
    return SteadyClock{tick, stepUnits / 2};
}

int steadySteps(SteadyClock* clock, uint32_t tick)
{
    // Unsigned subtraction spans the tick count's wrap.
    const uint64_t units = uint64_t{tick - clock->lastTick} * steadyStepsPerSecond + clock->carried;
    clock->lastTick = tick;
    if (units / stepUnits > mostSteadySteps) {
        clock->carried = 0;
        return mostSteadySteps;
    }
    clock->carried = static_cast<uint32_t>(units % stepUnits);
    return static_cast<int>(units / stepUnits);
}

namespace {
// What the environment and the command line change in the loop, read once at start.
struct LoopHooks {
    bool (*draw)() = drawFrame;   // KESTRA_RENDERER=reference: the plain per-tile loop
    bool firstFrameOnly = false;  // KESTRA_FIRST_FRAME_ONLY: quit once a frame is shown
    bool timedemo = false;        // --timedemo: the route drives; its figures are printed at the end
    bool steady = false;          // --steady: camera steps by the clock, not one a frame
};
}  // namespace

static LoopHooks readLoopHooks()
{
    LoopHooks hooks;
    // KESTRA_RENDERER was checked with the command line.
    if (commandLine.reference)
        hooks.draw = drawFrameReference;
    hooks.firstFrameOnly = std::getenv("KESTRA_FIRST_FRAME_ONLY") != nullptr;
    hooks.timedemo = commandLine.timedemo;
    hooks.steady = commandLine.steady;
    return hooks;
}

// After a frame is presented: false when the run is over (the demo's last frame, or the first frame shown).
static bool goOnAfterFrame(const LoopHooks& hooks)
{
    if (hooks.timedemo && !timedemoPresented())
        return false;
    return !(hooks.firstFrameOnly && viewSettings.active);
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
    if (commandLine.width > screenWidth || commandLine.height > screenHeight)
        return usageError("--size " + std::to_string(commandLine.width) + "x" + std::to_string(commandLine.height) +
                          " is larger than the screen (" + std::to_string(screenWidth) + "x" +
                          std::to_string(screenHeight) + ")");
    applySizeRule();
    writeOut(std::to_string(windowWidth) + "x" + std::to_string(windowHeight) + "\n");
    if (!openMainWindow(windowTitle, windowWidth, windowHeight, colourDepth, viewSettings.fullscreen))
        return 1;
    setSwapInterval(viewSettings.vsync);
    const LoopHooks hooks = readLoopHooks();
    if (hooks.timedemo)
        startTimedemo();
    SteadyClock clock = startSteadyClock(getTickCount());

    // --screenshot: the run ends with the first presented frame saved (0) or not (1).
    const bool firstFrameFile = !commandLine.screenshotFile.empty();
    int status = -1;
    Msg msg;
    for (;;) {
        // Every waiting message is handled before the next frame.
        if (takeMessage(&msg)) {
            if (msg.message == WM_QUIT)
                break;
            dispatchMessage(&msg);
            continue;
        }
        if (viewSettings.active && !hooks.draw())
            break;
        if (keyState[VK_ESCAPE])
            break;
        // A screenshot is of the frame about to be presented, read from the back buffer before the swap.
        const bool shot = viewSettings.active && (screenshotWanted || firstFrameFile);
        FramePixels frame;
        if (shot)
            frame = readFrame();
        swapBuffers(hDC);
        if (shot) {
            screenshotWanted = false;
            const bool saved = takeScreenshot(frame, commandLine.screenshotFile);
            if (firstFrameFile) {
                status = saved ? 0 : 1;
                break;
            }
        }
        if (!goOnAfterFrame(hooks))
            break;
        const uint32_t tick = getTickCount();
        followCityMap(tick);
        // Start pressed twice quits as Escape does; the route of the timed demo plays without the pad.
        if (!hooks.timedemo && !takeGamepad())
            break;
        // The frame's keys and pad drive every step; the mouse turns once, by the distance it moved.
        const int steps = hooks.steady ? steadySteps(&clock, tick) : 1;
        if (steps > 0)
            updateCamera();
        if (!applySwitches())
            return 1;
        if (!hooks.timedemo)  // the route plays the keys; the mouse plays no part
            applyMouseYaw(camera.yaw);
        for (int step = 0; step < steps; ++step) {
            if (step > 0)
                updateCamera();
            moveCamera();
        }
        // A key tapped between two frames is held until a step has seen it.
        if (steps > 0)
            frameTookInput();
    }
    closeMainWindow();
    if (hooks.timedemo)
        writeOut(timedemoReport(timedemoFrameSeconds) + (hooks.draw == drawFrameReference ? ", reference renderer" : "") +
                 "\n");
    if (firstFrameFile) {
        if (status < 0)
            std::fprintf(stderr, "kestra: screenshot not saved: the viewer ended before a frame was shown\n");
        return status < 0 ? 1 : status;
    }
    // The quit message carries the exit code; Escape and a failed frame leave the last key message
    // in msg, whose wParam means nothing, so they end with 0.
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}
