#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Kestra need (as root, or through sudo).
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libsdl2-dev libx11-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri mesa-utils
  libgtest-dev libpng-dev zlib1g-dev
  console-setup-linux
  xvfb xdotool openbox x11-utils imagemagick python3
  sway grim wtype jq libwayland-dev
  desktop-file-utils man-db gzip
  shared-mime-info xdg-utils libfile-mimeinfo-perl libglib2.0-bin lintian
  clang libclang-rt-14-dev
)
# The Windows build and its test, without recommends: wine's would add a desktop's worth of fonts,
# sound and 32-bit libraries.
lean_packages=(g++-mingw-w64-x86-64-win32 nsis wine wine64)
missing_of()  # packages...
{
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t lean_missing < <(missing_of "${lean_packages[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#lean_missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
[ ${#missing[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "${missing[@]}"
[ ${#lean_missing[@]} -eq 0 ] ||
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${lean_missing[@]}"
