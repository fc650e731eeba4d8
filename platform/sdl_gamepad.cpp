// SDL2 backend of the gamepad: the first game controller SDL knows, read in XInput's ranges.
#include "platform/platform.h"

#include <SDL.h>

#include <algorithm>

static SDL_GameController* pad = nullptr;
static bool padsUnavailable = false;  // the subsystem failed to start; not tried again

// SDL's buttons and the XInput bits they become.
static constexpr struct {
    SDL_GameControllerButton button;
    uint16_t bit;
} buttonBits[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, XINPUT_GAMEPAD_DPAD_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, XINPUT_GAMEPAD_DPAD_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, XINPUT_GAMEPAD_DPAD_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, XINPUT_GAMEPAD_DPAD_RIGHT},
    {SDL_CONTROLLER_BUTTON_START, XINPUT_GAMEPAD_START},
    {SDL_CONTROLLER_BUTTON_BACK, XINPUT_GAMEPAD_BACK},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, XINPUT_GAMEPAD_LEFT_THUMB},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, XINPUT_GAMEPAD_RIGHT_THUMB},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, XINPUT_GAMEPAD_LEFT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, XINPUT_GAMEPAD_RIGHT_SHOULDER},
    {SDL_CONTROLLER_BUTTON_A, XINPUT_GAMEPAD_A},
    {SDL_CONTROLLER_BUTTON_B, XINPUT_GAMEPAD_B},
    {SDL_CONTROLLER_BUTTON_X, XINPUT_GAMEPAD_X},
    {SDL_CONTROLLER_BUTTON_Y, XINPUT_GAMEPAD_Y},
};

static int16_t axis(SDL_GameControllerAxis which)
{
    return SDL_GameControllerGetAxis(pad, which);
}

// SDL's stick y grows downwards, XInput's upwards; -32768 has no opposite and becomes 32767.
static int16_t upwards(SDL_GameControllerAxis which)
{
    return static_cast<int16_t>(std::min(-axis(which), 32767));
}

// SDL's triggers run 0 .. 32767, XInput's 0 .. 255.
static uint8_t trigger(SDL_GameControllerAxis which)
{
    return static_cast<uint8_t>(std::max<int>(axis(which), 0) >> 7);
}

// The first game controller attached, opened; null when there is none.
static SDL_GameController* openFirstPad()
{
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (!SDL_IsGameController(i))
            continue;
        if (SDL_GameController* found = SDL_GameControllerOpen(i))
            return found;
    }
    return nullptr;
}

bool readGamepad(GamepadState* state)
{
    *state = GamepadState{};
    if (padsUnavailable)
        return false;
    if (!SDL_WasInit(SDL_INIT_GAMECONTROLLER)) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        padsUnavailable = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0;
        if (padsUnavailable)
            return false;
    }
    // Reads the devices and notices pads plugged in or pulled out since the last call. The device
    // events SDL queues meanwhile are dropped by the message queue: polling here sees the same.
    SDL_GameControllerUpdate();
    if (pad && !SDL_GameControllerGetAttached(pad)) {
        SDL_GameControllerClose(pad);
        pad = nullptr;
    }
    if (!pad) {
        pad = openFirstPad();
        if (!pad)
            return false;
        // Opening sets the triggers released until the device is read again.
        SDL_GameControllerUpdate();
    }
    for (const auto& [button, bit] : buttonBits)
        if (SDL_GameControllerGetButton(pad, button))
            state->wButtons |= bit;
    state->bLeftTrigger = trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT);
    state->bRightTrigger = trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    state->sThumbLX = axis(SDL_CONTROLLER_AXIS_LEFTX);
    state->sThumbLY = upwards(SDL_CONTROLLER_AXIS_LEFTY);
    state->sThumbRX = axis(SDL_CONTROLLER_AXIS_RIGHTX);
    state->sThumbRY = upwards(SDL_CONTROLLER_AXIS_RIGHTY);
    return true;
}
