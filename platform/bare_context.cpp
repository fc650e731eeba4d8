// A window and context without the viewer's scene, made through the platform contract alone.
#include "platform/platform.h"

static const char* const bareClass = "KestraBare";

bool openBareContext(int width, int height, BareContext* out)
{
    *out = BareContext{};
    if (!registerWindowClass(bareClass, nullptr))
        return false;
    out->window = createWindow("kestra", 0, 0, width, height, false);
    out->surface = getSurface(out->window);
    const int format = out->surface ? choosePixelFormat(out->surface, 32) : 0;
    if (format && setPixelFormat(out->surface, format))
        out->context = createContext(out->surface);
    if (out->context && makeCurrent(out->surface, out->context))
        return true;
    closeBareContext(out);
    return false;
}

void closeBareContext(BareContext* bare)
{
    if (bare->context) {
        makeCurrent(nullptr, nullptr);
        deleteContext(bare->context);
    }
    if (bare->surface)
        releaseSurface(bare->window, bare->surface);
    if (bare->window)
        destroyWindow(bare->window);
    unregisterWindowClass(bareClass);
    *bare = BareContext{};
}
