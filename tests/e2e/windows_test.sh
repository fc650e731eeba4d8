# The Windows build (KESTRA_WINDOWS_ZIP, made by scripts/build-windows.sh) unpacked and run under wine
# on the shared Xvfb screen: the size line, the start-up view, shown and saved by --screenshot, equal to
# the Linux viewer's first frame pixel for pixel outside the frame-rate digits, driving, Insert, F3, F1
# there and back, Escape; a missing texture; the timed demo from a folder with a non-ASCII name; the installer (the archive's name ending in
# .exe), the installed viewer run from elsewhere, the uninstaller. Skipped (77) when the archive has not
# been built.
source "$(dirname "$0")/lib.sh"
[ -f "${KESTRA_WINDOWS_ZIP:-}" ] || { echo "no Windows build (scripts/build-windows.sh); skipped"; exit 77; }
e2e_init "$@"
# The prefix lives beside the archive, made once (it takes seconds), never in ~/.wine. No Mono or
# Gecko installers, no menu entries in the user's desktop for the installer's, no debug output.
WINEPREFIX="$(dirname "$(readlink -f "$KESTRA_WINDOWS_ZIP")")/wine"
export WINEPREFIX WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
e2e_on_exit() { wineserver -k 2>/dev/null || true; }
[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i && wineserver -w; } >"$E2E_TMP/wineboot.log" 2>&1 ||
    e2e_fail "the wine prefix could not be made"
cmake -E chdir "$E2E_TMP" cmake -E tar xf "$(readlink -f "$KESTRA_WINDOWS_ZIP")"
unpacked=$(echo "$E2E_TMP"/kestra-*-win64)
[ -f "$unpacked/kestra.exe" ] && [ -f "$unpacked/data/Terminal8.tga" ] && [ -f "$unpacked/city.map" ] ||
    e2e_fail "the archive lacks the program or its data"
e2e_start_display
# The window's client area in shot.ppm, the frame-rate digits (the 5 digits of the FPS line and their shadow)
# blacked out.
shot="$E2E_TMP/shot.ppm"
digits_off() { mogrify -fill black -draw "rectangle 51,27 92,40" "$@"; }
client_shot() { import -window "$id" "$shot" && digits_off "$shot"; }
sky_at_top() { client_shot && read -r r g b <<<"$(e2e_pixel "$shot" 640 30)" && [ "$b" -gt $((r + 30)) ]; }
night_at_top() { client_shot && [ "$(e2e_pixel "$shot" 640 30)" = "204 204 204" ]; }
changed_since() {  # reference-shot region pixels
    client_shot && convert "$1" -crop "$2" "$E2E_TMP/before.ppm" && convert "$shot" -crop "$2" "$E2E_TMP/after.ppm" &&
        e2e_differ "$E2E_TMP/before.ppm" "$E2E_TMP/after.ppm" "$3"
}

# The Linux viewer's first frame, at a 16-bit depth buffer as wine's ChoosePixelFormat gives (SDL's
# GLX visual would have 24 or 32 bits; its EGL configuration is the smallest that fits), and the Windows one's.
SDL_VIDEO_X11_FORCE_EGL=1 e2e_start_viewer Linux "$E2E_RUN_DIR" --window --screenshot "$E2E_TMP/Linux.png"
e2e_wait_exit
E2E_BIN="$unpacked/kestra.exe"
E2E_LAUNCHER=(wine)
e2e_start_viewer first "$unpacked" --window --screenshot "$(winepath -w "$E2E_TMP/first.png")"
e2e_wait_exit
digits_off "$E2E_TMP/Linux.png" "$E2E_TMP/first.png"
e2e_expect_eq "0 0" "$E2E_STATUS $(compare -metric AE "$E2E_TMP/Linux.png" "$E2E_TMP/first.png" null: 2>&1 || true)" \
    "--screenshot's status and pixels differing from the Linux viewer's"

xdotool mousemove 960 540
e2e_start_viewer Windows "$unpacked" --window
id=$(e2e_wait_geometry "* * 1280 720")
e2e_poll "$E2E_TIMEOUT" sky_at_top || e2e_fail "the Windows viewer drew no sky"
cp "$shot" "$E2E_TMP/Windows.ppm"
read -r x y _ <<<"$(e2e_current_geometry)"
# The outer corner at (320, 180), the client inside Windows' own frame.
[ $((x - 320)) -ge 0 ] && [ $((x - 320)) -le 16 ] && [ $((y - 180)) -gt 0 ] && [ $((y - 180)) -le 48 ] ||
    e2e_fail "the framed window's client area is at $x $y, not inside a frame at 320 180"
e2e_expect_eq 0 "$(compare -metric AE "$E2E_TMP/Linux.png" "$E2E_TMP/Windows.ppm" null: 2>&1 || true)" \
    "pixels of the start-up view differing from the Linux viewer's"
e2e_focus "$id"
e2e_key Insert
e2e_poll "$E2E_TIMEOUT" changed_since "$E2E_TMP/Windows.ppm" 330x118+11+52 500 || e2e_fail "Insert did not hide the statistics"
xdotool keydown w
e2e_poll "$E2E_TIMEOUT" changed_since "$E2E_TMP/Windows.ppm" 1280x720+0+0 10000 ||
    { xdotool keyup w; e2e_fail "holding W did not move the view"; }
xdotool keyup w
e2e_key F3
e2e_poll "$E2E_TIMEOUT" night_at_top || e2e_fail "F3 did not take the sky away"
for geometry in "0 0 1920 1080" "* * 1280 720"; do
    e2e_key F1
    id=$(e2e_wait_geometry "$geometry")
    e2e_focus "$id"
done
e2e_key Escape
e2e_wait_exit
e2e_expect_eq "0 1280x720" "$E2E_STATUS $(tr -d '\r' <"$E2E_OUT")" "exit code and standard output after Escape"

folder="$E2E_TMP/broken"
cp -r "$unpacked" "$folder"
rm "$folder/Data/Road.bmp"
e2e_start_viewer broken "$folder" --window
e2e_dismiss_box "MAP LOAD ERROR"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: Error loading Data/Road.bmp.
ERROR: Initialization Failed." "$E2E_STATUS $(tr -d '\r' <"$E2E_ERR" | grep -v '^$')" "a missing texture"

# The timed demo, from a folder and with a map whose names are not ASCII: the wide command line and
# file names reach the data.
folder="$E2E_TMP/Straße été"
cp -r "$unpacked" "$folder"
mv "$folder/city.map" "$folder/città.map"
LC_ALL=C.UTF-8 KESTRA_TIMEDEMO_FRAMES=50 e2e_start_viewer demo "$folder" --timedemo --window città.map
e2e_wait_exit
e2e_expect_eq "0 " "$E2E_STATUS $(cat "$E2E_ERR")" "exit code and messages of the timed demo"
[[ "$(tr -d '\r' <"$E2E_OUT" | tr '\n' '|')" =~ ^1280x720\|50\ frames,\ .*\ fps\ 1%\ low\|$ ]] ||
    e2e_fail "timed demo output"

# Installed silently into the prefix: a Start-menu entry, the viewer finding its data beside itself
# when started from another folder, and the uninstaller taking it all away again.
installed="$WINEPREFIX/drive_c/KestraTest"
rm -rf "$installed"
wine "${KESTRA_WINDOWS_ZIP%.zip}.exe" /S '/D=C:\KestraTest' || e2e_fail "the installer failed"
menu_entry() { find "$WINEPREFIX/drive_c/ProgramData" -name Kestra.lnk | grep -q .; }
[ -f "$installed/kestra.exe" ] && menu_entry || e2e_fail "no installed viewer or no Start-menu entry"
mkdir "$E2E_TMP/elsewhere"
E2E_BIN="$installed/kestra.exe"
KESTRA_TIMEDEMO_FRAMES=5 e2e_start_viewer installed "$E2E_TMP/elsewhere" --timedemo --window
e2e_wait_exit
e2e_expect_eq "0 " "$E2E_STATUS $(cat "$E2E_ERR")" "exit code and messages of the installed viewer"
# The uninstaller runs a copy of itself and returns at once.
wine "$installed/Uninstall.exe" /S || e2e_fail "the uninstaller failed"
e2e_poll "$E2E_TIMEOUT" eval '[ ! -e "$installed/kestra.exe" ] && ! menu_entry' ||
    e2e_fail "the uninstaller left the viewer or its Start-menu entry"
