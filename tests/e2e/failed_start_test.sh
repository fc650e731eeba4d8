# Starts that fail, each with its exit code and one message: wrong usage, a map named on the command
# line that cannot be loaded (found from the folder the viewer starts in); a timed demo, which waits on
# no message box. No data: the data path too long for a box below. (A missing texture: wayland_test.sh.)
# Then odd starts and ends: closed standard streams, a headless driver beside a desktop, a data path too
# long for any box, too few descriptors, and a window destroyed or a connection killed from outside.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display

empty="$E2E_TMP/empty"
mkdir "$empty"
try="Try 'kestra --help'."
for usage in "--window --bogus|kestra: unknown option '--bogus'" "--version --bogus|kestra: unknown option '--bogus'" \
    "--window|kestra: KESTRA_RENDERER must be 'reference' or unset, not 'fast'" \
    "--timedemo|kestra: KESTRA_TIMEDEMO_FRAMES takes a whole number of frames from 1 to 2147483647, not '0x10'"; do
    # shellcheck disable=SC2086
    KESTRA_RENDERER=fast KESTRA_TIMEDEMO_FRAMES=0x10 e2e_start_viewer usage "$empty" ${usage%%|*}
    e2e_wait_exit
    e2e_expect_eq "2 ${usage#*|}
$try" "$E2E_STATUS $(cat "$E2E_ERR")" "wrong usage ${usage%%|*}"
done

# A size that only the screen rules out, known once the display is reached: wrong usage too, before any window.
e2e_start_viewer usage "$empty" --size 1921x1080 --data "$E2E_RUN_DIR"
e2e_wait_exit
e2e_expect_eq "2 kestra: --size 1921x1080 is larger than the screen (1920x1080)
$try" "$E2E_STATUS $(cat "$E2E_OUT" "$E2E_ERR")" "a window larger than the screen"

echo "not a map" >"$empty/bad.map"
e2e_start_viewer elsewhere "$empty" --window bad.map
e2e_dismiss_box "MAP LOAD ERROR"
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: bad.map: Invalid map type or version" "$E2E_STATUS $(cat "$E2E_ERR")" "a named map"
[ -z "$(cat "$E2E_OUT")" ] || e2e_fail "a window was opened for a map that cannot be loaded"

e2e_start_viewer demo "$empty" --timedemo missing.map
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: missing.map: no such file" "$E2E_STATUS $(cat "$E2E_ERR")" "a timed demo's map"

# A data folder whose own city.map is not a map: reported in a box, and the viewer drives on.
badcity="$E2E_TMP/badcity"
mkdir "$badcity"
ln -s "$E2E_RUN_DIR/Data" "$badcity/Data"
echo "not a map" >"$badcity/city.map"
# With standard output or error closed, the display connection must not take the descriptor that
# the size line or the map's message is then written into: the first frame is still drawn and saved.
for fd in 1 2; do
    (cd "$badcity" && eval "exec $fd>&-" && exec "$E2E_BIN" --window --screenshot "$E2E_TMP/fd$fd.png") &
    E2E_VIEWER=$!
    E2E_PIDS+=($E2E_VIEWER)
    e2e_dismiss_box "MAP LOAD ERROR"
    e2e_wait_exit
    e2e_expect_eq "0 1280x720" "$E2E_STATUS $(identify -format %wx%h "$E2E_TMP/fd$fd.png")" "exit code with descriptor $fd closed"
done

# A headless driver asked for while a desktop is there: the message on stderr, no box to wait on.
SDL_VIDEODRIVER=offscreen KESTRA_FIRST_FRAME_ONLY=1 e2e_start_viewer headless "$badcity" --window
e2e_wait_exit
e2e_expect_eq "0 MAP LOAD ERROR: Invalid map type or version" "$E2E_STATUS $(cat "$E2E_ERR")" "headless driver"

# A 100,000-character data path: the box shows it cut, stderr has it whole, and nothing else.
long="$E2E_TMP/$(printf 'd%.0s' {1..100000})"
e2e_start_viewer long "$empty" --data "$long"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq "1 3 1" "$E2E_STATUS $(grep -c . "$E2E_ERR") $(grep -cF -- "$long: Data/Grass.bmp: " "$E2E_ERR")" \
    "status, lines and the whole path of a data path too long for a box"

# Only the three standard descriptors open and a limit of 4: one left for the data, too few for a window.
(
    cd "$E2E_RUN_DIR" && exec >"$E2E_TMP/fds.out" 2>"$E2E_TMP/fds.err"
    for fd in $(ls /proc/$BASHPID/fd); do [ "$fd" -le 2 ] || eval "exec $fd>&-"; done 2>/dev/null
    ulimit -n 4 && exec "$E2E_BIN" --window
) &
E2E_VIEWER=$!
E2E_PIDS+=($E2E_VIEWER)
e2e_wait_exit
e2e_expect_eq "1 no display: too few free file descriptors to open a window (the limit is 4; raise it with ulimit -n)" \
    "$E2E_STATUS $(tail -n 1 "$E2E_TMP/fds.err")" "a descriptor limit of 4"

# The window destroyed by another client, and the connection killed: one line each, status 1.
destroy_window() {
    python3 - "$1" <<'EOF'
import ctypes, sys
xlib = ctypes.CDLL("libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
display = ctypes.c_void_p(xlib.XOpenDisplay(None))
xlib.XDestroyWindow(display, ctypes.c_ulong(int(sys.argv[1])))
xlib.XSync(display, 0)
EOF
}
for ending in destroy_window "xkill -id"; do
    e2e_start_viewer ending "$E2E_RUN_DIR" --window
    id=$(e2e_wait_geometry "* * 1280 720")
    $ending "$id" >/dev/null
    e2e_wait_exit
    [[ "$E2E_STATUS $(cat "$E2E_ERR")" =~ ^1\ kestra:\ (X\ error\ Bad|lost\ the\ connection)[^$'\n']*$ ]] ||
        e2e_fail "$ending: status $E2E_STATUS, not one line saying what failed"
    echo "ok: $ending: $(cat "$E2E_ERR")"
done
