// A virtual pointer on a wlroots compositor, moved by the lines "DX DY" read from standard input (logical
// pixels, one motion event a line) until its end, and answering each with "moved" once the compositor
// has handled it. It stays one device for the whole run: a seat whose pointer comes and goes makes
// clients drop and re-create theirs, and motion sent meanwhile is lost.
#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static struct wl_seat* seat;
static struct zwlr_virtual_pointer_manager_v1* manager;

static void announce(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    (void)data, (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void withdraw(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}

int main(void)
{
    struct wl_display* display = wl_display_connect(NULL);
    if (!display)
        return fprintf(stderr, "move_pointer: no Wayland display\n"), 1;
    static const struct wl_registry_listener listener = {announce, withdraw};
    wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
    wl_display_roundtrip(display);
    if (!manager)
        return fprintf(stderr, "move_pointer: the compositor offers no virtual pointer\n"), 1;
    struct zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);  // the seat has its pointer before any client looks
    double dx, dy;
    for (uint32_t time = 0; scanf("%lf %lf", &dx, &dy) == 2; time += 10) {
        zwlr_virtual_pointer_v1_motion(pointer, time, wl_fixed_from_double(dx), wl_fixed_from_double(dy));
        zwlr_virtual_pointer_v1_frame(pointer);
        // A round trip returns once the compositor has handled every request before it.
        if (wl_display_roundtrip(display) < 0)
            return 1;
        printf("moved\n");
        fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}
