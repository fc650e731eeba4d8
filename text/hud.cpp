// The frame counter and the statistics display drawn over each frame.
#include "text/text.h"

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"

FrameCounter frameCounter;
uint32_t (*frameTickSource)() = getTickCount;

int countFrames()
{
    uint32_t now = frameTickSource();
    // Unsigned difference: correct across the wrap of the tick counter.
    if (now - frameCounter.lastTick >= 1000) {
        frameCounter.lastTick = frameTickSource();
        frameCounter.shownRate = frameCounter.frames;
        frameCounter.frames = 1;
        return frameCounter.shownRate;
    }
    ++frameCounter.frames;
    return frameCounter.shownRate;
}

using TextPrinter = void (*)(float x, float y, int set, const char* format, ...);

// One pass of the display, each line offset by (dx, dy) pixels from its red position.
static void drawStatLines(TextPrinter print, int fps, float dx, float dy)
{
    // The title is text, not a format: it goes through "%s" and prints the same.
    print(11 + dx, 20 + dy, 1, "%s", windowTitle);
    print(11 + dx, 42 + dy, 0, "FPS: %5d", fps);
    if (!viewSettings.showStats)
        return;
    print(11 + dx, 52 + dy, 0, "xpos: %7.2f", double(camera.x));
    print(11 + dx, 63 + dy, 0, "ypos: %7.2f", double(camera.y));
    print(11 + dx, 74 + dy, 0, "zpos: %7.2f", double(camera.z));
    print(11 + dx, 85 + dy, 0, "yrot: %7.2f degs (%3.2f rads)", double(camera.yawDegrees), double(camera.yaw));
    print(11 + dx, 96 + dy, 0, "turn: %9.4f", double(camera.turnRate));
    print(11 + dx, 107 + dy, 0, "accel:%9.4f", double(camera.speed));
    print(11 + dx, 118 + dy, 0, "FOV:    %3d", camera.fieldOfView);
    print(11 + dx, 129 + dy, 0, "[F1] Mode: %s (%dx%d)", viewSettings.fullscreen ? "FULLSCREEN" : "WINDOW",
          windowWidth, windowHeight);
    print(11 + dx, 140 + dy, 0, "[F2] VSYNC: %s", viewSettings.vsync ? "ON" : "OFF");
    print(11 + dx, 151 + dy, 0, "[Page Up/Down] Fly");
    print(11 + dx, 162 + dy, 0, "[Insert] Stat Display toggle");
}

static void drawStatPasses(TextPrinter printer, int fps)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(0, 0, 0);
    drawStatLines(printer, fps, 1, 1);
    glLoadIdentity();
    glColor3f(1, 0, 0);
    drawStatLines(printer, fps, 0, 0);
}

void drawStatDisplay(int fps)
{
    drawStatPasses(printText, fps);
}

void drawStatDisplayBatched(int fps)
{
    drawStatPasses(printTextBatched, fps);
}
