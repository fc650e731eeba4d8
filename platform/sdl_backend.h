// What the SDL2 backend's files share among themselves.
#pragma once

// Makes X errors and a lost X connection end the process with one line on stderr. Installed once,
// before SDL opens a display, so that SDL's own handler (which restores the screen mode) chains to it.
void installXErrorHandlers();
