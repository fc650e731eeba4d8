// Every unit test runs headless: SDL's offscreen driver, and no display for a message box to block on.
#include <cstdlib>

// Set while the program starts, before any test opens a window.
[[maybe_unused]] static const bool headless = [] {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    return true;
}();
