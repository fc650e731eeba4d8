# The installed viewer: `cmake --install` of the build folder (KESTRA_BUILD_DIR) into a temporary
# prefix, which is then moved elsewhere; its desktop entry, icons, manual pages and file type, which the
# desktop's own tools resolve to the viewer; the viewer started from an empty folder with --window and a
# map argument, drawing from the installed data and following the map file as kestra-map replaces it.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
build=${KESTRA_BUILD_DIR:?KESTRA_BUILD_DIR names the build folder}

cmake --install "$build" --prefix "$E2E_TMP/staged" >"$E2E_TMP/install.err" 2>&1 || e2e_fail "cmake --install failed"
prefix="$E2E_TMP/prefix"
mv "$E2E_TMP/staged" "$prefix"

desktop-file-validate "$prefix/share/applications/kestra.desktop" >"$E2E_TMP/desktop.err" 2>&1 ||
    e2e_fail "desktop entry"
for size in 48 128 256; do
    for icon in apps/kestra.png mimetypes/application-x-kestra-map.png; do
        e2e_expect_eq "PNG ${size}x${size}" "$(identify -format '%m %wx%h' \
            "$prefix/share/icons/hicolor/${size}x${size}/$icon")" "icon $icon of size $size"
    done
done
for page in man6/kestra.6.gz man1/kestra-map.1.gz; do
    e2e_expect_eq "" "$(zcat "$prefix/share/man/$page" | groff -t -man -ww -z 2>&1 || echo "groff failed")" \
        "$page warnings"
done
grep -q "^License: OFL-1.1" "$prefix/share/doc/kestra/copyright" || e2e_fail "copyright file"

# The desktop as a file manager asks it: which type a file is, and which program opens that type. The
# name decides for a .map file (the shared MIME rules let a single matching name win over the contents);
# the header decides for a file without that ending.
export XDG_DATA_DIRS="$prefix/share:/usr/share" XDG_DATA_HOME="$E2E_TMP/home" XDG_CONFIG_HOME="$E2E_TMP/home"
update-mime-database "$prefix/share/mime"
update-desktop-database "$prefix/share/applications"
mkdir -p "$E2E_TMP/files"
cp "$prefix/share/kestra/city.map" "$E2E_TMP/files/city.map"
cp "$prefix/share/kestra/city.map" "$E2E_TMP/files/city"
printf 'KESTRA MAP\0\3\0\0\0' >"$E2E_TMP/files/version3"
echo "not a map" >"$E2E_TMP/files/notes.map"
for pair in city.map:application/x-kestra-map city:application/x-kestra-map version3:application/octet-stream \
    notes.map:application/x-kestra-map; do
    for desktop in "" GNOME; do
        e2e_expect_eq "${pair#*:}" "$(XDG_CURRENT_DESKTOP=$desktop xdg-mime query filetype "$E2E_TMP/files/${pair%%:*}")" \
            "type of ${pair%%:*}${desktop:+ on $desktop}"
    done
done
e2e_expect_eq kestra.desktop "$(xdg-mime query default application/x-kestra-map)" "program for city files"
e2e_expect_eq "Exec=kestra %f" "$(grep '^Exec=' "$prefix/share/applications/kestra.desktop")" "the file opened is passed"

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

# The viewer follows its city file: tall buildings all round the start tile (row 168, column 2), imported
# over the map, change a quarter of the window without a restart.
convert -size 170x170 xc:'#A00000' -fill '#00A000' -draw 'point 2,168' "PNG24:$E2E_TMP/maps/walls.png"
import -window root -crop "1280x720+$x+$y" "$E2E_TMP/grass.ppm"
"$prefix/bin/kestra-map" import "$E2E_TMP/maps/walls.png" -o "$E2E_TMP/maps/grass.map" >/dev/null ||
    e2e_fail "kestra-map import over the map"
walls_shown() {
    import -window root -crop "1280x720+$x+$y" "$E2E_TMP/walls.ppm"
    e2e_differ "$E2E_TMP/grass.ppm" "$E2E_TMP/walls.ppm" 230400
}
e2e_poll "$E2E_TIMEOUT" walls_shown || e2e_fail "the imported city never showed"

e2e_key Escape
e2e_wait_exit
e2e_expect_eq "0 1280x720 " "$E2E_STATUS $(cat "$E2E_OUT") $(cat "$E2E_ERR")" "exit code, standard output and error"
