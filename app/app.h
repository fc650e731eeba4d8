// The application shell: program-wide switches, input state, window size and the window's life.
#pragma once

#include <array>
#include <cstdint>

struct PlatformWindow;
struct PlatformSurface;
struct PlatformContext;

// The six one-byte switches, each 1 at start.
struct ViewSettings {
    uint8_t showStats = 1;   // Insert: statistics and help lines shown
    uint8_t daylight = 1;    // F3: day (sky, light, grey fog) or night
    uint8_t fogEnabled = 1;  // F4: fog over the city by day
    uint8_t vsync = 1;       // F2: swap interval 1 or 0
    uint8_t fullscreen = 1;  // F1: full screen or framed window
    uint8_t active = 1;      // 0 while the window is minimised
};

// 1 while the key of that Windows virtual-key code is held, 0 otherwise.
using KeyState = std::array<uint8_t, 256>;

// 1 while the button is held.
struct MouseButtons {
    uint8_t left = 0;
    uint8_t right = 0;
    uint8_t middle = 0;
};

extern ViewSettings viewSettings;
extern KeyState keyState;
extern MouseButtons mouseButtons;
extern int screenWidth, screenHeight;  // pixels, measured once at start
extern int windowWidth, windowHeight;  // pixels, client size asked of openMainWindow

extern const char* const windowTitle;
constexpr int colourDepth = 32;  // bits per pixel asked of every window

// The pixel format every window asks for; fixed except the colour depth, which the first opening sets.
struct PixelFormat {
    bool built = false;      // set by the first opening that reaches the pixel-format step
    uint8_t colourBits = 0;  // bits per pixel, the low 8 bits of that opening's colour depth
};
extern PixelFormat pixelFormat;

// The main window, its drawing surface and its OpenGL context; null while there is none.
extern PlatformWindow* hWnd;
extern PlatformSurface* hDC;
extern PlatformContext* hRC;

// The program's entry: runs the viewer and returns the process exit code.
int programMain();
// Opens the main window with its context and initialised scene; false after telling the user.
bool openMainWindow(const char* title, int width, int height, int bits, bool fullscreen);
// Releases context, surface, window and class (reporting each failure), then the font lists.
void closeMainWindow();
// Applies the vertical-sync switch to the current context when it has swap control.
void setSwapInterval(uint8_t enabled);
// The main window's procedure: records keys, buttons and minimised state, forwards sizes, quits on close.
intptr_t windowProc(PlatformWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Sets windowWidth and windowHeight for the full-screen switch: the screen, or 1280 wide with its shape.
void applySizeRule();
// Outer top-left corner of the window: centred by the client size when framed, (0, 0) in full screen.
void chooseWindowPosition(bool fullscreen, int* x, int* y);
// Acts on the switch keys Insert, F1, F2, F3, F4 in that order; false when F1 could not reopen the window.
bool applySwitches();
