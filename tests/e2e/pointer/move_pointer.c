// A virtual pointer on a wlroots compositor, moved by the lines "DX DY" read from standard input (logical
// pixels, one motion event a line) until its end. It stays one device for the whole run: a seat whose
// pointer comes and goes makes clients drop and re-create theirs, and motion sent meanwhile is lost.
// Each line is answered with "moved" once the compositor has handled the motion.
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static struct wl_seat* seat;
static struct zwlr_virtual_pointer_manager_v1* manager;

static void announce(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void withdraw(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registryListener = {announce, withdraw};

static uint32_t milliseconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

int main(int argc, char** argv)
{
    (void)argc;
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "%s: no Wayland display\n", argv[0]);
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "%s: the compositor offers no virtual pointer\n", argv[0]);
        return 1;
    }
    struct zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    int status = wl_display_roundtrip(display) < 0 ? 1 : 0;
    double dx, dy;
    while (status == 0 && scanf("%lf %lf", &dx, &dy) == 2) {
        zwlr_virtual_pointer_v1_motion(pointer, milliseconds(), wl_fixed_from_double(dx), wl_fixed_from_double(dy));
        zwlr_virtual_pointer_v1_frame(pointer);
        // The round trip returns once the compositor has handled every request before it.
        status = wl_display_roundtrip(display) < 0 ? 1 : 0;
        printf("moved\n");
        fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_disconnect(display);
    return status;
}
