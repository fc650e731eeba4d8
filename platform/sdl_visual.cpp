// The X11 visual of a GL window. SDL asks GLX for a visual with at least the depth buffer wanted, and GLX
// puts the largest depth buffer first; the window is to have the one nearest the size asked for.
#include "platform/sdl_backend.h"

#include <GL/glx.h>
#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <cstdlib>
#include <tuple>

std::string nearestDepthVisual(SDL_Window* window, int red, int green, int blue, int depthBits)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return "";
    Display* display = info.info.x11.display;
    const int wanted[] = {GLX_X_RENDERABLE, True, GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT,
                          GLX_DOUBLEBUFFER, True, GLX_RED_SIZE, red, GLX_GREEN_SIZE, green, GLX_BLUE_SIZE, blue,
                          None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), wanted, &count);
    // Among GLX's own order: no caveat first, then the depth nearest the one asked for (a larger one on a
    // tie), then the fewest alpha bits, since no alpha buffer is asked for.
    std::tuple<bool, int, bool, int> best{true, 1 << 20, true, 1 << 20};
    int visual = 0;
    for (int i = 0; i < count; ++i) {
        int caveat = 0, depth = 0, alpha = 0, id = 0;
        glXGetFBConfigAttrib(display, configs[i], GLX_CONFIG_CAVEAT, &caveat);
        glXGetFBConfigAttrib(display, configs[i], GLX_DEPTH_SIZE, &depth);
        glXGetFBConfigAttrib(display, configs[i], GLX_ALPHA_SIZE, &alpha);
        glXGetFBConfigAttrib(display, configs[i], GLX_VISUAL_ID, &id);
        const std::tuple<bool, int, bool, int> rank{caveat == GLX_SLOW_CONFIG, std::abs(depth - depthBits),
                                                    depth < depthBits, alpha};
        if (id != 0 && rank < best)
            best = rank, visual = id;
    }
    if (configs)
        XFree(configs);
    if (visual == 0)
        return "";
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", visual);
    return text;
}
