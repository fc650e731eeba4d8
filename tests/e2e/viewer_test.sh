# One run of the viewer with the bundled city on a 1920x1080 screen with a French keyboard: the start-up line,
# a borderless full screen, sky above and street below, F12 saving the screen's pixels in a new file named on
# standard output, and a failed save going by with one line, red statistics lines below the title that Insert
# hides, driving from the W place (which types Z there), F3 taking the sky away, F1 to a centred framed window
# and back, and closing through the window manager. Then steady motion in a window of an asked size, and the
# timed demo.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display
setxkbmap fr && xdotool key shift  # the new layout is taken up with the next key

shot="$E2E_TMP/shot.ppm"
sky_over_street() {
    e2e_screenshot "$shot"
    read -r r g b <<<"$(e2e_pixel "$shot" 960 60)"
    [ "$b" -gt $((r + 30)) ] || return 1
    read -r r g b <<<"$(e2e_pixel "$shot" 960 1000)"
    [ "$b" -lt $((r + 20)) ] && [ "$r" -lt 200 ]
}
# Pixels of pure text red in a rectangle "wxh+x+y" of the last screenshot.
red_pixels() {
    convert "$shot" -crop "$1" +repage -fill white -opaque "rgb(255,0,0)" -fill black +opaque white \
        -format "%[fx:int(mean*w*h+0.5)]" info:
}
# Lit red walls can saturate to text red too, so the lines are told by how much red they add
# to the picture behind them.
statistics_hidden() {
    e2e_screenshot "$shot"
    [ "$(red_pixels 330x118+11+52)" -lt $((shown - 1500)) ] && [ "$(red_pixels 330x32+11+4)" -gt 100 ]
}
moved_on() {
    e2e_screenshot "$shot"
    e2e_differ "$E2E_TMP/first.ppm" "$shot" 10000
}
clear_colour_at_top() {
    e2e_screenshot "$shot"
    [ "$(e2e_pixel "$shot" 960 60)" = "204 204 204" ]
}

pictures="$E2E_TMP/pictures"
XDG_PICTURES_DIR=$pictures e2e_start_viewer
id=$(e2e_wait_geometry "0 0 1920 1080")
e2e_expect_eq "0 0 0 0" "$(xprop -id "$id" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ',')" "full-screen frame"
e2e_focus "$id"
e2e_poll "$E2E_TIMEOUT" sky_over_street || e2e_fail "no sky in the upper part of the screen over a street below"
shown=$(red_pixels 330x118+11+52)
[ "$shown" -gt 1500 ] || e2e_fail "no statistics lines below the title"
cp "$shot" "$E2E_TMP/first.ppm"
# A new file in the Kestra folder, which it makes; equal to the screen outside the HUD's changing figures.
printed() { [ "$(wc -l <"$E2E_OUT")" -eq "$1" ]; }
hud_off() { convert "$1" -fill black -draw "rectangle 0,0 340,175" "$E2E_TMP/$2.ppm"; }
e2e_key F12
e2e_poll "$E2E_TIMEOUT" printed 2 || e2e_fail "F12 printed no file name"
saved=$(sed 1d "$E2E_OUT")
e2e_expect_eq "$(ls "$pictures"/Kestra/kestra-20[0-9-]*.png)" "$saved" "screenshot saved and named"
hud_off "$saved" saved && hud_off "$shot" screen
e2e_expect_eq 0 "$(compare -metric AE "$E2E_TMP/saved.ppm" "$E2E_TMP/screen.ppm" null: 2>&1 || true)" "pixels of a screenshot off the screen's"
rm -r "$pictures/Kestra" && touch "$pictures/Kestra"
e2e_key F12
e2e_poll "$E2E_TIMEOUT" test -s "$E2E_ERR" || e2e_fail "a screenshot that cannot be saved said nothing"
e2e_expect_eq "kestra: screenshot not saved: $pictures/Kestra: Not a directory" "$(cat "$E2E_ERR")" "a failed screenshot"
e2e_key Insert
e2e_poll "$E2E_TIMEOUT" statistics_hidden || e2e_fail "Insert did not hide the statistics, or the title went too"

xdotool keydown 25  # the key right of Tab
e2e_poll "$E2E_TIMEOUT" moved_on || { xdotool keyup 25; e2e_fail "holding the W place did not move the view"; }
xdotool keyup 25
e2e_key F3
e2e_poll "$E2E_TIMEOUT" clear_colour_at_top || e2e_fail "F3 did not take the sky away"

# The framed window is centred by its outer corner: its client corner less the frame's left and top.
e2e_key F1
id=$(e2e_wait_geometry "* * 1280 720")
read -r x y _ <<<"$(e2e_current_geometry)"
read -r left _ top _ <<<"$(xprop -id "$id" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ',')"
[ "${top:-0}" -gt 0 ] || e2e_fail "the framed window has no title bar"
e2e_expect_eq "320 180" "$((x - left)) $((y - top))" "framed window's outer top-left corner"
e2e_focus "$id"
e2e_key F1
id=$(e2e_wait_geometry "0 0 1920 1080")
e2e_focus "$id"
# openbox takes Alt+F4 and asks the window to close, as a click on the close box would.
e2e_key alt+F4
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after closing the window"
e2e_expect_eq "1920x1080
$saved" "$(cat "$E2E_OUT")" "standard output, where F1 adds nothing"

e2e_start_viewer steady "$E2E_RUN_DIR" --steady --size 640x360
id=$(e2e_wait_geometry "* * 640 360")
e2e_focus "$id"
e2e_key Escape
e2e_wait_exit
e2e_expect_eq "0 640x360" "$E2E_STATUS $(cat "$E2E_OUT")" "exit code and size line of the asked size"

# The timed demo, cut short: its figures after the size line, naming the reference renderer when it ran, and 0.
for renderer in "" reference; do
    KESTRA_RENDERER=$renderer KESTRA_TIMEDEMO_FRAMES=50 e2e_start_viewer demo "$E2E_RUN_DIR" --timedemo --window
    e2e_wait_exit
    e2e_expect_eq 0 "$E2E_STATUS" "exit code of the timed demo"
    note=${renderer:+, $renderer renderer}
    [[ "$(tr '\n' '|' <"$E2E_OUT")" =~ ^1280x720\|50\ frames,\ .*\ fps\ 1%\ low$note\|$ ]] ||
        e2e_fail "timed demo output with KESTRA_RENDERER='$renderer'"
done
