// The gamepad: SDL's virtual pad read in XInput's terms as it is plugged in and pulled out, and its readings
// turned into held keys, a stick turn, switch presses and the twice-pressed Start.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"

static std::tuple<int, int, int, int, int, int, int> fields(const GamepadState& s)
{
    return {s.wButtons, s.bLeftTrigger, s.bRightTrigger, s.sThumbLX, s.sThumbLY, s.sThumbRX, s.sThumbRY};
}

TEST(Gamepad, VirtualPadReadsInXInputRangesFromPlugToPull)
{
    GamepadState state;
    ASSERT_FALSE(readGamepad(&state));  // none plugged in; this also starts SDL's controllers
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    for (int plugged = 0; plugged < 2; ++plugged) {
        const int device = SDL_JoystickAttachVirtualEx(&desc);
        ASSERT_GE(device, 0) << SDL_GetError();
        SDL_Joystick* stick = SDL_JoystickOpen(device);
        const std::tuple<SDL_GameControllerAxis, int16_t> axes[] = {
            {SDL_CONTROLLER_AXIS_LEFTX, -32768}, {SDL_CONTROLLER_AXIS_LEFTY, -32768},  // SDL's up is negative
            {SDL_CONTROLLER_AXIS_RIGHTX, 1234}, {SDL_CONTROLLER_AXIS_RIGHTY, 32767},
            {SDL_CONTROLLER_AXIS_TRIGGERLEFT, 32767}, {SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0}};  // a trigger's raw range is whole
        for (const auto& [axis, value] : axes)
            SDL_JoystickSetVirtualAxis(stick, axis, value);
        for (int button : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_START, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                           SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSTICK})
            SDL_JoystickSetVirtualButton(stick, button, 1);
        ASSERT_TRUE(readGamepad(&state));
        EXPECT_EQ(fields(state), fields({XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_START | XINPUT_GAMEPAD_DPAD_DOWN |
                                             XINPUT_GAMEPAD_RIGHT_SHOULDER | XINPUT_GAMEPAD_RIGHT_THUMB,
                                         255, 127, -32768, 32767, 1234, -32767}));
        SDL_JoystickClose(stick);
        SDL_JoystickDetachVirtual(device);
        EXPECT_FALSE(readGamepad(&state));
        EXPECT_EQ(fields(state), fields({}));
    }
}

// The keys the pad holds, by virtual-key code.
static std::string padKeys()
{
    std::string keys;
    for (int key = 0; key < 256; ++key)
        if (gamepadInput.keys[key])
            keys += static_cast<char>(key);
    return keys;
}

TEST(Gamepad, ReadingsHoldKeysTurnPressSwitchesOnceAndQuitOnlyOnASecondStartWithinASecond)
{
    constexpr uint16_t faces = XINPUT_GAMEPAD_A | XINPUT_GAMEPAD_B | XINPUT_GAMEPAD_X | XINPUT_GAMEPAD_Y;
    const std::string switches{VK_INSERT, VK_F3, VK_F4};
    const struct {
        GamepadState pad;
        uint32_t now;  // milliseconds
        std::string held, pressed;
        float turn;  // mouse pixels per step
        bool goOn;
    } readings[] = {
        {{}, 0, "", "", 0, true},
        {{0, 30, 30, -7849, 0, 8689, 0}, 0, "", "", 0, true},  // at the thresholds and dead zones: nothing
        {{0, 31, 31, -7850, 0, 32767, 0}, 0, "ASW", "", 40, true},
        {{0, 0, 0, 7850, 32767, -32768, 0}, 0, "D", "", -40, true},  // stick y does nothing; -32768 is full
        {{0, 0, 0, 0, 0, 20728, 0}, 0, "", "", 20, true},  // halfway past the dead zone: half the turn
        {{XINPUT_GAMEPAD_LEFT_SHOULDER | XINPUT_GAMEPAD_RIGHT_SHOULDER | XINPUT_GAMEPAD_DPAD_UP |
              XINPUT_GAMEPAD_DPAD_DOWN}, 0, "#$EQ", "", 0, true},  // End, Home, fly
        {{faces}, 0, "", switches, 0, true},
        {{faces}, 0, "", "", 0, true},  // still held: no second press
        {{XINPUT_GAMEPAD_START}, 1000, "", "", 0, true},  // one press does nothing
        {{}, 1500, "", "", 0, true},
        {{XINPUT_GAMEPAD_START}, 2000, "", "", 0, true},  // a second later: counts as a first press again
        {{}, 2500, "", "", 0, true},
        {{XINPUT_GAMEPAD_START}, 2999, "", "", 0, false},
    };
    gamepadInput = GamepadInput{};
    for (const auto& r : readings) {
        SCOPED_TRACE(testing::Message() << r.now << " " << r.pad.wButtons);
        keyState.fill(0);
        EXPECT_EQ(applyGamepad(r.pad, r.now), r.goOn);
        EXPECT_EQ(padKeys(), r.held);
        std::string pressed;
        for (char key : switches)
            if (keyState[static_cast<uint8_t>(key)])
                pressed += key;
        EXPECT_EQ(pressed, r.pressed);
        EXPECT_FLOAT_EQ(gamepadInput.turnPixels, r.turn);
    }

    // The pad's keys add to the keyboard's: releasing the trigger leaves the keyboard's W driving, and
    // the stick turns by its amount at every step.
    camera = CameraState{};
    keyState['W'] = 1;
    applyGamepad({0, 0, 255}, 0);
    applyGamepad({0, 0, 0, 0, 0, 32767}, 0);
    updateCamera();
    moveCamera();
    EXPECT_EQ(std::tuple(camera.speed, camera.yaw), std::tuple(0.005f, 3.1415927f + 0.04f));
}
