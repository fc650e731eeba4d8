// The gamepad in the keyboard's and mouse's terms: held keys for driving, key presses for the switches,
// the right stick as mouse motion, and Start pressed twice to quit.
#include "app/app.h"

#include <algorithm>
#include <cstdlib>

#include "platform/platform.h"

GamepadInput gamepadInput;

// XInput's recommended thresholds: below them a released trigger or a centred stick still reads.
static constexpr int triggerThreshold = 30;  // of 255
static constexpr int leftStickDeadZone = 7849;  // of 32767
static constexpr int rightStickDeadZone = 8689;  // of 32767
static constexpr float fullStickPixels = 40.0f;  // the right stick pushed fully: mouse pixels per step
static constexpr uint32_t startConfirmMilliseconds = 1000;

// Buttons that hold a key's action while held.
static constexpr struct {
    uint16_t button;
    uint8_t key;
} heldButtons[] = {
    {XINPUT_GAMEPAD_RIGHT_SHOULDER, 'E'}, {XINPUT_GAMEPAD_LEFT_SHOULDER, 'Q'},
    {XINPUT_GAMEPAD_DPAD_DOWN, VK_HOME}, {XINPUT_GAMEPAD_DPAD_UP, VK_END},  // the view tilts as the pad is pushed
};

// Buttons that press a switch key once per press.
static constexpr struct {
    uint16_t button;
    uint8_t key;
} switchButtons[] = {{XINPUT_GAMEPAD_Y, VK_F3}, {XINPUT_GAMEPAD_B, VK_F4}, {XINPUT_GAMEPAD_X, VK_INSERT}};

// The right stick's x as mouse pixels per step: nothing inside the dead zone, then growing evenly to
// fullStickPixels at the end of the travel.
static float stickTurn(int16_t x)
{
    const int reach = std::min(std::abs(static_cast<int>(x)), 32767) - rightStickDeadZone;
    if (reach <= 0)
        return 0.0f;
    const float turn = fullStickPixels * static_cast<float>(reach) / static_cast<float>(32767 - rightStickDeadZone);
    return x < 0 ? -turn : turn;
}

bool applyGamepad(const GamepadState& pad, uint32_t now)
{
    KeyState& keys = gamepadInput.keys;
    keys.fill(0);
    keys['W'] = pad.bRightTrigger > triggerThreshold;
    keys['S'] = pad.bLeftTrigger > triggerThreshold;
    keys['A'] = pad.sThumbLX < -leftStickDeadZone;
    keys['D'] = pad.sThumbLX > leftStickDeadZone;
    for (const auto& [button, key] : heldButtons)
        keys[key] = (pad.wButtons & button) != 0;
    gamepadInput.turnPixels = stickTurn(pad.sThumbRX);

    const uint16_t pressed = pad.wButtons & ~gamepadInput.buttons;
    gamepadInput.buttons = pad.wButtons;
    // A press sets the flag as a key-down message would; the loop clears it when it acts.
    for (const auto& [button, key] : switchButtons)
        if (pressed & button)
            keyState[key] = 1;
    if (!(pressed & XINPUT_GAMEPAD_START))
        return true;
    // One press alone does nothing, so that a thumb slipping onto Start does not end the drive.
    if (gamepadInput.startArmed && now - gamepadInput.startPressedAt < startConfirmMilliseconds)
        return false;
    gamepadInput.startArmed = true;
    gamepadInput.startPressedAt = now;
    return true;
}

bool takeGamepad()
{
    GamepadState pad;
    readGamepad(&pad);
    return applyGamepad(pad, getTickCount());
}
