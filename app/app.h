// The application shell: program-wide switches, input state, window size and the window's life.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct PlatformWindow;
struct PlatformSurface;
struct PlatformContext;
struct Msg;
struct GamepadState;
struct FramePixels;

// The six one-byte switches, each 1 at start.
struct ViewSettings {
    uint8_t showStats = 1;   // Insert: statistics and help lines shown
    uint8_t daylight = 1;    // F3: day (sky, light, grey fog) or night
    uint8_t fogEnabled = 1;  // F4: fog over the city by day
    uint8_t vsync = 1;       // F2: swap interval 1 or 0
    uint8_t fullscreen = 1;  // F1: full screen or framed window
    uint8_t active = 1;      // 0 while the window is minimised
};

// 1 while the key of that Windows virtual-key code is held, 0 otherwise.
using KeyState = std::array<uint8_t, 256>;

// 1 while the button is held.
struct MouseButtons {
    uint8_t left = 0;
    uint8_t right = 0;
    uint8_t middle = 0;
};

// What the gamepad does to the frame, in the keyboard's and mouse's terms; all zero without one.
struct GamepadInput {
    KeyState keys{};          // 1 while the pad holds that key's action (W, S, A, D, E, Q, Home, End)
    float turnPixels = 0.0f;  // the right stick's turn: mouse pixels to the right per camera step (1/60 s)
    uint16_t buttons = 0;     // XINPUT_GAMEPAD_* bits held at the last reading, for presses
    bool startArmed = false;  // Start was pressed once, at startPressedAt; a second press within a second quits
    uint32_t startPressedAt = 0;  // milliseconds, getTickCount
};

extern ViewSettings viewSettings;
extern KeyState keyState;
extern MouseButtons mouseButtons;
extern GamepadInput gamepadInput;
extern int screenWidth, screenHeight;  // pixels, measured once at start
extern int windowWidth, windowHeight;  // pixels, client size asked of openMainWindow

extern const char* const windowTitle;
constexpr int colourDepth = 32;  // bits per pixel asked of every window

// The pixel format every window asks for; fixed except the colour depth, which the first opening sets.
struct PixelFormat {
    bool built = false;      // set by the first opening that reaches the pixel-format step
    uint8_t colourBits = 0;  // bits per pixel, the low 8 bits of that opening's colour depth
};
extern PixelFormat pixelFormat;

// The main window, its drawing surface and its OpenGL context; null while there is none.
extern PlatformWindow* hWnd;
extern PlatformSurface* hDC;
extern PlatformContext* hRC;

// What the command line asks for: kestra [OPTIONS] [MAP].
struct CommandLine {
    enum Action { run, help, version, usageError } action = run;
    bool window = false;     // --window: start in the framed window
    bool timedemo = false;   // --timedemo: drive the built-in route, print frame-rate figures, exit
    bool reference = false;  // KESTRA_RENDERER=reference: frames drawn by the plain per-tile loop
    bool steady = false;     // --steady: the camera steps at steadyStepsPerSecond, whatever the frame rate
    int width = 0;           // pixels, --size WxH: the framed window's client size; 0: 1280 wide, the screen's shape
    int height = 0;          // pixels
    float mouseSpeed = 1;    // --mouse-speed: times the 1/1000 radian a pixel of the mouse turn
    std::string dataFolder;  // --data DIR; empty: look the data up
    std::string mapFile;     // MAP; empty: city.map of the data folder
    std::string screenshotFile;  // --screenshot FILE: the first presented frame goes there, then the run ends
    int timedemoFrames = 0;  // frames, from KESTRA_TIMEDEMO_FRAMES; 0: the whole route
    std::string error;       // what was wrong, for usageError
};
extern CommandLine commandLine;
constexpr int smallestWindowWidth = 320, smallestWindowHeight = 180;  // pixels, the least --size takes
extern const char* const usageText;

// Reads every argument after the program name; the first mistake makes a usageError, even after --help
// or --version. With --timedemo, timedemoFrames is the value of KESTRA_TIMEDEMO_FRAMES, and for a run
// renderer the value of KESTRA_RENDERER (each null when not set).
CommandLine parseCommandLine(const std::vector<std::string>& arguments, const char* timedemoFrames = nullptr,
                             const char* renderer = nullptr);
// Writes a usage mistake to stderr with the pointer to --help; returns the exit status of wrong usage, 2.
int usageError(const std::string& mistake);
// A folder looked at for the viewer's data, and why it was not taken: ENOENT or ENOTDIR when
// Data/Grass.bmp is not there, another errno when it is there but cannot be read.
struct SearchedFolder {
    std::string folder;
    int error = 0;
};
// The folder holding the viewer's data: dataFolder when given, else the first of the current folder,
// executableFolder/../share/kestra and executableFolder/run that holds Data/Grass.bmp (in any case).
// Empty when none does; *searched lists the folders looked at.
std::string findDataFolder(const std::string& dataFolder, const std::string& executableFolder,
                           std::vector<SearchedFolder>* searched);
// The message for a start that found no usable data in the folders searched.
std::string noDataMessage(const std::vector<SearchedFolder>& searched);
// The whole program for a command line: usage, data lookup, then programMain; the exit code.
int startViewer(int argc, char** argv);
// ---- Standard output, in both programs.
// Writes text to standard output at once; a failure is kept for finishStandardOutput.
void writeOut(const std::string& text);
// The exit status once everything is written: status, or 1 in place of 0 after a line on stderr when
// output was lost for any reason but a reader that went away (a closed pipe ends output quietly).
int finishStandardOutput(const char* program, int status);
// Reads text as a whole decimal number from low to high: digits only, no sign, blank or base prefix.
bool parseWholeNumber(const char* text, uint64_t low, uint64_t high, uint64_t* value);

// The program's entry: runs the viewer and returns the process exit code.
int programMain();
// Opens the main window with its context and initialised scene; false after telling the user.
bool openMainWindow(const char* title, int width, int height, int bits, bool fullscreen);
// Releases context, surface, window and class (reporting each failure), then the font lists.
void closeMainWindow();
// Applies the vertical-sync switch to the current context when it has swap control.
void setSwapInterval(uint8_t enabled);
// Takes the next message for the loop to dispatch; false when the loop should draw a frame first. A key
// pressed and released between two frames would never be seen by the frame's key handling, so such a
// release is held back, with every message after it, until frameTookInput.
bool takeMessage(Msg* msg);
// Called once a frame has read the input: lets a held-back key release through to the window procedure.
void frameTookInput();
// The main window's procedure: records keys, buttons and minimised state, forwards sizes, quits on close.
intptr_t windowProc(PlatformWindow* window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Sets windowWidth and windowHeight for the full-screen switch: the screen, or the framed size (--size, else
// 1280 wide with the screen's shape).
void applySizeRule();
// Outer top-left corner of the window: centred by the client size when framed, (0, 0) in full screen.
void chooseWindowPosition(bool fullscreen, int* x, int* y);
// Acts on the switch keys Insert, F1, F2, F3, F4 in that order; false when F1 could not reopen the window.
bool applySwitches();

// ---- Steady motion (--steady): the camera's per-frame model run in fixed steps of 1/60 second.
constexpr int steadyStepsPerSecond = 60;
constexpr int mostSteadySteps = 10;  // steps in one frame at most: a stall is not made up for
// The clock of the steps: the tick of the last frame and the time since it not yet stepped.
struct SteadyClock {
    uint32_t lastTick = 0;  // milliseconds, getTickCount
    uint32_t carried = 0;   // milliseconds times steadyStepsPerSecond, below one step (1000)
};
// Starts the clock at tick, half a step in, so that a 60 Hz frame clock's millisecond jitter gives one
// step every frame.
SteadyClock startSteadyClock(uint32_t tick);
// The steps the frame at tick runs: the time since the last frame, with what was carried, in whole
// steps; at most mostSteadySteps, and then nothing is carried.
int steadySteps(SteadyClock* clock, uint32_t tick);

// Turns a gamepad reading at time now (milliseconds) into gamepadInput, and its face buttons' presses
// into the switch keys' flags in keyState (Y: F3, B: F4, X: Insert); false when Start was pressed the
// second time within a second, which quits as Escape does.
bool applyGamepad(const GamepadState& pad, uint32_t now);
// Reads the gamepad and applies it; false when it asks to quit.
bool takeGamepad();

// ---- Screenshots.
extern bool screenshotWanted;  // F12 or Print Screen: the next presented frame is saved
// The file name of a screenshot taken at local time when: "kestra-YYYY-MM-DD-HH-MM-SS.png", with "-N"
// before ".png" for the Nth name tried (N from 2).
std::string screenshotName(const std::tm& when, int attempt);
// Saves frame as a new PNG in folder/Kestra (made when missing), named by the local time when and never
// over another file; its path, or empty with the reason in *problem.
std::string saveScreenshot(const FramePixels& frame, const std::string& folder, std::time_t when,
                           std::string* problem);
// Saves the frame as the loop has it before presenting it: to file (--screenshot) when not empty, else
// in the pictures folder with its path on standard output. A failure is one line on stderr; false then.
bool takeScreenshot(const FramePixels& frame, const std::string& file);

// ---- The timed demo: a recorded drive through the bundled city.
// Frames the built-in route lasts.
int timedemoLength();
// Sets keyState and the right button to the route's inputs for step (0 .. timedemoLength() - 1);
// every other key but Escape is released.
void playTimedemoStep(int step);
// Seconds each presented frame of the running demo took, from the previous one (the first from the start).
extern std::vector<double> timedemoFrameSeconds;
// Starts timing the demo's frames.
void startTimedemo();
// After a frame is presented: records its time; false once the demo has run its frames (the whole
// route, or fewer when KESTRA_TIMEDEMO_FRAMES asks), else plays the route's next step.
bool timedemoPresented();
// The result line for the frame times in seconds: frames, seconds, average and 1% low frames per second.
std::string timedemoReport(const std::vector<double>& frameSeconds);
