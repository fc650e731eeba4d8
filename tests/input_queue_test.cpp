// The message queue and the loop's input gate, fed with real SDL events for a headless window: no key or
// button message is lost however many wait, a key tapped between two frames is seen by one frame, and
// pointer motion is summed from where the pointer was first seen over the window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "platform/platform.h"

namespace {

class InputQueue : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openBareContext(64, 64, &bare));
        for (Uint32 id = 1; id < 1000 && !windowID; ++id)
            if (SDL_Window* w = SDL_GetWindowFromID(id); w && !std::strcmp(SDL_GetWindowTitle(w), "kestra"))
                windowID = id;
        ASSERT_NE(windowID, 0u);
        Msg msg;
        while (peekMessage(&msg)) {
        }
        keyState.fill(0);
    }
    void TearDown() override { closeBareContext(&bare); }

    // A key (sym) or, for sym 0, the right mouse button.
    void push(bool down, SDL_Keycode sym)
    {
        SDL_Event e{};
        if (sym) {
            e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
            e.key.windowID = windowID;
            e.key.keysym.sym = sym;
        } else {
            e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
            e.button.windowID = windowID;
            e.button.button = SDL_BUTTON_RIGHT;
        }
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    BareContext bare;
    Uint32 windowID = 0;
};

TEST_F(InputQueue, EveryKeyAndButtonMessageArrivesInOrderHoweverManyWait)
{
    std::vector<uint32_t> sent, got;  // message << 8 | key
    for (int i = 0; i < 400; ++i) {
        const bool down = i % 2 == 0, key = i % 3 != 0;
        push(down, key ? SDLK_a + i % 26 : 0);
        sent.push_back((key ? (down ? WM_KEYDOWN : WM_KEYUP) : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)) << 8 |
                       (key ? 'A' + i % 26 : 0));
    }
    Msg msg;
    while (peekMessage(&msg))
        if (msg.message != WM_SIZE && msg.message != WM_ACTIVATE)
            got.push_back(msg.message << 8 | uint32_t(msg.wParam));
    EXPECT_EQ(got, sent);
}

// Each step: the events that arrive, then how many messages the loop takes before it draws a frame, and keys
// A and B as that frame sees them.
TEST_F(InputQueue, AKeyTappedBetweenFramesIsHeldForOneFrameWithEverythingAfterIt)
{
    registerWindowClass("KestraBare", windowProc);  // the viewer's procedure records the keys
    struct Step {
        std::vector<std::pair<bool, SDL_Keycode>> events;  // down, key
        size_t taken;
        uint8_t aHeld;
        uint8_t bHeld;
    };
    const Step steps[] = {
        {{{true, SDLK_a}, {false, SDLK_a}, {true, SDLK_b}}, 1, 1, 0},  // the release waits, B behind it
        {{}, 1, 0, 1},                                                 // then both come through
        {{{false, SDLK_b}}, 1, 0, 0},  // a release of a key held over a frame is not held
        {{{true, SDLK_a}, {true, SDLK_a}, {false, SDLK_a}}, 2, 1, 0},  // repeats are one press
        {{}, 0, 0, 0},
    };
    for (size_t k = 0; k < std::size(steps); ++k) {
        for (auto [down, sym] : steps[k].events)
            push(down, sym);
        Msg msg;
        size_t taken = 0;
        while (takeMessage(&msg)) {
            dispatchMessage(&msg);
            ++taken;
        }
        EXPECT_EQ(taken, steps[k].taken) << "step " << k;
        EXPECT_EQ(keyState['A'], steps[k].aHeld) << "step " << k;
        EXPECT_EQ(keyState['B'], steps[k].bHeld) << "step " << k;
        frameTookInput();
    }
}

// Pointer motion for turning where the cursor cannot be warped. Each step: an event (0 a motion to x, 1 one
// over another window, 2 the pointer entering, 3 leaving), then the motion taken. A new window, and each
// entry and exit, drop the reference, so that the pointer's jump from where it was last seen is no turn.
TEST_F(InputQueue, MotionSumsTheXChangesOverTheWindowAndTakesNoneFromEnteringIt)
{
    EXPECT_TRUE(cursorWarps());  // every desktop but Wayland's moves the pointer, the headless one too
    const std::tuple<int, int, int> steps[] = {{0, 40, 0},   {0, 45, 5}, {0, 30, -15}, {2, 0, 0},     {0, 300, 0},
                                               {0, 310, 10}, {3, 0, 0},  {0, 600, 0},  {0, 590, -10}, {1, 500, 0},
                                               {0, 591, 1}};
    for (const auto& [kind, x, moved] : steps) {
        SDL_Event e{};
        e.type = kind < 2 ? SDL_MOUSEMOTION : SDL_WINDOWEVENT;
        e.motion.windowID = kind == 1 ? windowID + 100 : windowID;  // the same field of either event
        e.motion.x = x;
        e.window.event = kind == 2 ? SDL_WINDOWEVENT_ENTER : SDL_WINDOWEVENT_LEAVE;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        Msg msg;
        while (peekMessage(&msg)) {
        }
        EXPECT_EQ(takeMouseMotion(), moved) << kind << " " << x;
    }
}

}  // namespace
