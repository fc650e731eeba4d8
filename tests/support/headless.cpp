// Every unit test runs headless: SDL's offscreen driver, no display, and messages on stderr only, so
// that no message box (nor a helper program that SDL may start for one) waits or writes.
#include <cstdlib>

#include "platform/platform.h"

// Set while the program starts, before any test opens a window.
[[maybe_unused]] static const bool headless = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    showMessageBoxes(false);
    return true;
}();
