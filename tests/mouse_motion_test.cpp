// Pointer motion as the platform reports it for turning where the cursor cannot be warped, fed with the
// window system's own events on a headless display.
#include <SDL.h>
#include <gtest/gtest.h>

#include <tuple>

#include "platform/platform.h"

TEST(MouseMotion, SumsTheXChangesOverTheWindowAndTakesNoMotionFromEnteringIt)
{
    PlatformWindow* window = createWindow("motion", 0, 0, 640, 480, false);
    Uint32 id = 1;
    while (id < 64 && !(SDL_GetWindowFromID(id) && SDL_GetWindowTitle(SDL_GetWindowFromID(id)) == std::string("motion")))
        ++id;
    ASSERT_TRUE(window && id < 64);
    EXPECT_TRUE(cursorWarps());  // every desktop but Wayland's moves the pointer, the headless one too

    // An event (0 a motion to x, 1 one over another window, 2 the pointer entering, 3 leaving), then the
    // motion taken: a new window, and each entry and exit, drop the reference, so that the pointer's jump
    // from where it was last seen is no turn.
    const std::tuple<int, int, int> steps[] = {{0, 40, 0},  {0, 45, 5},  {0, 30, -15}, {2, 0, 0},   {0, 300, 0},
                                               {0, 310, 10}, {3, 0, 0}, {0, 600, 0},  {0, 590, -10}, {1, 500, 0},
                                               {0, 591, 1}};
    for (const auto& [kind, x, moved] : steps) {
        SDL_Event e{};
        e.type = kind < 2 ? SDL_MOUSEMOTION : SDL_WINDOWEVENT;
        e.motion.windowID = kind == 1 ? id + 100 : id;  // the same field of either event
        e.motion.x = x;
        e.window.event = kind == 2 ? SDL_WINDOWEVENT_ENTER : SDL_WINDOWEVENT_LEAVE;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        Msg msg;
        while (peekMessage(&msg)) {
        }
        EXPECT_EQ(takeMouseMotion(), moved) << kind << " " << x;
    }
    destroyWindow(window);
}
