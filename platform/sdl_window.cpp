// SDL2 backend of the window, context, screen, cursor, message-box and message-queue parts of the platform contract.
#include "platform/platform.h"
#include "platform/sdl_backend.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

struct PlatformWindow {
    SDL_Window* window;
    Uint32 flags;  // as created, to create it again for a pixel format
    int x, y;      // asked position
};
struct PlatformSurface {
    PlatformWindow* owner;
};
struct PlatformContext {
    SDL_GLContext context;
};

// Key of the SDL window data that leads from an SDL window back to its PlatformWindow.
static const char* const windowDataKey = "kestra.window";

static bool ensureVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    // A Windows program has no signal-driven quit; let SIGINT and SIGTERM end the process as usual.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A full-screen window stays up, and drawing, when another window takes the focus.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    installXErrorHandlers();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    // Keep the GL driver loaded for the whole run instead of reloading it for every window (F1).
    // Video is never shut down either: the process exit releases the display connection.
    SDL_GL_LoadLibrary(nullptr);
    return true;
}

static bool headless(const char* driver)
{
    return driver && (SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0 ||
                      SDL_strcasecmp(driver, "evdev") == 0);
}

// SDL falls back to a driver without any screen when no desktop answers; such a driver is
// used only when asked for by name.
static bool headlessDriverUnasked()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver)
        return true;
    if (!headless(driver))
        return false;
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    return !asked || !SDL_strcasestr(asked, driver);
}

std::vector<std::string> programArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

// The window system needs a few descriptors of its own (its connection, the GL driver's device files);
// with fewer free than this a failed start is blamed on the descriptor limit.
static constexpr int descriptorsNeeded = 4;

// True when fewer than descriptorsNeeded descriptors can be opened now.
static bool descriptorsShort()
{
    int opened[descriptorsNeeded], count = 0;
    while (count < descriptorsNeeded && (opened[count] = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0)
        ++count;
    for (int i = 0; i < count; ++i)
        ::close(opened[i]);
    return count < descriptorsNeeded;
}

bool reachDisplay(std::string* problem)
{
    const bool reached = ensureVideo();
    if (reached && !headlessDriverUnasked())
        return true;
    if (descriptorsShort()) {
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        *problem = "too few free file descriptors to open a window (the limit is " +
                   std::to_string(limit.rlim_cur) + "; raise it with ulimit -n)";
    } else if (!reached) {
        *problem = SDL_GetError();
    } else {
        *problem = "cannot reach an X11 or Wayland desktop; check DISPLAY or WAYLAND_DISPLAY "
                   "(SDL_VIDEODRIVER=offscreen runs the viewer without a screen)";
    }
    return false;
}

std::string executableFolder()
{
    char* base = SDL_GetBasePath();
    std::string folder = base ? base : "";
    SDL_free(base);
    return folder;
}

int getScreenWidth()
{
    SDL_DisplayMode mode;
    if (!ensureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return 0;
    return mode.w;
}

int getScreenHeight()
{
    SDL_DisplayMode mode;
    if (!ensureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return 0;
    return mode.h;
}

uint32_t getTickCount()
{
    return static_cast<uint32_t>(SDL_GetTicks64());
}

bool getCursorPos(int* x, int* y)
{
    if (!ensureVideo())
        return false;
    SDL_GetGlobalMouseState(x, y);
    return true;
}

void setCursorPos(int x, int y)
{
    if (ensureVideo())
        SDL_WarpMouseGlobal(x, y);
}

static bool cursorShown = true;

void showCursor(bool show)
{
    if (!ensureVideo())
        return;
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    cursorShown = show;
    if (show)
        SDL_SetRelativeMouseMode(SDL_FALSE);
}

static bool videoDriverIs(const char* name)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && SDL_strcasecmp(driver, name) == 0;
}

bool cursorWarps()
{
    // A Wayland client cannot move the pointer. Xwayland (an X11 client with a Wayland display beside
    // it) emulates a move only while the cursor is hidden over its window; with the cursor shown the
    // pointer stays where the user put it, while X11 reports the asked position until the next motion.
    if (videoDriverIs("wayland"))
        return false;
    return !(videoDriverIs("x11") && cursorShown && std::getenv("WAYLAND_DISPLAY"));
}

// Pointer motion over the window: the x changes between the positions reported inside it, summed
// until taken. The reference is dropped whenever the pointer enters or leaves, or a window is made.
static int motionX = 0;
static bool haveReference = false;
static int referenceX = 0;

int takeMouseMotion()
{
    int moved = motionX;
    motionX = 0;
    return moved;
}

void messageBox(const char* text, const char* caption, MessageIcon icon)
{
    if (!reportMessage(text, caption))
        return;
    // A headless driver has no screen to show a box on; SDL would still try its X11 box.
    const char* driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
    if (headless(driver))
        return;
    installXErrorHandlers();
    Uint32 flags = icon == MessageIcon::exclamation ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(flags, caption, boxText(text).c_str(), nullptr);
}

// The one registered window class: its name and the procedure its messages go to.
static char className[64];
static WindowProc classProc = nullptr;

bool registerWindowClass(const char* name, WindowProc proc)
{
    if (!ensureVideo())
        return false;
    SDL_strlcpy(className, name, sizeof className);
    classProc = proc;
    return true;
}

bool unregisterWindowClass(const char* name)
{
    if (className[0] == '\0' || std::strcmp(className, name) != 0)
        return false;
    className[0] = '\0';
    classProc = nullptr;
    return true;
}

PlatformWindow* createWindow(const char* title, int x, int y, int width, int height, bool fullscreen)
{
    if (!ensureVideo())
        return nullptr;
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    // A framed window's position is its frame's top-left corner: window managers place a
    // north-west-gravity window's frame at the asked position, as Windows does.
    flags |= fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_RESIZABLE;
    SDL_Window* w = SDL_CreateWindow(title, fullscreen ? 0 : x, fullscreen ? 0 : y, width, height, flags);
    if (!w)
        return nullptr;
    PlatformWindow* window = new PlatformWindow{w, flags, fullscreen ? 0 : x, fullscreen ? 0 : y};
    SDL_SetWindowData(w, windowDataKey, window);
    haveReference = false;
    return window;
}

bool destroyWindow(PlatformWindow* window)
{
    if (!window)
        return false;
    SDL_DestroyWindow(window->window);
    delete window;
    return true;
}

PlatformSurface* getSurface(PlatformWindow* window)
{
    return window ? new PlatformSurface{window} : nullptr;
}

bool releaseSurface(PlatformWindow* window, PlatformSurface* surface)
{
    if (!surface)
        return false;
    bool ownSurface = window && surface->owner == window;
    delete surface;
    return ownSurface;
}

// The formats on offer, numbered from 1: colour bits and the smallest red, green and blue depths.
struct OfferedFormat {
    int colourBits, red, green, blue;
};
static constexpr OfferedFormat pixelFormats[] = {{16, 5, 6, 5}, {24, 8, 8, 8}, {32, 8, 8, 8}};
static constexpr int pixelFormatCount = sizeof pixelFormats / sizeof pixelFormats[0];
static constexpr int depthBits = 16;  // asked of every format; the driver gives this or the nearest

int choosePixelFormat(PlatformSurface* surface, int colourBits)
{
    if (!surface || colourBits <= 0)
        return 0;
    // As ChoosePixelFormat: the nearest depth on offer.
    int best = 0;
    for (int k = 1; k < pixelFormatCount; ++k)
        if (std::abs(pixelFormats[k].colourBits - colourBits) <= std::abs(pixelFormats[best].colourBits - colourBits))
            best = k;
    return best + 1;
}

bool setPixelFormat(PlatformSurface* surface, int format)
{
    if (!surface || format < 1 || format > pixelFormatCount)
        return false;
    const OfferedFormat& offer = pixelFormats[format - 1];
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, offer.red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, offer.green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, offer.blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    // SDL fixes a window's visual when it makes the window, so the still hidden window is made again
    // under the new attributes, in its place; on X11 with the visual chosen here ("" leaves it to SDL).
    PlatformWindow* window = surface->owner;
    int width = 0, height = 0;
    SDL_GetWindowSize(window->window, &width, &height);
    SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID,
                nearestDepthVisual(window->window, offer.red, offer.green, offer.blue, depthBits).c_str());
    SDL_Window* fresh =
        SDL_CreateWindow(SDL_GetWindowTitle(window->window), window->x, window->y, width, height, window->flags);
    if (!fresh)
        return false;
    SDL_DestroyWindow(window->window);
    window->window = fresh;
    SDL_SetWindowData(fresh, windowDataKey, window);
    return true;
}

PlatformContext* createContext(PlatformSurface* surface)
{
    if (!surface)
        return nullptr;
    // On X11 no profile: SDL's GLX path then makes the context from the window's own visual, not from GLX's
    // first configuration (whose depth buffer is the largest), and GLX gives a compatibility context anyway.
    // Elsewhere the compatibility profile: a profile-less EGL context left llvmpipe threads that crash
    // LeakSanitizer's thread tracer at exit.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, videoDriverIs("x11") ? 0 : SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GLContext c = SDL_GL_CreateContext(surface->owner->window);
    if (!c)
        return nullptr;
    return new PlatformContext{c};
}

bool makeCurrent(PlatformSurface* surface, PlatformContext* context)
{
    if (!surface && !context)
        return SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr) == 0;
    if (!surface || !context)
        return false;
    return SDL_GL_MakeCurrent(surface->owner->window, context->context) == 0;
}

bool deleteContext(PlatformContext* context)
{
    if (!context)
        return false;
    SDL_GL_DeleteContext(context->context);
    delete context;
    return true;
}

void showWindow(PlatformWindow* window)
{
    if (!window)
        return;
    SDL_ShowWindow(window->window);
    // On Wayland raising asks for an activation token, which may come back after a failed start has
    // destroyed the window; sway 1.7 then activates the dead surface and crashes. Wayland compositors
    // give a new window the keyboard focus themselves.
    if (!videoDriverIs("wayland"))
        SDL_RaiseWindow(window->window);
    // A hidden cursor on Wayland is locked in place, so that turning does not stop at the screen's edge.
    // Without a pointer on the seat this fails, and the motion of the free pointer turns instead.
    else if (!cursorShown)
        SDL_SetRelativeMouseMode(SDL_TRUE);
}

void swapBuffers(PlatformSurface* surface)
{
    if (surface)
        SDL_GL_SwapWindow(surface->owner->window);
}

static bool sdlSwapInterval(int interval)
{
    return SDL_GL_SetSwapInterval(interval) == 0;
}

SwapIntervalProc getSwapIntervalProc()
{
    return SDL_GL_GetCurrentContext() ? sdlSwapInterval : nullptr;
}

// ---- Message queue: a fixed ring of translated messages, and the quit request that comes last. Events
// are translated only while the ring has room for the one message each makes at most; the rest wait in
// SDL's own queue, so that no message is lost.

static constexpr unsigned queueSize = 256;
static Msg queue[queueSize];
static unsigned queueHead = 0, queueCount = 0;
static bool quitPending = false;
static int quitCode = 0;

static void postMessage(PlatformWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    queue[(queueHead + queueCount) % queueSize] = Msg{message, wParam, lParam, window};
    ++queueCount;
}

static PlatformWindow* windowOf(Uint32 windowID)
{
    SDL_Window* w = SDL_GetWindowFromID(windowID);
    return w ? static_cast<PlatformWindow*>(SDL_GetWindowData(w, windowDataKey)) : nullptr;
}

// Windows virtual-key code of an SDL key, 0 when it has none.
static uint8_t virtualKey(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return static_cast<uint8_t>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9)
        return static_cast<uint8_t>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return static_cast<uint8_t>(VK_F1 + (key - SDLK_F1));
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9)
        return static_cast<uint8_t>(0x61 + (key - SDLK_KP_1));  // VK_NUMPAD1..9
    switch (key) {
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_CAPSLOCK: return VK_CAPITAL;
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_PRINTSCREEN: return VK_SNAPSHOT;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_KP_0: return 0x60;         // VK_NUMPAD0
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    case SDLK_NUMLOCKCLEAR: return 0x90;
    case SDLK_SCROLLLOCK: return 0x91;
    case SDLK_SEMICOLON: return 0xBA;    // the VK_OEM_ codes of a US keyboard
    case SDLK_EQUALS: return 0xBB;
    case SDLK_COMMA: return 0xBC;
    case SDLK_MINUS: return 0xBD;
    case SDLK_PERIOD: return 0xBE;
    case SDLK_SLASH: return 0xBF;
    case SDLK_BACKQUOTE: return 0xC0;
    case SDLK_LEFTBRACKET: return 0xDB;
    case SDLK_BACKSLASH: return 0xDC;
    case SDLK_RIGHTBRACKET: return 0xDD;
    case SDLK_QUOTE: return 0xDE;
    default: return 0;
    }
}

// The US layout's virtual-key code of a driving key's place, 0 for any other place.
static uint8_t drivingPlace(SDL_Scancode place)
{
    switch (place) {
    case SDL_SCANCODE_W: return 'W';
    case SDL_SCANCODE_A: return 'A';
    case SDL_SCANCODE_S: return 'S';
    case SDL_SCANCODE_D: return 'D';
    case SDL_SCANCODE_E: return 'E';
    case SDL_SCANCODE_Q: return 'Q';
    case SDL_SCANCODE_SPACE: return VK_SPACE;
    default: return 0;
    }
}

static void translateKey(const SDL_KeyboardEvent& key)
{
    const SDL_Scancode place = key.keysym.scancode;
    uint8_t vk = keyByPosition(virtualKey(key.keysym.sym), place != SDL_SCANCODE_UNKNOWN, drivingPlace(place));
    PlatformWindow* window = windowOf(key.windowID);
    if (vk == 0 || !window)
        return;
    bool down = key.type == SDL_KEYDOWN;
    bool alt = (key.keysym.mod & KMOD_ALT) != 0;
    // Windows delivers F10, Alt itself and anything pressed with Alt as system keys.
    bool system = alt || vk == VK_F10 || vk == VK_MENU;
    uint32_t message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    uint32_t flags = 1u | (alt ? 1u << 29 : 0u) | ((!down || key.repeat) ? 1u << 30 : 0u) | (down ? 0u : 1u << 31);
    postMessage(window, message, vk, static_cast<intptr_t>(flags));
}

static void translateButton(const SDL_MouseButtonEvent& button)
{
    PlatformWindow* window = windowOf(button.windowID);
    if (!window)
        return;
    bool down = button.type == SDL_MOUSEBUTTONDOWN;
    uint32_t message;
    switch (button.button) {
    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    default: return;
    }
    intptr_t position = (button.x & 0xFFFF) | ((button.y & 0xFFFF) << 16);
    postMessage(window, message, 0, position);
}

static void translateWindowEvent(const SDL_WindowEvent& event)
{
    PlatformWindow* window = windowOf(event.windowID);
    if (!window)
        return;
    switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        postMessage(window, WM_SIZE, 0, (event.data1 & 0xFFFF) | ((event.data2 & 0xFFFF) << 16));
        break;
    // Only minimising and restoring change WM_ACTIVATE's minimised word; focus changes leave it 0,
    // so they are not passed on.
    case SDL_WINDOWEVENT_MINIMIZED:
        postMessage(window, WM_ACTIVATE, WA_INACTIVE | (uintptr_t{1} << 16), 0);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        postMessage(window, WM_ACTIVATE, WA_ACTIVE, 0);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        postMessage(window, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_ENTER:
    case SDL_WINDOWEVENT_LEAVE:
        haveReference = false;
        break;
    default:
        break;
    }
}

static void trackMotion(const SDL_MouseMotionEvent& motion)
{
    if (!windowOf(motion.windowID))
        return;
    if (SDL_GetRelativeMouseMode()) {
        motionX += motion.xrel;
        return;
    }
    if (haveReference)
        motionX += motion.x - referenceX;
    referenceX = motion.x;
    haveReference = true;
}

static void translateEvents()
{
    if (!SDL_WasInit(SDL_INIT_VIDEO))
        return;
    SDL_Event e;
    while (queueCount < queueSize && SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            translateKey(e.key);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            translateButton(e.button);
            break;
        case SDL_WINDOWEVENT:
            translateWindowEvent(e.window);
            break;
        case SDL_MOUSEMOTION:
            trackMotion(e.motion);
            break;
        default:
            break;  // SDL_QUIT only repeats a window's close request
        }
    }
}

bool peekMessage(Msg* msg)
{
    if (queueCount == 0)
        translateEvents();
    if (queueCount > 0) {
        *msg = queue[queueHead];
        queueHead = (queueHead + 1) % queueSize;
        --queueCount;
        return true;
    }
    if (quitPending) {
        quitPending = false;
        *msg = Msg{WM_QUIT, static_cast<uintptr_t>(quitCode), 0, nullptr};
        return true;
    }
    return false;
}

intptr_t dispatchMessage(const Msg* msg)
{
    return classProc ? classProc(msg->window, msg->message, msg->wParam, msg->lParam) : 0;
}

intptr_t defWindowProc(PlatformWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    bool altHeld = (static_cast<uintptr_t>(lParam) >> 29) & 1;
    if (message == WM_SYSKEYDOWN && wParam == VK_F4 && altHeld)
        return classProc ? classProc(window, WM_SYSCOMMAND, SC_CLOSE, 0) : 0;
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE)
        return classProc ? classProc(window, WM_CLOSE, 0, 0) : 0;
    return 0;
}

void postQuitMessage(int exitCode)
{
    quitPending = true;
    quitCode = exitCode;
}
