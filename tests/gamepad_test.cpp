// The gamepad: SDL's virtual pad read in XInput's terms from plugging in to pulling out, and readings turned into
// held keys, a stick turn, switch presses and the twice-pressed Start.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"

TEST(Gamepad, VirtualPadReadsInXInputRangesFromPlugToPull)
{
    GamepadState state;
    ASSERT_FALSE(readGamepad(&state));  // none yet; this also starts SDL's controllers
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    for (int plugged = 0; plugged < 2; ++plugged) {
        const int device = SDL_JoystickAttachVirtualEx(&desc);
        SDL_Joystick* stick = SDL_JoystickOpen(device);
        ASSERT_TRUE(stick) << SDL_GetError();
        // Left x, y (SDL's up is negative), right x, y, then the triggers, whose raw range is whole.
        const int16_t axes[] = {-32768, -32768, 1234, 32767, 32767, 0};
        for (int axis = 0; axis < 6; ++axis)
            SDL_JoystickSetVirtualAxis(stick, axis, axes[axis]);
        for (int button : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                           SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSTICK})
            SDL_JoystickSetVirtualButton(stick, button, 1);
        ASSERT_TRUE(readGamepad(&state));
        EXPECT_EQ(state, (GamepadState{XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_DPAD_DOWN |
                                           XINPUT_GAMEPAD_RIGHT_SHOULDER | XINPUT_GAMEPAD_RIGHT_THUMB,
                                       255, 127, -32768, 32767, 1234, -32767}));
        SDL_JoystickClose(stick);
        SDL_JoystickDetachVirtual(device);
        EXPECT_FALSE(readGamepad(&state));
        EXPECT_EQ(state, GamepadState{});
    }
}

// The keys set in a key table, in code order.
static std::string keysIn(const KeyState& keys)
{
    std::string set;
    for (int key = 0; key < 256; ++key)
        set += keys[key] ? std::string(1, static_cast<char>(key)) : "";
    return set;
}

TEST(Gamepad, ReadingsHoldKeysTurnPressSwitchesOnceAndQuitOnlyOnASecondStartWithinASecond)
{
    constexpr uint16_t faces = XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_B | XINPUT_GAMEPAD_X | XINPUT_GAMEPAD_Y;
    constexpr uint16_t flying = XINPUT_GAMEPAD_LEFT_SHOULDER | XINPUT_GAMEPAD_RIGHT_SHOULDER;
    // The pad, the time in milliseconds, keys the pad holds, switch keys it pressed, mouse pixels per step, and
    // whether the viewer goes on.
    const std::tuple<GamepadState, uint32_t, std::string, std::string, float, bool> readings[] = {
        {{0, 30, 30, -7849, 0, 8689}, 0, "", "", 0, true},  // at the thresholds and dead zones: nothing
        {{0, 31, 31, -7850, 0, 32767}, 0, "ASW", "", 40, true},
        {{XINPUT_GAMEPAD_START}, 1000, "", "", 0, true},  // one press does nothing
        {{faces}, 1500, "", "\x2D\x72\x73", 0, true},  // Insert, F3, F4
        {{faces}, 1600, "", "", 0, true},  // still held: no second press
        {{XINPUT_GAMEPAD_START}, 2000, "", "", 0, true},  // a second after the first: a first press again
        {{flying, 0, 0, 7850, 32767, -32768}, 2500, "DEQ", "", -40, true},  // stick y does nothing
        {{XINPUT_GAMEPAD_DPAD_UP | XINPUT_GAMEPAD_DPAD_DOWN, 0, 0, 0, 0, 20728}, 2600, "#$", "", 20, true},  // End Home
        {{XINPUT_GAMEPAD_START}, 2999, "", "", 0, false},
    };
    gamepadInput = GamepadInput{};
    for (const auto& [pad, now, held, pressed, turn, goOn] : readings) {
        keyState.fill(0);
        const bool goesOn = applyGamepad(pad, now);
        EXPECT_EQ(std::tuple(goesOn, keysIn(gamepadInput.keys), keysIn(keyState), gamepadInput.turnPixels),
                  std::tuple(goOn, held, pressed, turn)) << now << " " << pad.wButtons;
    }

    // Releasing the trigger leaves the keyboard's W driving; the stick turns by its amount at every step.
    camera = CameraState{};
    keyState['W'] = 1;
    applyGamepad({0, 0, 255}, 0);
    applyGamepad({0, 0, 0, 0, 0, 32767}, 0);
    updateCamera(), moveCamera();
    EXPECT_EQ(std::tuple(camera.speed, camera.yaw), std::tuple(0.005f, 3.1415927f + 0.04f));
}
