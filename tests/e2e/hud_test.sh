# The HUD in the real viewer: red statistics lines below the title, hidden by Insert; the mode line
# follows F1.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display

shot="$E2E_TMP/shot.png"
# Pixels of pure text red in a rectangle of the screen: "w h x y".
red_pixels() {
    convert "$shot" -crop "$1" +repage -fill white -opaque "rgb(255,0,0)" -fill black +opaque white \
        -format "%[fx:int(mean*w*h+0.5)]" info:
}
# Lit red walls can saturate to text red too, so the lines are told by how much red they add
# to the still picture behind them.
shown=0
statistics_shown() {
    e2e_screenshot "$shot"
    local n
    n=$(red_pixels 330x118+11+52)
    [ "$n" -gt 1500 ] && [ "$n" -ge $((shown - 100)) ] && shown=$n
}
statistics_hidden() {
    e2e_screenshot "$shot"
    [ "$(red_pixels 330x118+11+52)" -lt $((shown - 1500)) ] && [ "$(red_pixels 330x32+11+4)" -gt 100 ]
}

e2e_start_viewer
id=$(e2e_wait_geometry "0 0 1920 1080")
e2e_focus "$id"
e2e_poll "$E2E_TIMEOUT" statistics_shown || e2e_fail "no statistics lines below the title"
convert "$shot" -crop 330x12+11+119 +repage "$E2E_TMP/mode_full.png"

e2e_key Insert
e2e_poll "$E2E_TIMEOUT" statistics_hidden || e2e_fail "Insert did not hide the statistics, or the title went too"
e2e_key Insert
e2e_poll "$E2E_TIMEOUT" statistics_shown || e2e_fail "Insert did not bring the statistics back"

# In the framed window the mode line names another mode and size: its red glyphs differ.
e2e_key F1
framed=$(e2e_wait_geometry "* * 1280 720")
read -r x y _ _ <<<"$(e2e_client_geometry "$framed")"
mode_line_changed() {
    e2e_screenshot "$shot"
    convert "$shot" -crop "330x12+$((x + 11))+$((y + 119))" +repage "$E2E_TMP/mode_window.png"
    local differing
    differing=$(compare -metric AE "$E2E_TMP/mode_full.png" "$E2E_TMP/mode_window.png" null: 2>&1 >/dev/null)
    awk -v n="${differing%% *}" 'BEGIN { exit !(n + 0 > 50) }'
}
e2e_poll "$E2E_TIMEOUT" mode_line_changed || e2e_fail "the mode line did not change after F1"

e2e_focus "$framed"
e2e_key Escape
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after Escape"
echo "HUD test passed"
