// Win32 backend of the window, context, screen, cursor, message-box and message-queue parts of the
// platform contract: USER32, GDI32 and WGL called directly. Handles are passed through as they are:
// a PlatformWindow* is the HWND, a PlatformSurface* the HDC, a PlatformContext* the HGLRC.
#include "platform/platform.h"

#include "platform/win32_text.h"

// The build defines these so that GL/gl.h does without windows.h elsewhere; windows.h defines them here.
#undef APIENTRY
#undef WINGDIAPI
#undef CALLBACK
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <io.h>
#include <shellapi.h>

#include <cstdio>

static HWND hwndOf(PlatformWindow* window)
{
    return reinterpret_cast<HWND>(window);
}

static HDC hdcOf(PlatformSurface* surface)
{
    return reinterpret_cast<HDC>(surface);
}

// Whether a standard stream reaches a file, pipe or console.
static bool streamOpen(FILE* stream)
{
    const int descriptor = _fileno(stream);
    if (descriptor < 0)
        return false;
    const intptr_t handle = _get_osfhandle(descriptor);
    return handle != 0 && handle != -1 && handle != -2;
}

void prepareStandardStreams()
{
    // A GUI program has no standard streams unless they are redirected. Started from a console, it
    // writes there (--help, --version, the size line); otherwise its output goes to the null device,
    // so that writing it is no failure and no file opened later takes its place.
    const bool console = !streamOpen(stdout) && AttachConsole(ATTACH_PARENT_PROCESS);
    if (!streamOpen(stdin))
        std::freopen(console ? "CONIN$" : "NUL", "r", stdin);
    for (FILE* stream : {stdout, stderr}) {
        if (!streamOpen(stream))
            std::freopen(console ? "CONOUT$" : "NUL", "w", stream);
    }
}

std::vector<std::string> programArguments(int argc, char** argv)
{
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) {
        for (int i = 1; i < argc; ++i)
            arguments.emplace_back(argv[i]);
        return arguments;
    }
    for (int i = 1; i < count; ++i)
        arguments.push_back(narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

bool reachDisplay(std::string* problem)
{
    // Real pixels: a program that is not DPI aware gets a scaled-down screen and a stretched window.
    SetProcessDPIAware();
    if (GetSystemMetrics(SM_CXSCREEN) > 0 && GetSystemMetrics(SM_CYSCREEN) > 0)
        return true;
    *problem = "the desktop has no screen";
    return false;
}

std::string executableFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::string folder = narrow(path.c_str());
    for (char& c : folder)
        c = c == '\\' ? '/' : c;
    folder.erase(folder.find_last_of('/') + 1);
    return folder;
}

int getScreenWidth()
{
    return GetSystemMetrics(SM_CXSCREEN);
}

int getScreenHeight()
{
    return GetSystemMetrics(SM_CYSCREEN);
}

uint32_t getTickCount()
{
    return GetTickCount();
}

bool getCursorPos(int* x, int* y)
{
    POINT point;
    if (!GetCursorPos(&point))
        return false;
    *x = point.x;
    *y = point.y;
    return true;
}

void setCursorPos(int x, int y)
{
    SetCursorPos(x, y);
}

void showCursor(bool show)
{
    ShowCursor(show ? TRUE : FALSE);
}

void messageBox(const char* text, const char* caption, MessageIcon icon)
{
    if (!reportMessage(text, caption))
        return;
    const UINT style = MB_OK | (icon == MessageIcon::exclamation ? MB_ICONEXCLAMATION : MB_ICONINFORMATION);
    // Wide, so that a folder named in the text shows as it is spelt.
    MessageBoxW(nullptr, widen(boxText(text).c_str()).c_str(), widen(caption).c_str(), style);
}

bool cursorWarps()
{
    return true;
}

// Pointer motion over the window: the x changes between the WM_MOUSEMOVE positions inside it, summed
// until taken. The reference is dropped when the pointer leaves the window or a new window is made.
static int motionX = 0;
static int referenceX = 0;
static bool hasReference = false;

int takeMouseMotion()
{
    const int moved = motionX;
    motionX = 0;
    return moved;
}

static void trackMotion(HWND hwnd, UINT message, LPARAM lParam)
{
    if (message == WM_MOUSELEAVE) {
        hasReference = false;
        return;
    }
    if (message != WM_MOUSEMOVE)
        return;
    const int x = static_cast<int16_t>(LOWORD(lParam));
    if (hasReference) {
        motionX += x - referenceX;
    } else {
        TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&leave);
    }
    hasReference = true;
    referenceX = x;
}

// The one registered window class: its name and the procedure its messages go to.
static std::wstring className;
static WindowProc classProc = nullptr;

static LRESULT CALLBACK classWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    trackMotion(hwnd, message, lParam);
    if (!classProc)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    return classProc(reinterpret_cast<PlatformWindow*>(hwnd), message, wParam, lParam);
}

bool registerWindowClass(const char* name, WindowProc proc)
{
    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = classWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32517));  // IDI_WINLOGO
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    const std::wstring wideName = widen(name);
    windowClass.lpszClassName = wideName.c_str();
    if (!RegisterClassW(&windowClass))
        return false;
    className = wideName;
    classProc = proc;
    return true;
}

bool unregisterWindowClass(const char* name)
{
    if (!UnregisterClassW(widen(name).c_str(), GetModuleHandleW(nullptr)))
        return false;
    className.clear();
    classProc = nullptr;
    return true;
}

PlatformWindow* createWindow(const char* title, int x, int y, int width, int height, bool fullscreen)
{
    const DWORD style = fullscreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    const DWORD exStyle = fullscreen ? WS_EX_APPWINDOW : WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
    // The outer rectangle around the asked client area; the position stays that of the outer corner.
    RECT rect{0, 0, width, height};
    hasReference = false;
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    HWND hwnd = CreateWindowExW(exStyle, className.c_str(), widen(title).c_str(),
                                style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, fullscreen ? 0 : x, fullscreen ? 0 : y,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    return reinterpret_cast<PlatformWindow*>(hwnd);
}

bool destroyWindow(PlatformWindow* window)
{
    return window && DestroyWindow(hwndOf(window));
}

PlatformSurface* getSurface(PlatformWindow* window)
{
    return window ? reinterpret_cast<PlatformSurface*>(GetDC(hwndOf(window))) : nullptr;
}

bool releaseSurface(PlatformWindow* window, PlatformSurface* surface)
{
    return window && surface && ReleaseDC(hwndOf(window), hdcOf(surface)) == 1;
}

// The descriptor of the last choosePixelFormat, which SetPixelFormat is given with the chosen format.
static PIXELFORMATDESCRIPTOR pixelFormatDescriptor;

int choosePixelFormat(PlatformSurface* surface, int colourBits)
{
    if (!surface || colourBits <= 0)
        return 0;
    pixelFormatDescriptor = PIXELFORMATDESCRIPTOR{};
    pixelFormatDescriptor.nSize = sizeof pixelFormatDescriptor;
    pixelFormatDescriptor.nVersion = 1;
    pixelFormatDescriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pixelFormatDescriptor.iPixelType = PFD_TYPE_RGBA;
    pixelFormatDescriptor.cColorBits = static_cast<BYTE>(colourBits);
    pixelFormatDescriptor.cDepthBits = 16;
    pixelFormatDescriptor.iLayerType = PFD_MAIN_PLANE;
    return ChoosePixelFormat(hdcOf(surface), &pixelFormatDescriptor);
}

bool setPixelFormat(PlatformSurface* surface, int format)
{
    return surface && format > 0 && SetPixelFormat(hdcOf(surface), format, &pixelFormatDescriptor);
}

PlatformContext* createContext(PlatformSurface* surface)
{
    return surface ? reinterpret_cast<PlatformContext*>(wglCreateContext(hdcOf(surface))) : nullptr;
}

bool makeCurrent(PlatformSurface* surface, PlatformContext* context)
{
    if (!surface != !context)
        return false;
    return wglMakeCurrent(hdcOf(surface), reinterpret_cast<HGLRC>(context));
}

bool deleteContext(PlatformContext* context)
{
    return context && wglDeleteContext(reinterpret_cast<HGLRC>(context));
}

void showWindow(PlatformWindow* window)
{
    if (!window)
        return;
    ShowWindow(hwndOf(window), SW_SHOW);
    SetForegroundWindow(hwndOf(window));
    SetFocus(hwndOf(window));
}

void swapBuffers(PlatformSurface* surface)
{
    if (surface)
        SwapBuffers(hdcOf(surface));
}

using WglSwapIntervalExt = BOOL(WINAPI*)(int interval);
static WglSwapIntervalExt wglSwapIntervalExt = nullptr;

static bool callSwapInterval(int interval)
{
    return wglSwapIntervalExt(interval) != FALSE;
}

SwapIntervalProc getSwapIntervalProc()
{
    // Each context has its own entry points, so the address is asked for again every time.
    wglSwapIntervalExt = reinterpret_cast<WglSwapIntervalExt>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    return wglSwapIntervalExt ? callSwapInterval : nullptr;
}

// The US layout's virtual-key code of a driving key's place, from a key message's scan code (lParam bits
// 16 to 23, set 1, bit 24 the extended prefix); 0 for any other place.
static uint8_t drivingPlace(LPARAM lParam)
{
    if ((lParam >> 24) & 1)
        return 0;
    switch ((lParam >> 16) & 0xFF) {
    case 0x11: return 'W';
    case 0x1E: return 'A';
    case 0x1F: return 'S';
    case 0x20: return 'D';
    case 0x12: return 'E';
    case 0x10: return 'Q';
    case 0x39: return VK_SPACE;
    default: return 0;
    }
}

// Puts a key message's virtual-key code through keyByPosition; false when the key records nothing.
static bool placeKey(MSG* taken)
{
    const bool key = taken->message == WM_KEYDOWN || taken->message == WM_KEYUP || taken->message == WM_SYSKEYDOWN ||
                     taken->message == WM_SYSKEYUP;
    if (!key || taken->wParam > 0xFF)
        return true;
    taken->wParam = keyByPosition(static_cast<uint8_t>(taken->wParam), ((taken->lParam >> 16) & 0xFF) != 0,
                                  drivingPlace(taken->lParam));
    return taken->wParam != 0;
}

bool peekMessage(Msg* msg)
{
    MSG taken;
    do {
        if (!PeekMessageW(&taken, nullptr, 0, 0, PM_REMOVE))
            return false;
    } while (!placeKey(&taken));
    *msg = Msg{taken.message, taken.wParam, taken.lParam, reinterpret_cast<PlatformWindow*>(taken.hwnd)};
    return true;
}

intptr_t dispatchMessage(const Msg* msg)
{
    MSG native{};
    native.hwnd = hwndOf(msg->window);
    native.message = msg->message;
    native.wParam = msg->wParam;
    native.lParam = msg->lParam;
    native.time = GetMessageTime();
    TranslateMessage(&native);
    return DispatchMessageW(&native);
}

intptr_t defWindowProc(PlatformWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    return DefWindowProcW(hwndOf(window), message, wParam, lParam);
}

void postQuitMessage(int exitCode)
{
    PostQuitMessage(exitCode);
}
