#!/usr/bin/env bash
# Installs what is missing, builds the viewer and its generated city, and starts it in its run folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
cmake --build build -j"$(nproc)"
cd build/run
exec ../kestra
