#!/usr/bin/env bash
# Builds the sanitizer configuration and soaks the real viewer in its run folder under Xvfb
# (tests/soak/soak.sh; SOAK_SECONDS, default 180, bounds the input stream).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKESTRA_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$(nproc)"
exec bash tests/soak/soak.sh build-asan/kestra build-asan/run
