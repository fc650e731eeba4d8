# The viewer's window and loop on a 1920x1080 screen: start-up line, full screen, F1 to a framed
# window and back, Escape, closing through the window manager, and the timed demo.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display

e2e_start_viewer first
e2e_wait_window >/dev/null
id=$(e2e_wait_geometry "0 0 1920 1080")
e2e_expect_eq "0 0" "$(e2e_frame_origin "$id")" "full-screen window is borderless at the origin"
e2e_focus "$id"

e2e_key F1
framed=$(e2e_wait_geometry "* * 1280 720")
e2e_expect_eq "320 180" "$(e2e_frame_origin "$framed")" "framed window's outer top-left corner"
[ -n "$(xprop -id "$framed" _NET_FRAME_EXTENTS | grep -v '0, 0, 0, 0' | grep '=')" ] ||
    e2e_fail "the framed window has no frame"

e2e_focus "$framed"
e2e_key F1
full=$(e2e_wait_geometry "0 0 1920 1080")
e2e_focus "$full"
e2e_key Escape
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after Escape"
e2e_expect_eq "1920x1080" "$(cat "$E2E_OUT")" "standard output"
[ "$(wc -l <"$E2E_OUT")" -eq 1 ] || e2e_fail "more than one line on standard output"

e2e_start_viewer second
id=$(e2e_wait_window)
e2e_focus "$id"
# openbox takes Alt+F4 and asks the window to close, as a click on the close box would.
e2e_key alt+F4
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after closing the window"
e2e_expect_eq "1920x1080" "$(cat "$E2E_OUT")" "standard output of the second run"
# The timed demo, cut short: its figures after the size line, and 0.
KESTRA_TIMEDEMO_FRAMES=50 e2e_start_viewer demo "$E2E_RUN_DIR" --timedemo --window
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code of the timed demo"
[[ "$(tr '\n' '|' <"$E2E_OUT")" =~ ^1280x720\|50\ frames,\ [0-9]+\.[0-9]{2}\ seconds,\ [0-9.]+\ fps\ average,\ [0-9.]+\ fps\ 1%\ low\|$ ]] ||
    e2e_fail "timed demo output: $(cat "$E2E_OUT")"
echo "window test passed"
