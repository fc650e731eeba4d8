// SDL2 backend of the window, context, screen, cursor and message-box parts of the platform contract.
#include "platform/platform.h"

#include <SDL.h>

struct PlatformWindow {
    SDL_Window* window;
};
struct PlatformSurface {
    SDL_Window* window;
};
struct PlatformContext {
    SDL_GLContext context;
};

static bool ensureVideo()
{
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return false;
    // Hold the GL driver for the whole run: SDL would otherwise unload and reload it with every
    // window, and the driver's own allocations would be lost with each unload.
    SDL_GL_LoadLibrary(nullptr);
    return true;
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

void showCursor(bool show)
{
    if (ensureVideo())
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void messageBox(const char* text, const char* caption, MessageIcon icon)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    Uint32 flags = icon == MessageIcon::exclamation ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(flags, caption, text, nullptr);
}

static WindowProc classProc = nullptr;

bool registerWindowClass(const char*, WindowProc proc)
{
    if (!ensureVideo())
        return false;
    classProc = proc;
    return true;
}

bool unregisterWindowClass(const char*)
{
    classProc = nullptr;
    return true;
}

PlatformWindow* createWindow(const char* title, int x, int y, int width, int height, bool fullscreen)
{
    if (!ensureVideo())
        return nullptr;
    // The GL visual is fixed when an X11 window is made, so the pixel format's attributes go here.
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    flags |= fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_RESIZABLE;
    SDL_Window* w = SDL_CreateWindow(title, fullscreen ? 0 : x, fullscreen ? 0 : y, width, height, flags);
    if (!w)
        return nullptr;
    return new PlatformWindow{w};
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
    return window ? new PlatformSurface{window->window} : nullptr;
}

bool releaseSurface(PlatformWindow*, PlatformSurface* surface)
{
    if (!surface)
        return false;
    delete surface;
    return true;
}

int choosePixelFormat(PlatformSurface* surface, int colourBits)
{
    if (!surface || colourBits <= 0)
        return 0;
    return (SDL_GetWindowFlags(surface->window) & SDL_WINDOW_OPENGL) ? 1 : 0;
}

bool setPixelFormat(PlatformSurface* surface, int format)
{
    return surface && format == 1;
}

PlatformContext* createContext(PlatformSurface* surface)
{
    if (!surface)
        return nullptr;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GLContext c = SDL_GL_CreateContext(surface->window);
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
    return SDL_GL_MakeCurrent(surface->window, context->context) == 0;
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
    SDL_RaiseWindow(window->window);
}

void swapBuffers(PlatformSurface* surface)
{
    if (surface)
        SDL_GL_SwapWindow(surface->window);
}

static bool sdlSwapInterval(int interval)
{
    return SDL_GL_SetSwapInterval(interval) == 0;
}

SwapIntervalProc getSwapIntervalProc()
{
    return SDL_GL_GetCurrentContext() ? sdlSwapInterval : nullptr;
}

static Msg pendingQuit;
static bool quitPending = false;

bool peekMessage(Msg* msg)
{
    if (quitPending) {
        *msg = pendingQuit;
        quitPending = false;
        return true;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (e.type == SDL_QUIT || (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
            *msg = Msg{WM_CLOSE, 0, 0};
            return true;
        }
    }
    return false;
}

intptr_t dispatchMessage(const Msg* msg)
{
    return classProc ? classProc(nullptr, msg->message, msg->wParam, msg->lParam) : 0;
}

intptr_t defWindowProc(PlatformWindow*, uint32_t, uintptr_t, intptr_t)
{
    return 0;
}

void postQuitMessage(int exitCode)
{
    pendingQuit = Msg{WM_QUIT, static_cast<uintptr_t>(exitCode), 0};
    quitPending = true;
}
