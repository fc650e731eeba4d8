// Placeholder shell until the real loop and window land.
#include "app/app.h"

#include "platform/platform.h"

ViewSettings viewSettings;
KeyState keyState{};
MouseButtons mouseButtons;
int screenWidth = 0, screenHeight = 0;
int windowWidth = 0, windowHeight = 0;
const char* const windowTitle = "Dalm's Kestra (March 24, 2015 @1:12a)";

int programMain() { return 0; }
bool openMainWindow(const char*, int, int, int, bool) { return false; }
void closeMainWindow() {}
void setSwapInterval(uint8_t) {}
