# The mouse turn where the pointer cannot be warped, and the viewer as a native client of a headless sway.
# First on a 1280x720 Xvfb screen without a window manager, the framed window filling it with the cursor
# shown: 50 pixels of pointer motion turn the view by 0.05 radian once, whether the cursor is warped back
# (X11) or not (the Xwayland case, an X11 client with a Wayland display beside it). Then under sway on a
# 1280x720 output: the first frame and that turn are the X11 ones, the camera keeps still without input,
# W moves, F1 goes to a window and back, Escape ends with 0, and a failed start leaves sway running.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
[ -x "${KESTRA_MOVE_POINTER:-}" ] || e2e_fail "KESTRA_MOVE_POINTER does not name the pointer client"
chmod 711 "$E2E_TMP"

shot="$E2E_TMP/shot.ppm"
# The picture without the HUD's corner, where the frame rate changes.
scene() {  # screenshot picture
    convert "$1" -fill black -draw "rectangle 0,0 340,175" "$2"
}
x11_scene() {  # picture
    import -window root "$shot" && scene "$shot" "$1"
}
wayland_scene() {  # picture
    grim -t ppm "$shot" && scene "$shot" "$1"
}
same() {  # picture picture
    ! e2e_differ "$1" "$2" 0
}
moved_from() {  # picture picture
    e2e_differ "$1" "$2" 10000
}
sky_over_street() {  # picture
    convert "$1" -crop 300x60+490+0 -format "%[fx:mean.b-mean.r > 0.1]" info: | grep -q 1 &&
        convert "$1" -crop 300x60+490+660 -format "%[fx:abs(mean.b-mean.r) < 0.05]" info: | grep -q 1
}
# Polls the server's picture until it shows what the test asks: picture server test [argument].
shows() {
    ! e2e_viewer_exited || e2e_fail "the viewer ended"
    "$2_scene" "$1" && "${@:3}" "$1"
}
# Keeps taking pictures for a second or two; all must equal the first.
stays_still() {  # server what
    local deadline=$((SECONDS + 2))
    "$1_scene" "$E2E_TMP/still.ppm"
    while [ $SECONDS -lt $deadline ]; do
        "$1_scene" "$E2E_TMP/now.ppm"
        ! e2e_differ "$E2E_TMP/still.ppm" "$E2E_TMP/now.ppm" 0 || e2e_fail "$2: the view moved without input"
    done
    echo "ok: $2"
}
stop_viewer() {
    kill "$E2E_VIEWER"
    wait "$E2E_VIEWER" || true
}

# ---- X11: the framed window fills the screen, so the picture is the full-screen one.
e2e_start_xvfb 1280x720
xdotool mousemove 640 360
e2e_start_viewer x11 "$E2E_RUN_DIR" --window
e2e_wait_geometry "0 0 1280 720" >/dev/null
e2e_poll "$E2E_TIMEOUT" shows "$E2E_TMP/start.ppm" x11 sky_over_street || e2e_fail "X11: no street"
xdotool mousemove_relative -- 50 0
e2e_poll "$E2E_TIMEOUT" shows "$E2E_TMP/turned.ppm" x11 moved_from "$E2E_TMP/start.ppm" ||
    e2e_fail "X11: 50 pixels of motion did not turn the view"
stays_still x11 "X11: the view stays after the turn"
# The first picture after the change may still be the turning frame: the settled view is the reference.
cp "$E2E_TMP/still.ppm" "$E2E_TMP/turned.ppm"
stop_viewer

# ---- Sway, headless, as an unprivileged user (it refuses root), with its own runtime folder and no
# Xwayland, so that it takes no X display number.
runtime="$E2E_TMP/runtime"
mkdir -m 700 "$runtime"
chown 65534:65534 "$runtime"
printf 'xwayland disable\noutput HEADLESS-1 resolution 1280x720\n' >"$E2E_TMP/sway.conf"
chmod 644 "$E2E_TMP/sway.conf"
env -i PATH="$PATH" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman setpriv --reuid=65534 --regid=65534 --clear-groups sway -c "$E2E_TMP/sway.conf" \
    >"$E2E_TMP/sway.log" 2>&1 &
sway=$!
E2E_PIDS+=($sway)
e2e_poll "$E2E_TIMEOUT" eval 'compgen -G "$runtime/wayland-*.lock" >/dev/null && compgen -G "$runtime/sway-ipc.*" >/dev/null' ||
    e2e_fail "sway did not start"
export XDG_RUNTIME_DIR="$runtime"
WAYLAND_DISPLAY=$(basename "$(compgen -G "$runtime/wayland-*.lock")" .lock)
SWAYSOCK=$(compgen -G "$runtime/sway-ipc.*")
export WAYLAND_DISPLAY SWAYSOCK

# One virtual pointer for the whole run, moved by lines on its standard input.
mkfifo "$E2E_TMP/pointer.in"
"$KESTRA_MOVE_POINTER" <"$E2E_TMP/pointer.in" >"$E2E_TMP/pointer.out" 2>&1 &
E2E_PIDS+=($!)
exec 7>"$E2E_TMP/pointer.in"
moves=0
move_pointer() {  # dx dy
    echo "$1 $2" >&7
    moves=$((moves + 1))
    e2e_poll "$E2E_TIMEOUT" eval '[ "$(grep -c moved "$E2E_TMP/pointer.out")" -ge $moves ]' ||
        e2e_fail "the virtual pointer did not move"
}

# ---- The Xwayland case on the same X11 screen: the cursor shown cannot be warped, motion turns.
SDL_VIDEODRIVER=x11 e2e_start_viewer xwayland "$E2E_RUN_DIR" --window
e2e_poll "$E2E_TIMEOUT" shows "$E2E_TMP/now.ppm" x11 sky_over_street || e2e_fail "Xwayland case: no street"
stays_still x11 "Xwayland case: no turn before the pointer moves"
same "$E2E_TMP/start.ppm" "$E2E_TMP/still.ppm" || e2e_fail "Xwayland case: the first frame is not the X11 one"
xdotool mousemove_relative -- 50 0
e2e_poll "$E2E_TIMEOUT" shows "$E2E_TMP/now.ppm" x11 moved_from "$E2E_TMP/still.ppm" ||
    e2e_fail "Xwayland case: 50 pixels of motion did not turn the view"
stays_still x11 "Xwayland case: the view stays after the turn"
same "$E2E_TMP/turned.ppm" "$E2E_TMP/still.ppm" || e2e_fail "Xwayland case: the turn is not the X11 one"
stop_viewer

# ---- The native Wayland client, full screen.
unset DISPLAY
fullscreen_mode() {
    swaymsg -t get_tree | jq -r '.. | objects | select(.app_id? == "kestra") | .fullscreen_mode'
}
# A new virtual keyboard takes the client a moment to bind, so wtype waits before each key.
press() {  # wtype arguments...
    wtype -s 1500 "$@"
}
SDL_VIDEODRIVER=wayland e2e_start_viewer wayland
e2e_poll "$E2E_TIMEOUT" shows "$E2E_TMP/now.ppm" wayland same "$E2E_TMP/start.ppm" ||
    e2e_fail "Wayland: the first frame is not the X11 one"
echo "ok: Wayland: the first frame is the X11 one"
stays_still wayland "Wayland: no turn without input"
move_pointer 50 0
e2e_poll "$E2E_TIMEOUT" shows "$E2E_TMP/now.ppm" wayland same "$E2E_TMP/turned.ppm" ||
    e2e_fail "Wayland: 50 pixels of motion did not turn the view as on X11"
stays_still wayland "Wayland: the view stays after the turn"

press -P w -s 500 -p w
e2e_poll "$E2E_TIMEOUT" shows "$E2E_TMP/now.ppm" wayland moved_from "$E2E_TMP/still.ppm" ||
    e2e_fail "Wayland: W did not move the view"
press -k F1
e2e_poll "$E2E_TIMEOUT" eval '[ "$(fullscreen_mode)" = 0 ]' || e2e_fail "Wayland: F1 did not leave full screen"
press -k F1
e2e_poll "$E2E_TIMEOUT" eval '[ "$(fullscreen_mode)" = 1 ]' || e2e_fail "Wayland: F1 did not return to full screen"
press -k Escape
e2e_wait_exit
e2e_expect_eq "0 1280x720" "$E2E_STATUS $(cat "$E2E_OUT")" "Wayland: exit code and standard output"

# ---- A failed start: its messages (shown by zenity where it is installed, and closed), 1, and
# sway still there. Raising the window would have let sway 1.7 activate the destroyed surface and die.
folder="$E2E_TMP/broken"
cp -r "$E2E_RUN_DIR" "$folder"
rm "$folder/Data/Road.bmp"
SDL_VIDEODRIVER=wayland e2e_start_viewer broken "$folder"
close_boxes() {
    swaymsg '[app_id="zenity"] kill' >/dev/null 2>&1 || true
    e2e_viewer_exited
}
e2e_poll "$E2E_TIMEOUT" close_boxes || e2e_fail "Wayland: the failed start did not end"
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: Error loading Data/Road.bmp.
ERROR: Initialization Failed." "$E2E_STATUS $(grep -E '^(MAP LOAD )?ERROR' "$E2E_ERR")" "Wayland: a missing texture"
kill -0 "$sway" 2>/dev/null && swaymsg -t get_version >/dev/null || e2e_fail "sway did not survive the failed start"
echo "ok: sway still running"
