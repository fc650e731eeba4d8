#!/usr/bin/env bash
# Makes docs/screenshot.jpg for the README: the real viewer (run command's build/) on a virtual
# 1920x1080 screen with the bundled city, a little way up the first street, scaled to 960x540.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build -j"$(nproc)"

source tests/e2e/lib.sh
e2e_init build/kestra build/run
e2e_start_display
# A fresh bundled city: build/run/city.map may be one the user put there.
build/kestra-map generate -o "$E2E_TMP/city.map" >/dev/null
e2e_start_viewer screenshot "$E2E_TMP" --data "$PWD/build/run" "$E2E_TMP/city.map"
id=$(e2e_wait_geometry "0 0 1920 1080")
e2e_focus "$id"

# Hold W until the view has moved well up the street.
shot="$E2E_TMP/shot.png"
e2e_screenshot "$E2E_TMP/start.png"
moved_on() {
    e2e_screenshot "$shot"
    local differing
    differing=$(compare -metric AE "$E2E_TMP/start.png" "$shot" null: 2>&1 >/dev/null)
    awk -v n="${differing%% *}" 'BEGIN { exit !(n + 0 > 600000) }'
}
xdotool keydown w
e2e_poll "$E2E_TIMEOUT" moved_on || { xdotool keyup w; e2e_fail "the view did not move"; }
xdotool keyup w
e2e_screenshot "$shot"
e2e_key Escape
e2e_wait_exit

mkdir -p docs
convert "$shot" -resize 960x540 -strip -quality 85 docs/screenshot.jpg
echo "docs/screenshot.jpg: $(identify -format '%wx%h' docs/screenshot.jpg), $(stat -c %s docs/screenshot.jpg) bytes"
