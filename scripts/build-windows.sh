#!/usr/bin/env bash
# Builds Kestra for 64-bit Windows on Debian 12: installs what is missing (MinGW-w64 and NSIS, and wine
# with Xvfb for the test), builds the asset and map tools natively in build-windows/host (they need
# libpng, which MinGW lacks) to generate the data, cross-builds the viewer in build-windows/cross
# with dist/mingw-w64-x86_64.cmake, and leaves build-windows/kestra.exe, the archive
# build-windows/kestra-<version>-win64.zip and its installer build-windows/kestra-<version>-win64.exe.
# Extra arguments go to the cross build's cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build-windows/host -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build-windows/host -j"$jobs" --target kestra_assets_data city_map

cmake -S . -B build-windows/cross -DCMAKE_TOOLCHAIN_FILE="$PWD/dist/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKESTRA_HOST_RUN_DIR="$PWD/build-windows/host/run" "$@"
cmake --build build-windows/cross -j"$jobs"
rm -f build-windows/cross/kestra-*-win64.*
(cd build-windows/cross && cpack -G "ZIP;NSIS")
cp build-windows/cross/kestra.exe build-windows/cross/kestra-*-win64.* build-windows/
echo "built: $(ls build-windows/kestra.exe build-windows/kestra-*-win64.* | tr '\n' ' ')"
