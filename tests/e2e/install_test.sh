# The installed viewer: `cmake --install` of the build folder (KESTRA_BUILD_DIR) into a temporary
# prefix, which is then moved elsewhere; its desktop entry, icons and manual pages; the viewer started
# from an empty folder with --window and a map argument, drawing from the installed data.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
build=${KESTRA_BUILD_DIR:?KESTRA_BUILD_DIR names the build folder}

cmake --install "$build" --prefix "$E2E_TMP/staged" >"$E2E_TMP/install.err" 2>&1 || e2e_fail "cmake --install failed"
prefix="$E2E_TMP/prefix"
mv "$E2E_TMP/staged" "$prefix"

desktop-file-validate "$prefix/share/applications/kestra.desktop" >"$E2E_TMP/desktop.err" 2>&1 ||
    e2e_fail "desktop entry"
e2e_expect_eq "Exec=kestra" "$(grep '^Exec=' "$prefix/share/applications/kestra.desktop")" "desktop entry command"
for size in 48 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/kestra.png"
    e2e_expect_eq "PNG ${size}x${size}" "$(identify -format '%m %wx%h' "$icon")" "icon of size $size"
done
for page in man6/kestra.6 man1/kestra-map.1; do
    e2e_expect_eq "" "$(groff -t -man -ww -z "$prefix/share/man/$page" 2>&1 || echo "groff failed")" "$page warnings"
done
[ -s "$prefix/share/doc/kestra/LICENSE" ] && [ -s "$prefix/share/doc/kestra/font-notice.txt" ] ||
    e2e_fail "licence files missing"

# A red sky marks the installed data as the data drawn; an all-grass city marks the map argument as
# the map loaded (the bundled city has a street ahead of the camera).
for face in 0 1 2 3 4 5; do
    convert -size 512x512 xc:'#FF0000' "BMP3:$prefix/share/kestra/Data/sky_$face.bmp"
done
mkdir -p "$E2E_TMP/maps" "$E2E_TMP/empty"
convert -size 170x170 xc:'#00A000' "PNG24:$E2E_TMP/maps/grass.png"
"$prefix/bin/kestra-map" import "$E2E_TMP/maps/grass.png" -o "$E2E_TMP/maps/grass.map" >/dev/null ||
    e2e_fail "the installed kestra-map could not make a map"

e2e_start_display
E2E_BIN="$prefix/bin/kestra"
e2e_start_viewer installed "$E2E_TMP/empty" --window ../maps/grass.map
id=$(e2e_wait_geometry "* * 1280 720")
e2e_focus "$id"
read -r x y _ <<<"$(e2e_current_geometry)"
shot="$E2E_TMP/shot.ppm"
red_sky_over_grass() {
    e2e_screenshot "$shot"
    read -r r g b <<<"$(e2e_pixel "$shot" $((x + 640)) $((y + 40)))"
    [ "$r" -gt $((g + 100)) ] && [ "$r" -gt $((b + 100)) ] || return 1
    read -r r g b <<<"$(e2e_pixel "$shot" $((x + 640)) $((y + 700)))"
    [ "$g" -gt $((r + 15)) ] && [ "$g" -gt $((b + 15)) ]
}
e2e_poll "$E2E_TIMEOUT" red_sky_over_grass || e2e_fail "no frame of the installed data and the given map"

e2e_key Escape
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after Escape"
e2e_expect_eq "1280x720" "$(cat "$E2E_OUT")" "standard output"
