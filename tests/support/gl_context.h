// A real Mesa OpenGL context for tests, made through the platform layer (headless under SDL's offscreen driver).
#pragma once

// Opens a hidden width x height window with a current compatibility context; false if none can be had.
bool openTestContext(int width, int height);
// Releases the context and window made by openTestContext.
void closeTestContext();
