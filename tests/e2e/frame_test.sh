# The drawn frame in the real viewer: sky above and city below at the start, driving changes the
# picture, F3 takes the sky away, Escape ends with 0.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display

shot="$E2E_TMP/shot.png"
sky_at_top() {
    e2e_screenshot "$shot"
    read -r r g b <<<"$(e2e_pixel "$shot" 960 60)"
    [ "$b" -gt $((r + 30)) ]
}
city_at_bottom() {
    # The street ahead: grey asphalt, nothing like the sky's blue.
    read -r r g b <<<"$(e2e_pixel "$shot" 960 1000)"
    [ "$b" -lt $((r + 20)) ] && [ "$r" -lt 200 ]
}
picture_changed() {
    e2e_screenshot "$E2E_TMP/now.png"
    local differing
    differing=$(compare -metric AE "$E2E_TMP/first.png" "$E2E_TMP/now.png" null: 2>&1 >/dev/null)
    awk -v n="${differing%% *}" 'BEGIN { exit !(n + 0 > 10000) }' 
}
clear_colour_at_top() {
    e2e_screenshot "$shot"
    [ "$(e2e_pixel "$shot" 960 60)" = "204 204 204" ]
}

e2e_start_viewer
id=$(e2e_wait_geometry "0 0 1920 1080")
e2e_focus "$id"
e2e_poll "$E2E_TIMEOUT" sky_at_top || e2e_fail "no sky in the upper part of the screen"
city_at_bottom || e2e_fail "no street in the lower part of the screen"
cp "$shot" "$E2E_TMP/first.png"

xdotool keydown w
e2e_poll "$E2E_TIMEOUT" picture_changed || { xdotool keyup w; e2e_fail "holding W did not move the view"; }
xdotool keyup w

e2e_key F3
e2e_poll "$E2E_TIMEOUT" clear_colour_at_top || e2e_fail "F3 did not take the sky away"

e2e_key Escape
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after Escape"
echo "frame test passed"
