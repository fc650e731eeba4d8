// The main window with its OpenGL context, and the window procedure that records input for the loop.
#include "app/app.h"

#include "platform/platform.h"
#include "render/render.h"
#include "text/text.h"

KeyState keyState{};
MouseButtons mouseButtons;
PixelFormat pixelFormat;
PlatformWindow* hWnd = nullptr;
PlatformSurface* hDC = nullptr;
PlatformContext* hRC = nullptr;

static const char* const className = "OpenGL";

static void reportShutdownError(const char* text)
{
    messageBox(text, "SHUTDOWN ERROR", MessageIcon::information);
}

// Releases whatever the opening made, then tells the user why it failed.
static bool failOpening(const char* text)
{
    closeMainWindow();
    messageBox(text, "ERROR", MessageIcon::exclamation);
    return false;
}

void chooseWindowPosition(bool fullscreen, int* x, int* y)
{
    // Centred by the client size, not the outer size, so the frame sits slightly right of and below centre.
    *x = fullscreen ? 0 : (screenWidth - windowWidth) / 2;
    *y = fullscreen ? 0 : (screenHeight - windowHeight) / 2;
}

bool openMainWindow(const char* title, int width, int height, int bits, bool fullscreen)
{
    viewSettings.fullscreen = fullscreen;
    int clientWidth = fullscreen ? screenWidth : width;
    int clientHeight = fullscreen ? screenHeight : height;
    int x, y;
    chooseWindowPosition(fullscreen, &x, &y);

    if (!registerWindowClass(className, windowProc)) {
        messageBox("Failed To Register The Window Class.", "ERROR", MessageIcon::exclamation);
        return false;
    }
    // Full screen is a borderless window over the whole screen at the current display mode.
    if (fullscreen)
        showCursor(false);

    hWnd = createWindow(title, x, y, clientWidth, clientHeight, fullscreen);
    if (!hWnd)
        return failOpening("Window Creation Error.");
    if (!pixelFormat.built) {
        pixelFormat.colourBits = static_cast<uint8_t>(bits);
        pixelFormat.built = true;
    }
    hDC = getSurface(hWnd);
    if (!hDC)
        return failOpening("Can't Create A GL Device Context.");
    int format = choosePixelFormat(hDC, pixelFormat.colourBits);
    if (format == 0)
        return failOpening("Can't Find A Suitable PixelFormat.");
    if (!setPixelFormat(hDC, format))
        return failOpening("Can't Set The PixelFormat.");
    hRC = createContext(hDC);
    if (!hRC)
        return failOpening("Can't Create A GL Rendering Context.");
    if (!makeCurrent(hDC, hRC))
        return failOpening("Can't Activate The GL Rendering Context.");

    showWindow(hWnd);
    resizeScene(width, height);
    if (!initScene())
        return failOpening("Initialization Failed.");
    return true;
}

void closeMainWindow()
{
    // The display mode is never changed, so only the cursor needs restoring.
    if (viewSettings.fullscreen)
        showCursor(true);
    if (hRC) {
        if (!makeCurrent(nullptr, nullptr))
            reportShutdownError("Release Of DC And RC Failed.");
        if (!deleteContext(hRC))
            reportShutdownError("Release Rendering Context Failed.");
        hRC = nullptr;
    }
    if (hDC) {
        if (!releaseSurface(hWnd, hDC))
            reportShutdownError("Release Device Context Failed.");
        hDC = nullptr;
    }
    if (hWnd) {
        if (!destroyWindow(hWnd))
            reportShutdownError("Could Not Release hWnd.");
        hWnd = nullptr;
    }
    if (!unregisterWindowClass(className))
        reportShutdownError("Could Not Unregister Class.");
    deleteFont();
}

static uint16_t lowWord(uintptr_t value)
{
    return static_cast<uint16_t>(value & 0xFFFF);
}

static uint16_t highWord(uintptr_t value)
{
    return static_cast<uint16_t>((value >> 16) & 0xFFFF);
}

intptr_t windowProc(PlatformWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    switch (message) {
    case WM_ACTIVATE:
        // Only the minimised word counts: losing the focus alone keeps the frames coming.
        viewSettings.active = highWord(wParam) == 0 ? 1 : 0;
        return 0;
    case WM_SYSCOMMAND:
        if (wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER)
            return 0;
        break;
    case WM_CLOSE:
        postQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        // Windows sends only Print Screen's release: there, and so everywhere, the release is the press,
        // taken by the loop like a switch key's.
        if (wParam == VK_SNAPSHOT) {
            keyState[VK_SNAPSHOT] |= message == WM_KEYUP ? 1 : 0;
            return 0;
        }
        // A held F12 saves one picture, not one per auto-repeat.
        if (wParam == VK_F12 && message == WM_KEYDOWN && (lParam & (intptr_t{1} << 30)))
            return 0;
        // Virtual-key codes are below 256; anything else has no entry to record.
        if (wParam < keyState.size())
            keyState[wParam] = message == WM_KEYDOWN ? 1 : 0;
        return 0;
    case WM_LBUTTONDOWN: mouseButtons.left = 1; return 0;
    case WM_LBUTTONUP: mouseButtons.left = 0; return 0;
    case WM_RBUTTONDOWN: mouseButtons.right = 1; return 0;
    case WM_RBUTTONUP: mouseButtons.right = 0; return 0;
    case WM_MBUTTONDOWN: mouseButtons.middle = 1; return 0;
    case WM_MBUTTONUP: mouseButtons.middle = 0; return 0;
    case WM_SIZE:
        resizeScene(lowWord(static_cast<uintptr_t>(lParam)), highWord(static_cast<uintptr_t>(lParam)));
        return 0;
    default:
        break;
    }
    return defWindowProc(window, message, wParam, lParam);
}

// Keys pressed since the last frame read the input, and the release held back for it.
static KeyState pressedSinceFrame{};
static Msg heldRelease{};
static bool releaseHeld = false;

bool takeMessage(Msg* msg)
{
    if (releaseHeld || !peekMessage(msg))
        return false;
    const bool key = msg->wParam < pressedSinceFrame.size();
    if (msg->message == WM_KEYUP && key && pressedSinceFrame[msg->wParam]) {
        heldRelease = *msg;
        releaseHeld = true;
        return false;
    }
    if (msg->message == WM_KEYDOWN && key)
        pressedSinceFrame[msg->wParam] = 1;
    return true;
}

void frameTookInput()
{
    pressedSinceFrame.fill(0);
    if (releaseHeld) {
        releaseHeld = false;
        dispatchMessage(&heldRelease);
    }
}
