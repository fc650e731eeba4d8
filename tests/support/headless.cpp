// Every unit test runs headless: SDL's offscreen driver, and no display for a message box to block on.
#include <cstdlib>

namespace {
struct Headless {
    Headless()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }
} headless;
}  // namespace
