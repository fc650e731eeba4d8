// The application shell on a headless display: the window procedure's records, the main window's life, the size
// rule and the function-key switches; the message queue and the loop's input gate, fed with real SDL events: no
// key or button message is lost however many wait, a key tapped between two frames is seen by one frame, and
// pointer motion is summed from where the pointer was first seen over the window.
#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "platform/platform.h"
#include "tests/support/gl_context.h"

namespace {

// Takes every waiting message; the exit code of the quit request, which comes last, or -1.
intptr_t takeQuit()
{
    Msg msg;
    while (peekMessage(&msg))
        if (msg.message == WM_QUIT)
            return static_cast<intptr_t>(msg.wParam);
    return -1;
}

class App : public testing::Test {
protected:
    void SetUp() override
    {
        viewSettings = ViewSettings{};
        keyState.fill(0);
        takeQuit();
        ASSERT_EQ(chdir(KESTRA_RUN_DIR), 0);  // the window's scene loads its files from here
    }
};

TEST_F(App, ProcedureRecordsKeysButtonsAndMinimisingAndQuitsOnlyOnClose)
{
    // Each message, then W's key, the right button (the only one read) and whether frames are drawn.
    const std::tuple<uint32_t, uintptr_t, int, int, int> messages[] = {
        {WM_KEYDOWN, 'W', 1, 0, 1}, {WM_RBUTTONDOWN, 0, 1, 1, 1}, {WM_LBUTTONUP, 0, 1, 1, 1},
        {WM_MBUTTONUP, 0, 1, 1, 1}, {WM_ACTIVATE, WA_INACTIVE, 1, 1, 1},  // focus lost, not minimised
        {WM_ACTIVATE, WA_INACTIVE | (uintptr_t{1} << 16), 1, 1, 0}, {WM_ACTIVATE, WA_ACTIVE, 1, 1, 1},
        {WM_KEYUP, 'W', 0, 1, 1}, {WM_RBUTTONUP, 0, 0, 0, 1}, {WM_LBUTTONDOWN, 0, 0, 0, 1},
        {WM_MBUTTONDOWN, 0, 0, 0, 1}, {WM_SYSKEYDOWN, 'W', 0, 0, 1},  // system keys are not recorded
        {WM_KEYDOWN, 0x1FF, 0, 0, 1}};  // nor keys outside the table
    for (const auto& [message, wParam, w, right, active] : messages) {
        windowProc(nullptr, message, wParam, 0);
        EXPECT_EQ(std::tuple(keyState['W'], mouseButtons.right, viewSettings.active), std::tuple(w, right, active))
            << message << " " << wParam;
    }
    EXPECT_EQ(keyState[0xFF], 0);
    // F12 counts once however long it is held: its auto-repeats are not recorded.
    for (const intptr_t lParam : {intptr_t{0}, intptr_t{1} << 30}) {
        keyState[VK_F12] = 0;
        windowProc(nullptr, WM_KEYDOWN, VK_F12, lParam);
        EXPECT_EQ(keyState[VK_F12], lParam == 0) << lParam;
    }

    // The close request, the system menu's close and Alt+F4 (when no window manager takes it) quit with 0.
    registerWindowClass("OpenGL", windowProc);
    const std::tuple<uint32_t, uintptr_t, intptr_t> closings[] = {
        {WM_CLOSE, 0, 0}, {WM_SYSCOMMAND, SC_CLOSE, 0}, {WM_SYSKEYDOWN, VK_F4, intptr_t{1} << 29}};
    for (const auto& [message, wParam, lParam] : closings) {
        windowProc(nullptr, message, wParam, lParam);
        EXPECT_EQ(takeQuit(), 0) << message;
    }
    unregisterWindowClass("OpenGL");
}

TEST_F(App, EachSwitchKeyTogglesItsOwnSettingOncePerPressAndF3AndF4ReapplyFogAndLight)
{
    ASSERT_TRUE(openTestContext(64, 64));
    using V = ViewSettings;
    // A key, its setting and the fog colour after it: red where fog and light were left alone.
    const Floats red = {1, 0, 0, 1};
    const std::tuple<uint8_t, uint8_t V::*, Floats> switches[] = {
        {VK_INSERT, &V::showStats, red}, {VK_F2, &V::vsync, red}, {VK_F3, &V::daylight, {0, 0, 0, 1}},
        {VK_F4, &V::fogEnabled, {0.77f, 0.77f, 0.77f, 1}}};
    for (const auto& [key, setting, fog] : switches) {
        SCOPED_TRACE(+key);
        viewSettings = ViewSettings{};
        glFogfv(GL_FOG_COLOR, red.data());
        glDisable(GL_FOG), glDisable(GL_LIGHTING);
        keyState[key] = keyState['W'] = 1;
        ASSERT_TRUE(applySwitches());
        ASSERT_TRUE(applySwitches());  // the key was taken: no second toggle
        const ViewSettings& v = viewSettings;  // its switch is off, every other setting still on
        EXPECT_EQ(std::tuple(v.*setting, v.showStats + v.daylight + v.fogEnabled + v.vsync + v.fullscreen + v.active),
                  std::tuple(0, 5));
        EXPECT_EQ(std::tuple(keyState[key], keyState['W']), std::tuple(0, 1));
        const bool reapplied = glIsEnabled(GL_FOG) && glIsEnabled(GL_LIGHTING);
        EXPECT_EQ(std::pair(floats(GL_FOG_COLOR, 4), reapplied), std::pair(fog, fog != red));
    }
    closeTestContext();
}

TEST_F(App, MainWindowHasACurrentContextAndF1ReopensItInTheOtherModeWithTheSizeRule)
{
    std::tie(screenWidth, screenHeight) = std::tuple(1366, 768);
    ASSERT_TRUE(openMainWindow(windowTitle, screenWidth, screenHeight, colourDepth, true));
    // Framed: 1280 wide with the screen's shape, 719.65 truncated in single precision, or the size asked for.
    for (auto [asked, fullscreen, width, height] : {std::tuple(0, 0, 1280, 719), {0, 1, 1366, 768}, {640, 0, 640, 360}}) {
        std::tie(commandLine.width, commandLine.height) = std::tuple(asked, asked * 9 / 16);
        keyState[VK_F1] = 1;
        ASSERT_TRUE(applySwitches());
        EXPECT_EQ(std::tuple(keyState[VK_F1], viewSettings.fullscreen, windowWidth, windowHeight),
                  std::tuple(0, fullscreen, width, height));
    }
    // The new context is current and sizes reach its viewport.
    windowProc(nullptr, WM_SIZE, 0, 640 | (200 << 16));
    EXPECT_EQ(floats(GL_VIEWPORT, 4), (Floats{0, 0, 640, 200}));
    closeMainWindow();
    EXPECT_TRUE(!hWnd && !hDC && !hRC);
    commandLine = CommandLine{};
}

class InputQueue : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(openBareContext(64, 64, &bare));
        for (Uint32 id = 1; id < 1000 && !windowID; ++id)
            if (SDL_Window* w = SDL_GetWindowFromID(id); w && !std::strcmp(SDL_GetWindowTitle(w), "kestra"))
                windowID = id;
        ASSERT_NE(windowID, 0u);
        takeQuit();
        keyState.fill(0);
    }
    void TearDown() override { closeBareContext(&bare); }

    // A key (sym, at place) or, for sym 0, the right mouse button.
    void push(bool down, SDL_Keycode sym, SDL_Scancode place = SDL_SCANCODE_UNKNOWN)
    {
        SDL_Event e{};
        e.type = sym ? (down ? SDL_KEYDOWN : SDL_KEYUP) : (down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
        e.key.windowID = windowID;  // the same field of either event
        if (sym)
            e.key.keysym.sym = sym, e.key.keysym.scancode = place;
        else
            e.button.button = SDL_BUTTON_RIGHT;
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

// A layout's key at a place, and the key recorded: driving keys by place (AZERTY's Z at W, A at Q, Q at A; its W
// at Z records nothing), any other by the layout (QWERTZ's Y and Z, F1), and a key without a place as it is.
TEST_F(InputQueue, DrivingKeysGoByTheirPlaceOnTheKeyboardAndEveryOtherKeyByTheLayout)
{
    for (auto [sym, place, want] : {std::tuple<SDL_Keycode, SDL_Scancode, uintptr_t>{SDLK_z, SDL_SCANCODE_W, 'W'},
             {SDLK_q, SDL_SCANCODE_A, 'A'}, {SDLK_a, SDL_SCANCODE_Q, 'Q'}, {SDLK_w, SDL_SCANCODE_Z, 0},
             {SDLK_y, SDL_SCANCODE_Z, 'Y'}, {SDLK_z, SDL_SCANCODE_Y, 'Z'}, {SDLK_SPACE, SDL_SCANCODE_SPACE, VK_SPACE},
             {SDLK_F1, SDL_SCANCODE_F1, VK_F1}, {SDLK_w, SDL_SCANCODE_UNKNOWN, 'W'}}) {
        push(true, sym, place);
        Msg msg;
        uintptr_t key = 0;
        while (peekMessage(&msg))
            key = msg.message == WM_KEYDOWN ? msg.wParam : key;
        EXPECT_EQ(key, want) << sym << " at " << place;
    }
}

// Each step: the events that arrive, then how many messages the loop takes before it draws a frame, and keys
// A and B as that frame sees them.
TEST_F(InputQueue, AKeyTappedBetweenFramesIsHeldForOneFrameWithEverythingAfterIt)
{
    registerWindowClass("KestraBare", windowProc);  // the viewer's procedure records the keys
    const std::tuple<std::vector<std::pair<bool, SDL_Keycode>>, size_t, uint8_t, uint8_t> steps[] = {
        {{{true, SDLK_a}, {false, SDLK_a}, {true, SDLK_b}}, 1, 1, 0},  // the release waits, B behind it
        {{}, 1, 0, 1},                                                 // then both come through
        {{{false, SDLK_b}}, 1, 0, 0},  // a release of a key held over a frame is not held
        {{{true, SDLK_a}, {true, SDLK_a}, {false, SDLK_a}}, 2, 1, 0},  // repeats are one press
        {{}, 0, 0, 0},
    };
    for (const auto& [events, wantTaken, aHeld, bHeld] : steps) {
        for (auto [down, sym] : events)
            push(down, sym);
        Msg msg;
        size_t taken = 0;
        while (takeMessage(&msg)) {
            dispatchMessage(&msg);
            ++taken;
        }
        EXPECT_EQ(std::tuple(taken, keyState['A'], keyState['B']), std::tuple(wantTaken, aHeld, bHeld))
            << testing::PrintToString(events);
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
        takeQuit();
        EXPECT_EQ(takeMouseMotion(), moved) << kind << " " << x;
    }
}

}  // namespace
