// Test GL context: the same platform calls the viewer's window opening makes, without the scene.
#include "tests/support/gl_context.h"

#include "platform/platform.h"

static PlatformWindow* testWindow = nullptr;
static PlatformSurface* testSurface = nullptr;
static PlatformContext* testContext = nullptr;

bool openTestContext(int width, int height)
{
    closeTestContext();
    if (!registerWindowClass("KestraTest", nullptr))
        return false;
    testWindow = createWindow("kestra test", 0, 0, width, height, false);
    testSurface = getSurface(testWindow);
    if (!setPixelFormat(testSurface, choosePixelFormat(testSurface, 32)))  // format 0 is refused
        return false;
    testContext = createContext(testSurface);
    return testContext && makeCurrent(testSurface, testContext);
}

void closeTestContext()
{
    makeCurrent(nullptr, nullptr);
    deleteContext(testContext);
    releaseSurface(testWindow, testSurface);
    destroyWindow(testWindow);
    testWindow = nullptr;
    testSurface = nullptr;
    testContext = nullptr;
}
