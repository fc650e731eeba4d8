# The viewer follows its city file: kestra-map import replacing it while the viewer runs shows the new
# city without a restart (what a failing file does is left to the map file test).
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
maps="$E2E_TMP/maps"
mkdir "$maps"
tool="$(dirname "$E2E_BIN")/kestra-map"
convert -size 170x170 xc:'#00A000' "PNG24:$maps/grass.png"
# Tall buildings all round the start tile (row 168, column 2), which stays grass.
convert -size 170x170 xc:'#A00000' -fill '#00A000' -draw 'point 2,168' "PNG24:$maps/walls.png"
"$tool" import "$maps/grass.png" -o "$maps/city.map" >/dev/null || e2e_fail "kestra-map import"

e2e_start_display
e2e_start_viewer follow "$maps" --window city.map
id=$(e2e_wait_geometry "* * 1280 720")
e2e_focus "$id"
read -r x y _ <<<"$(e2e_current_geometry)"
grass_shown() {
    import -window root -crop "1280x720+$x+$y" "$E2E_TMP/grass.ppm"
    read -r r g b <<<"$(e2e_pixel "$E2E_TMP/grass.ppm" 640 700)"
    [ "$g" -gt $((r + 15)) ] && [ "$g" -gt $((b + 15)) ]
}
e2e_poll "$E2E_TIMEOUT" grass_shown || e2e_fail "no frame of the grass city"
"$tool" import "$maps/walls.png" -o "$maps/city.map" >/dev/null || e2e_fail "kestra-map import"
# A quarter of the window changes when walls stand where open grass was.
walls_shown() {
    import -window root -crop "1280x720+$x+$y" "$E2E_TMP/walls.ppm"
    e2e_differ "$E2E_TMP/grass.ppm" "$E2E_TMP/walls.ppm" 230400
}
e2e_poll "$E2E_TIMEOUT" walls_shown || e2e_fail "the imported city never showed"
e2e_key Escape
e2e_wait_exit
e2e_expect_eq "0 " "$E2E_STATUS $(cat "$E2E_ERR")" "exit code and standard error"
