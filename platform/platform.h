// The window-system contract: everything the viewer needs from the desktop, in Windows terms.
// One backend per system implements it (SDL2 in platform/sdl_*.cpp, Win32 and WGL in
// platform/win32_*.cpp); no other folder includes SDL or windows.h. Every text is UTF-8, paths too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// ---- Window messages, with the Windows numbers the window procedure is written against.
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_ACTIVATE = 0x0006;
constexpr uint32_t WM_CLOSE = 0x0010;
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
constexpr uint32_t WM_SYSKEYUP = 0x0105;
constexpr uint32_t WM_SYSCOMMAND = 0x0112;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uintptr_t SC_CLOSE = 0xF060;
constexpr uintptr_t SC_SCREENSAVE = 0xF140;
constexpr uintptr_t SC_MONITORPOWER = 0xF170;
// WM_ACTIVATE's low word.
constexpr uintptr_t WA_INACTIVE = 0, WA_ACTIVE = 1;

// ---- Windows virtual-key codes (the index of KeyState). Letters and digits are their ASCII capitals.
constexpr uint8_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11;
constexpr uint8_t VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20;
constexpr uint8_t VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24;
constexpr uint8_t VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28;
constexpr uint8_t VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E;
constexpr uint8_t VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72, VK_F4 = 0x73, VK_F5 = 0x74, VK_F6 = 0x75;
constexpr uint8_t VK_F7 = 0x76, VK_F8 = 0x77, VK_F9 = 0x78, VK_F10 = 0x79, VK_F11 = 0x7A, VK_F12 = 0x7B;

// The virtual-key code a key event records. The driving keys W, A, S, D, E, Q and Space go by their place
// on the keyboard, wherever a layout puts their letters: positionKey is the code of the US layout's key at
// the event's place when it is one of them, else 0. Every other key keeps the layout's code layoutKey,
// except that a driving letter the layout puts elsewhere records nothing (0). An event without a known
// place (placed false, as injected keys may come) keeps layoutKey.
uint8_t keyByPosition(uint8_t layoutKey, bool placed, uint8_t positionKey);

// ---- Gamepad buttons, the bits of GamepadState.wButtons, with XInput's names and values.
constexpr uint16_t XINPUT_GAMEPAD_DPAD_UP = 0x0001, XINPUT_GAMEPAD_DPAD_DOWN = 0x0002;
constexpr uint16_t XINPUT_GAMEPAD_DPAD_LEFT = 0x0004, XINPUT_GAMEPAD_DPAD_RIGHT = 0x0008;
constexpr uint16_t XINPUT_GAMEPAD_START = 0x0010, XINPUT_GAMEPAD_BACK = 0x0020;
constexpr uint16_t XINPUT_GAMEPAD_LEFT_THUMB = 0x0040, XINPUT_GAMEPAD_RIGHT_THUMB = 0x0080;
constexpr uint16_t XINPUT_GAMEPAD_LEFT_SHOULDER = 0x0100, XINPUT_GAMEPAD_RIGHT_SHOULDER = 0x0200;
constexpr uint16_t XINPUT_GAMEPAD_A = 0x1000, XINPUT_GAMEPAD_B = 0x2000, XINPUT_GAMEPAD_X = 0x4000;
constexpr uint16_t XINPUT_GAMEPAD_Y = 0x8000;

struct PlatformWindow;   // a top-level window (Windows: HWND)
struct PlatformSurface;  // the window's drawing surface (Windows: HDC)
struct PlatformContext;  // an OpenGL rendering context (Windows: HGLRC)

// One queued window message. lParam packs width (low word) and height (high word) for WM_SIZE and
// the cursor's client x and y for mouse buttons; for keys bit 29 is Alt held, bit 30 the key was
// already down (auto-repeat), bit 31 released. wParam's high word is the minimised state for WM_ACTIVATE.
struct Msg {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    PlatformWindow* window = nullptr;  // the window it is for; null for WM_QUIT
};

using WindowProc = intptr_t (*)(PlatformWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// ---- Process start.
// Opens the null device on each of the standard descriptors 0, 1 and 2 that is closed, so that no file
// or connection opened later takes its place, and makes a write to a pipe without a reader fail with
// EPIPE instead of ending the process. Called first, before anything opens a file or a connection.
// On Windows a program without a console of its own writes to the console it was started from, when
// its output is not redirected.
void prepareStandardStreams();
// The program's arguments after its name, as UTF-8 (on Windows read from the wide command line, so that
// any path can be named).
std::vector<std::string> programArguments(int argc, char** argv);

// ---- Display and program location.
// Starts the window system; false with the reason in *problem when no display can be reached. A
// headless driver (offscreen, dummy) counts only when SDL_VIDEODRIVER names it. From then on an X
// error or a lost X connection ends the process with status 1 after one line on stderr naming it.
bool reachDisplay(std::string* problem);
// Folder of the running executable, ending in '/' (also on Windows); empty when it cannot be found.
std::string executableFolder();

// ---- Screen, time, cursor.
// Size of the primary screen in pixels (GetSystemMetrics SM_CXSCREEN / SM_CYSCREEN).
int getScreenWidth();
int getScreenHeight();
// Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount).
uint32_t getTickCount();
// Global cursor position in screen pixels; false when it cannot be read (GetCursorPos / SetCursorPos).
bool getCursorPos(int* x, int* y);
void setCursorPos(int x, int y);
// Shows or hides the mouse cursor over the program's windows (ShowCursor).
void showCursor(bool show);
// Whether setCursorPos really moves the pointer (Windows: always true). Where it cannot, the mouse
// turns the view by takeMouseMotion instead of by the cursor's offset from the screen centre.
bool cursorWarps();
// Horizontal pointer motion over the program's window since the last call, in pixels, rightwards
// positive (Windows: the sum of the x changes between successive WM_MOUSEMOVE positions). The first
// position after the pointer enters the window only sets the reference, so entering is not motion.
int takeMouseMotion();

// ---- Gamepad (XInput's XINPUT_GAMEPAD), polled once a frame.
struct GamepadState {
    uint16_t wButtons = 0;      // XINPUT_GAMEPAD_* bits of the buttons held
    uint8_t bLeftTrigger = 0;   // 0 released .. 255 fully pulled
    uint8_t bRightTrigger = 0;  // 0 .. 255
    int16_t sThumbLX = 0;       // left stick, -32768 .. 32767, right positive
    int16_t sThumbLY = 0;       // up positive
    int16_t sThumbRX = 0;       // right stick, as the left
    int16_t sThumbRY = 0;
    bool operator==(const GamepadState&) const = default;
};
// The state of the first gamepad connected, one plugged in since the last call included (XInputGetState);
// false, with *state all released, when there is none.
bool readGamepad(GamepadState* state);

// ---- Message boxes: modal, no owner window. The text is also written to stderr as "CAPTION: text",
// whole; the box shows it cut to fit (boxText). Under a headless driver no box is shown.
enum class MessageIcon { exclamation, information };
void messageBox(const char* text, const char* caption, MessageIcon icon);
// false: messageBox writes stderr only and waits on no one (unattended runs such as the timed demo).
void showMessageBoxes(bool show);
// The text a box shows: at most boxLines lines of at most boxColumns characters, each cut line and a
// cut text ending in "...".
constexpr size_t boxLines = 24, boxColumns = 100;
std::string boxText(const std::string& text);
// messageBox's first step in every backend: writes "CAPTION: text" to stderr; false when boxes are off.
bool reportMessage(const char* text, const char* caption);

// ---- Window class, window, surface, pixel format and context, in the order the opening uses them.
// Makes the windowing system ready and routes dispatched messages to proc; false on failure.
bool registerWindowClass(const char* className, WindowProc proc);
bool unregisterWindowClass(const char* className);
// Creates a hidden window: framed and resizable with a client area of width x height whose outer
// top-left corner is at (x, y), or borderless covering the screen at (0, 0). Null on failure.
PlatformWindow* createWindow(const char* title, int x, int y, int width, int height, bool fullscreen);
bool destroyWindow(PlatformWindow* window);
PlatformSurface* getSurface(PlatformWindow* window);
bool releaseSurface(PlatformWindow* window, PlatformSurface* surface);
// Double-buffered RGBA with colourBits colour depth and a 16-bit (or nearest) depth buffer.
// Returns a format number, 0 when none fits.
int choosePixelFormat(PlatformSurface* surface, int colourBits);
bool setPixelFormat(PlatformSurface* surface, int format);
PlatformContext* createContext(PlatformSurface* surface);
// Makes context current on surface; both null releases the current context.
bool makeCurrent(PlatformSurface* surface, PlatformContext* context);
bool deleteContext(PlatformContext* context);
// Shows the window, brings it to the front and gives it the keyboard focus.
void showWindow(PlatformWindow* window);
// Presents the back buffer of the surface's window.
void swapBuffers(PlatformSurface* surface);
// Swap control of the current context ("wglSwapIntervalEXT"); null when the context has none.
using SwapIntervalProc = bool (*)(int interval);
SwapIntervalProc getSwapIntervalProc();

// ---- A hidden window with a current OpenGL context and nothing more, for tests, benchmarks and fuzzing.
struct BareContext {
    PlatformWindow* window = nullptr;
    PlatformSurface* surface = nullptr;
    PlatformContext* context = nullptr;
};
// Opens it with the calls above, in the order the viewer's window opening makes them; false, with
// whatever was made released, when none can be had.
bool openBareContext(int width, int height, BareContext* out);
// Releases what openBareContext made and leaves *bare empty.
void closeBareContext(BareContext* bare);

// ---- The message queue.
// Takes the next waiting message, translating pending window-system events into messages when the
// queue is empty; WM_QUIT comes only once nothing else is waiting. False if there is no message.
// Keys arrive as WM_KEYDOWN/WM_KEYUP with Windows virtual-key codes, again on auto-repeat; F10, Alt
// and any key while Alt is held arrive as WM_SYSKEYDOWN/WM_SYSKEYUP. Minimising and restoring give
// WM_ACTIVATE, a new client size WM_SIZE, a close request WM_CLOSE.
bool peekMessage(Msg* msg);
// Delivers a taken message to the window procedure of the class.
intptr_t dispatchMessage(const Msg* msg);
// Default handling of messages the window procedure does not act on: Alt+F4 becomes SC_CLOSE,
// SC_CLOSE becomes WM_CLOSE, both sent at once to the class's procedure; everything else gives 0.
intptr_t defWindowProc(PlatformWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Queues WM_QUIT with exitCode as its wParam.
void postQuitMessage(int exitCode);

// ---- Paths are UTF-8 text throughout the program; std::filesystem takes narrow strings in the
// system's code page on Windows, so they cross as UTF-8 explicitly.
std::filesystem::path pathOf(const std::string& text);
std::string textOf(const std::filesystem::path& path);

// ---- Data files. Both open for reading only a regular file, and never block on a FIFO or device;
// otherwise they return null with errno set: ENOENT or ENOTDIR when it is missing, EINVAL for a
// folder, FIFO, device or socket, and the system's reason (EACCES, ENAMETOOLONG...) otherwise.
// Opens exactly path (the tools' inputs).
FILE* openRegularFile(const char* path);
// Opens a data file by a path as the program names it ("Data/Grass.bmp", "data/Terminal8.tga").
// Empty and "." components are dropped; then each component is taken as written when that exists,
// else as the first name in its folder (in byte order) equal to it ignoring case. No other spelling
// is tried, so the work is linear in the path; a path longer than the system allows is ENAMETOOLONG.
FILE* openDataFile(const char* path);

// A bitmap as Windows' LoadImage leaves it: 24-bit blue-green-red pixels, rows bottom to top,
// each row padded to a multiple of 4 bytes.
struct Bitmap {
    int width = 0;   // pixels
    int height = 0;  // pixels
    std::vector<uint8_t> bits;
};
// Reads a BMP file of any depth the backend understands (found as openDataFile finds it), no
// further than its header says the image reaches, and converts it to the layout above; false when
// the file is missing, not a regular file or unreadable.
bool loadBitmap(const char* path, Bitmap* out);
// Writes bitmap as an uncompressed 24-bit BMP file at exactly path; false on failure. For the tools.
bool saveBitmap(const char* path, const Bitmap& bitmap);

// ---- Pictures.
// The user's pictures folder: $XDG_PICTURES_DIR when set, else ~/Pictures (Windows: the Pictures known
// folder); empty when there is none.
std::string picturesFolder();
// PNG bytes of width x height 8-bit RGB pixels, rows top to bottom; false with the reason in *problem.
bool encodePng(int width, int height, const uint8_t* rgbTopDown, std::vector<uint8_t>* out, std::string* problem);
// Writes bytes as the file at path. exclusive: creates it, failing when anything has that name; else
// replaces it in one step (written beside it under a temporary name, then renamed over it). A failure
// leaves nothing half written. False with "path: reason" in *problem.
bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, bool exclusive, std::string* problem);
