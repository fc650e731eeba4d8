# Shared driver for the end-to-end tests and the soak: the real viewer on a private Xvfb screen with openbox,
# driven by xdotool.
#
# A script is run as `bash script.sh <kestra-binary> <run-dir>` and does:
#   source "$(dirname "$0")/lib.sh"
#   e2e_init "$@"                 # binary, run folder, temp folder, cleanup on exit
#   e2e_start_display             # Xvfb 1920x1080x24 + openbox; exports DISPLAY
#   e2e_start_viewer              # the viewer in the run folder; output in $E2E_OUT / $E2E_ERR
#   id=$(e2e_wait_geometry "0 0 1920 1080")   # its window, once it has that client geometry
#   e2e_key F1 ...; e2e_wait_exit; e2e_expect_eq 0 "$E2E_STATUS" "exit code"
# Held keys and the mouse go straight to xdotool (keydown w, keyup w, mousemove_relative 10 0).
# Failures go through e2e_fail, which prints the viewer's output and ends the script with 1.
# Every wait polls a condition with a deadline; nothing waits for a fixed time.

set -euo pipefail

E2E_TIMEOUT=${E2E_TIMEOUT:-60}   # seconds any single wait may take (sanitizer builds start slowly)
E2E_PIDS=()

e2e_init()
{
    [ $# -eq 2 ] || { echo "usage: $0 <kestra-binary> <run-dir>" >&2; exit 2; }
    E2E_BIN=$(readlink -f "$1")
    E2E_RUN_DIR=$(readlink -f "$2")
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/kestra-e2e.XXXXXX")
    # Clean-up ends every process started here (the viewer is its own process: see e2e_start_viewer),
    # after a script's own e2e_on_exit when it has one.
    trap 'declare -F e2e_on_exit >/dev/null && e2e_on_exit; kill "${E2E_PIDS[@]}" 2>/dev/null || true; wait; rm -rf "$E2E_TMP"' EXIT
    trap 'exit 1' INT TERM
    unset SDL_VIDEODRIVER WAYLAND_DISPLAY
    # Under the sanitizer build, leaks inside system libraries at exit are not ours to report.
    local suppressions
    suppressions=$(readlink -f "$(dirname "${BASH_SOURCE[0]}")/../lsan.supp")
    export LSAN_OPTIONS="suppressions=$suppressions${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

e2e_fail()
{
    echo "FAIL: $*" >&2
    local f
    for f in "$E2E_TMP"/*.out "$E2E_TMP"/*.err; do
        [ -s "$f" ] && { echo "--- $(basename "$f")" >&2; tail -n 60 "$f" >&2; }
    done
    exit 1
}

e2e_expect_eq()  # expected actual what
{
    [ "$1" = "$2" ] || e2e_fail "$3: expected '$1', got '$2'"
    echo "ok: $3 = $2"
}

# Polls a command until it succeeds or the deadline passes; returns 1 on timeout.
e2e_poll()  # seconds command...
{
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# Starts Xvfb on a free display, without a window manager; exports DISPLAY.
e2e_start_xvfb()  # [width x height]
{
    Xvfb -displayfd 3 -screen 0 "${1:-1920x1080}x24" -nolisten tcp 3>"$E2E_TMP/display" >"$E2E_TMP/xvfb.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_poll "$E2E_TIMEOUT" test -s "$E2E_TMP/display" || e2e_fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$E2E_TMP/display")"
}

# Starts Xvfb on a free display and openbox inside it; exports DISPLAY.
e2e_start_display()
{
    e2e_start_xvfb
    openbox --sm-disable >"$E2E_TMP/openbox.log" 2>&1 &
    E2E_PIDS+=($!)
    e2e_poll "$E2E_TIMEOUT" eval 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"' ||
        e2e_fail "openbox did not start"
}

# Starts the viewer in the run folder, or in another working folder, with any arguments, through
# the E2E_LAUNCHER array when set (wine). Output goes to $E2E_TMP/<name>.out and .err, which E2E_OUT
# and E2E_ERR name; E2E_VIEWER is its process id.
E2E_LAUNCHER=()
e2e_start_viewer()  # [name [folder [arguments...]]]
{
    local name=${1:-viewer} folder=${2:-$E2E_RUN_DIR}
    shift $(($# < 2 ? $# : 2))
    E2E_OUT="$E2E_TMP/$name.out"
    E2E_ERR="$E2E_TMP/$name.err"
    (cd "$folder" && exec ${E2E_LAUNCHER[@]+"${E2E_LAUNCHER[@]}"} "$E2E_BIN" "$@" >"$E2E_OUT" 2>"$E2E_ERR") &
    E2E_VIEWER=$!
    E2E_PIDS+=($E2E_VIEWER)
}

# The viewer's client area in screen pixels, "x y width height", or nothing while it has no mapped window
# (one can vanish between the search and the query while F1 reopens it).
e2e_current_geometry()
{
    local id
    id=$({ xdotool search --onlyvisible --name "^Dalm's Kestra" 2>/dev/null || true; } | sed -n 1p)
    [ -z "$id" ] || xwininfo -id "$id" 2>/dev/null | awk -v id="$id" '
        /Absolute upper-left X:/ { x = $NF } /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
        END { if (h) print x, y, w, h, id }'
}

e2e_geometry_is()  # pattern
{
    ! e2e_viewer_exited || e2e_fail "the viewer ended"
    # shellcheck disable=SC2053
    [[ "$(e2e_current_geometry)" == $1\ * ]]
}

# Waits until the viewer's window has a client geometry "x y width height" matching a glob pattern
# (e.g. "0 0 1920 1080", "* * 1280 720", or "* * * *" for any); prints the window's id.
e2e_wait_geometry()  # pattern
{
    e2e_poll "$E2E_TIMEOUT" e2e_geometry_is "$1" ||
        e2e_fail "viewer window never had geometry '$1' (last: '$(e2e_current_geometry)')"
    e2e_current_geometry | awk '{ print $5 }'
}

# Gives a window the keyboard focus and waits until it has it.
e2e_focus()  # window-id
{
    timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || xdotool windowfocus "$1" 2>/dev/null || true
}

# Real key presses to the focused window (xdotool key names: F1, Escape, w, alt+F4, ...).
e2e_key()  # keys...
{
    xdotool key "$@"
}

# The whole screen; a .ppm name makes it quick (PNG encoding of a 1920x1080 screen takes seconds).
e2e_screenshot()  # file
{
    import -window root "$1"
}

# Colour of one pixel of a screenshot as "r g b" (0..255), x and y from the top-left.
e2e_pixel()  # file x y
{
    convert "$1" -crop "1x1+$2+$3" -format "%[fx:int(255*r+0.5)] %[fx:int(255*g+0.5)] %[fx:int(255*b+0.5)]\n" info:
}

# Succeeds if more than this many pixels differ between two images of one size.
e2e_differ()  # file file pixels
{
    local differing
    differing=$(compare -metric AE "$1" "$2" null: 2>&1 >/dev/null || true)
    awk -v n="${differing%% *}" -v most="$3" 'BEGIN { exit !(n + 0 > most) }'
}

# Waits for a message box titled exactly caption and presses Return in it.
e2e_dismiss_box()  # caption
{
    e2e_poll "$E2E_TIMEOUT" e2e_return_to_box "$1" 2>/dev/null || e2e_fail "no message box '$1' to dismiss"
}

e2e_return_to_box()  # caption
{
    local id
    id=$(xwininfo -root -tree | awk -v want=" \"$1\": " 'index($0, want) { print $1; exit }')
    [ -n "$id" ] && xdotool windowfocus "$id" key Return
}

# Succeeds once the viewer has ended (an ended child stays a zombie until it is waited for).
e2e_viewer_exited()
{
    local stat="/proc/$E2E_VIEWER/stat"
    [ ! -e "$stat" ] || [ "$(sed 's/.*) //' "$stat" 2>/dev/null | cut -d' ' -f1)" = Z ]
}

# Waits for the viewer to end; its exit code goes to E2E_STATUS.
e2e_wait_exit()
{
    e2e_poll "$E2E_TIMEOUT" e2e_viewer_exited || e2e_fail "viewer did not exit"
    E2E_STATUS=0
    wait "$E2E_VIEWER" || E2E_STATUS=$?
}
