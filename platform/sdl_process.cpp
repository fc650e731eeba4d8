// SDL2 backend, the process around the window system: the standard descriptors and signals at start,
// and what an X error or a lost X connection does.
#include "platform/platform.h"
#include "platform/sdl_backend.h"

#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void prepareStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // open() returns the lowest free descriptor, which is fd itself; anything else is not ours.
        int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd)
            ::close(opened);
    }
    ::signal(SIGPIPE, SIG_IGN);
}

static void endWithLine(const char* line)
{
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", line);
    std::_Exit(1);
}

// Xlib's default handler prints a report of several lines and exits; this says in one line which error
// and which request. SDL's own handler, installed after this one, runs first and then calls it. Names
// come from Xlib's tables only: a handler must not send requests.
static int onXError(Display* display, XErrorEvent* event)
{
    char error[160], request[160] = "", key[80], line[480];
    XGetErrorText(display, event->error_code, error, sizeof error);
    const char* extension = nullptr;
    for (const _XExtension* ext = display->ext_procs; ext; ext = ext->next)
        if (ext->codes.major_opcode == event->request_code)
            extension = ext->name;
    if (extension)
        std::snprintf(key, sizeof key, "%s.%d", extension, event->minor_code);
    else
        std::snprintf(key, sizeof key, "%d", event->request_code);
    XGetErrorDatabaseText(display, "XRequest", key, extension ? extension : "", request, sizeof request);
    std::snprintf(line, sizeof line, "kestra: X error %s in request %s (%d.%d) on display %s", error,
                  request[0] ? request : "?", event->request_code, event->minor_code, DisplayString(display));
    endWithLine(line);
    return 0;
}

static int onXConnectionLost(Display* display)
{
    const int error = errno;
    const bool closed = error == 0 || error == EAGAIN || error == EPIPE || error == ECONNRESET;
    char line[300];
    std::snprintf(line, sizeof line, "kestra: lost the connection to the X server %s (%s)", DisplayString(display),
                  closed ? "the server closed it" : std::strerror(error));
    endWithLine(line);
    return 0;
}

void installXErrorHandlers()
{
    // Once only: again later would take the place of SDL's handler, which chains to this one.
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onXConnectionLost);
}
