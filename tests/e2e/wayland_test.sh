# The mouse turn where the pointer cannot be warped, and the viewer as a native client of a headless sway.
# On a 1280x720 Xvfb screen without a window manager the framed window fills the screen, cursor shown:
# 50 pixels of pointer motion turn the view once, whether the cursor is warped back (X11) or not (the
# Xwayland case: an X11 client with a Wayland display beside it), to the same picture; on X11 Print (which
# openbox would take) saves a screenshot. Under sway on a
# 1280x720 output: the first frame and that turn are the X11 pictures, the view keeps still without
# input, W moves, F1 goes to a window and back, Escape ends with 0, a failed start leaves sway running.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
[ -x "${KESTRA_MOVE_POINTER:-}" ] || e2e_fail "KESTRA_MOVE_POINTER does not name the pointer client"
chmod 711 "$E2E_TMP"

# Pictures without the HUD's corner, where the frame rate changes: picture [screen].
on_x11() { import -window root "$E2E_TMP/shot.ppm" && convert "$E2E_TMP/shot.ppm" -fill black -draw "rectangle 0,0 340,175" "$1"; }
on_sway() { grim -t ppm "$E2E_TMP/shot.ppm" && convert "$E2E_TMP/shot.ppm" -fill black -draw "rectangle 0,0 340,175" "$1"; }
same() { ! e2e_differ "$1" "$2" 0; }
moved_from() { e2e_differ "$1" "$2" 10000; }
street() {
    convert "$1" -crop 300x60+490+0 -format "%[fx:mean.b-mean.r > 0.1]" info: | grep -q 1 &&
        convert "$1" -crop 300x60+490+660 -format "%[fx:abs(mean.b-mean.r) < 0.05]" info: | grep -q 1
}
passes() {  # screen test [picture]
    ! e2e_viewer_exited || e2e_fail "the viewer ended"
    "$1" "$E2E_TMP/now.ppm" && "${@:2}" "$E2E_TMP/now.ppm"
}
# Takes pictures until one passes a test, which is then now.ppm: screen what test [picture].
wait_for() {
    e2e_poll "$E2E_TIMEOUT" passes "$1" "${@:3}" || e2e_fail "$2"
    echo "ok: $2"
}
# Keeps taking pictures for a second or two, all equal to the first, which becomes still.ppm.
stays_still() {  # screen what
    local deadline=$((SECONDS + 2))
    "$1" "$E2E_TMP/still.ppm"
    while [ $SECONDS -lt $deadline ]; do
        "$1" "$E2E_TMP/now.ppm" && same "$E2E_TMP/still.ppm" "$E2E_TMP/now.ppm" || e2e_fail "$2"
    done
    echo "ok: $2"
}
# The X11 start picture, kept still until a pointer motion (a command) turns it to the X11 turn, kept still.
turns_as_on_x11() {  # screen case motion...
    wait_for "$1" "$2: the X11 street" same "$E2E_TMP/start.ppm"
    stays_still "$1" "$2: no turn before the pointer moves"
    "${@:3}"
    wait_for "$1" "$2: 50 pixels of motion turn the view as on X11" same "$E2E_TMP/turned.ppm"
    stays_still "$1" "$2: then it stays"
}

# ---- X11, then the Xwayland case once sway is there to be beside it.
e2e_start_xvfb 1280x720
xdotool mousemove 640 360
XDG_PICTURES_DIR=$E2E_TMP e2e_start_viewer x11 "$E2E_RUN_DIR" --window
wait_for on_x11 "X11: the street" street
cp "$E2E_TMP/now.ppm" "$E2E_TMP/start.ppm"
xdotool mousemove_relative -- 50 0
wait_for on_x11 "X11: 50 pixels of motion turn the view" moved_from "$E2E_TMP/start.ppm"
stays_still on_x11 "X11: then it stays"
cp "$E2E_TMP/still.ppm" "$E2E_TMP/turned.ppm"
xdotool key Print
e2e_poll "$E2E_TIMEOUT" eval '[ -f "$(sed -n 2p "$E2E_OUT")" ]' || e2e_fail "X11: Print saved no screenshot"
kill "$E2E_VIEWER"
e2e_wait_exit

# Sway refuses to run as root: it runs as nobody, with its own runtime folder and without Xwayland, which
# would take an X display number.
runtime="$E2E_TMP/runtime"
install -d -m 700 -o 65534 -g 65534 "$runtime"
printf 'xwayland disable\noutput HEADLESS-1 resolution 1280x720\n' >"$E2E_TMP/sway.conf"
chmod 644 "$E2E_TMP/sway.conf"
env -i PATH="$PATH" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_RENDERER=pixman setpriv --reuid=65534 --regid=65534 --clear-groups sway -c "$E2E_TMP/sway.conf" \
    >"$E2E_TMP/sway.log" 2>&1 &
compositor=$!
E2E_PIDS+=($compositor)
e2e_poll "$E2E_TIMEOUT" eval 'compgen -G "$runtime/wayland-*.lock" && compgen -G "$runtime/sway-ipc.*"' >/dev/null ||
    e2e_fail "sway did not start"
WAYLAND_DISPLAY=$(basename "$(compgen -G "$runtime/wayland-*.lock")" .lock)
SWAYSOCK=$(compgen -G "$runtime/sway-ipc.*")
export XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY SWAYSOCK
# One virtual pointer for the whole run, moved by the lines written to descriptor 7.
mkfifo "$E2E_TMP/pointer.in"
"$KESTRA_MOVE_POINTER" <"$E2E_TMP/pointer.in" >"$E2E_TMP/pointer.out" 2>&1 &
E2E_PIDS+=($!)
exec 7>"$E2E_TMP/pointer.in"

SDL_VIDEODRIVER=x11 e2e_start_viewer xwayland "$E2E_RUN_DIR" --window
turns_as_on_x11 on_x11 "Xwayland case" xdotool mousemove_relative -- 50 0
kill "$E2E_VIEWER"
e2e_wait_exit

# ---- Native Wayland, full screen.
unset DISPLAY
# The viewer's window as sway has it, "id fullscreen-mode", nothing while it has none; and its mode's test.
window() { swaymsg -t get_tree | jq -r '.. | objects | select(.app_id? == "kestra") | "\(.id) \(.fullscreen_mode)"'; }
window_mode_is() { [[ "$(window)" == *" $1" ]]; }
# Types (wtype arguments) until a condition holds. A key that follows a new virtual keyboard's keymap at
# once crashes SDL 2.26's Wayland backend (in xkb_keymap_key_get_syms_by_level), and keys sent while the
# client still binds the keyboard are lost: wtype waits before its keys, and a loaded machine may need
# another try.
press_until() {  # condition arguments...
    local try
    for try in 1 2 3; do
        wtype -s 1500 "${@:2}"
        e2e_poll 10 eval "$1" && return 0
    done
    return 1
}
# F1 closes the window at once and opens one in the other mode, which may take long: the key is typed again
# only while the old window stands.
f1_to() {  # fullscreen-mode
    local before=$(window)
    press_until '[ "$(window)" != "$before" ]' -k F1 && e2e_poll "$E2E_TIMEOUT" window_mode_is "$1"
}
SDL_VIDEODRIVER=wayland e2e_start_viewer wayland
turns_as_on_x11 on_sway "Wayland" eval 'echo "50 0" >&7'
press_until 'passes on_sway moved_from "$E2E_TMP/turned.ppm"' -P w -s 500 -p w || e2e_fail "Wayland: W did not move"
f1_to 0 || e2e_fail "Wayland: F1 did not leave full screen"
f1_to 1 || e2e_fail "Wayland: F1 did not return to full screen"
echo "ok: Wayland: W moves, F1 goes to the window and back"
press_until e2e_viewer_exited -k Escape || e2e_fail "Wayland: Escape did not end the viewer"
e2e_wait_exit
e2e_expect_eq "0 1280x720" "$E2E_STATUS $(cat "$E2E_OUT")" "Wayland: exit code and standard output"

# A failed start: its two messages (zenity's boxes, where it is installed, closed through sway), 1, and
# sway still running. Raising the window let sway 1.7 activate the destroyed surface and die.
cp -r "$E2E_RUN_DIR" "$E2E_TMP/broken"
rm "$E2E_TMP/broken/Data/Road.bmp"
SDL_VIDEODRIVER=wayland e2e_start_viewer broken "$E2E_TMP/broken"
e2e_poll "$E2E_TIMEOUT" eval '{ swaymsg "[app_id=zenity] kill" || true; } >/dev/null 2>&1; e2e_viewer_exited' ||
    e2e_fail "Wayland: the failed start did not end"
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: Error loading Data/Road.bmp.
ERROR: Initialization Failed." "$E2E_STATUS $(grep -E '^(MAP LOAD )?ERROR' "$E2E_ERR")" "Wayland: a missing texture"
kill -0 "$compositor" && swaymsg -t get_version >/dev/null || e2e_fail "sway did not survive the failed start"
echo "ok: sway still running"
