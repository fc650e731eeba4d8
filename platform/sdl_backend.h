// What the SDL2 backend's files share among themselves.
#pragma once

#include <string>

struct SDL_Window;

// Makes X errors and a lost X connection end the process with one line on stderr. Installed once,
// before SDL opens a display, so that SDL's own handler (which restores the screen mode) chains to it.
void installXErrorHandlers();

// The X11 visual id ("0x3bd") for the window's GL surface with these least colour sizes and the depth buffer
// nearest depthBits; "" when the window is not on X11 or GLX offers no such visual.
std::string nearestDepthVisual(SDL_Window* window, int red, int green, int blue, int depthBits);
