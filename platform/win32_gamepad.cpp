// Win32 backend of the gamepad: XInput, loaded at the first reading so that the viewer starts without it.
#include "platform/platform.h"

// The build defines these so that GL/gl.h does without windows.h elsewhere; windows.h defines them here.
#undef APIENTRY
#undef WINGDIAPI
#undef CALLBACK
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <xinput.h>

using XInputGetStateProc = DWORD(WINAPI*)(DWORD userIndex, XINPUT_STATE* state);

// XInputGetState of the newest XInput the system has (Windows 8 on, else the one of Vista and 7); null
// when there is none.
static XInputGetStateProc loadXInput()
{
    for (const wchar_t* name : {L"xinput1_4.dll", L"xinput9_1_0.dll"}) {
        HMODULE library = LoadLibraryW(name);
        if (!library)
            continue;
        if (FARPROC found = GetProcAddress(library, "XInputGetState"))
            return reinterpret_cast<XInputGetStateProc>(reinterpret_cast<void (*)()>(found));
        FreeLibrary(library);
    }
    return nullptr;
}

// Asking an empty slot is slow, so while no pad answers the slots are tried once a second only.
static constexpr DWORD rescanMilliseconds = 1000;
static DWORD padUser = XUSER_MAX_COUNT;  // the slot of the pad last read; XUSER_MAX_COUNT: none
static bool scanned = false;
static DWORD lastScan = 0;  // GetTickCount

bool readGamepad(GamepadState* state)
{
    *state = GamepadState{};
    static const XInputGetStateProc getState = loadXInput();
    if (!getState)
        return false;
    XINPUT_STATE read{};
    if (padUser < XUSER_MAX_COUNT && getState(padUser, &read) != ERROR_SUCCESS)
        padUser = XUSER_MAX_COUNT;
    if (padUser == XUSER_MAX_COUNT) {
        const DWORD now = GetTickCount();
        if (scanned && now - lastScan < rescanMilliseconds)
            return false;
        scanned = true;
        lastScan = now;
        for (DWORD user = 0; user < XUSER_MAX_COUNT && padUser == XUSER_MAX_COUNT; ++user)
            if (getState(user, &read) == ERROR_SUCCESS)
                padUser = user;
        if (padUser == XUSER_MAX_COUNT)
            return false;
    }
    const XINPUT_GAMEPAD& pad = read.Gamepad;
    *state = GamepadState{pad.wButtons, pad.bLeftTrigger, pad.bRightTrigger, pad.sThumbLX,
                          pad.sThumbLY, pad.sThumbRX, pad.sThumbRY};
    return true;
}
