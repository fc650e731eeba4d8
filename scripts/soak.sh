#!/usr/bin/env bash
# Soaks the real viewer under Xvfb (tests/soak/soak.sh): first the sanitizer build for crashes,
# sanitizer and leak reports (SOAK_SECONDS, default 180), then the normal build for memory growth
# across window switches (SOAK_MEMORY_SECONDS, default 120), which the sanitizer's allocator hides.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKESTRA_SANITIZE=ON -DBUILD_TESTING=ON -DKESTRA_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DKESTRA_WERROR=ON >/dev/null
cmake --build build-test -j"$jobs"
SOAK_CHECK_MEMORY=0 bash tests/soak/soak.sh build-asan/kestra build-asan/run
SOAK_SECONDS=${SOAK_MEMORY_SECONDS:-120} SOAK_CHECK_MEMORY=1 bash tests/soak/soak.sh build-test/kestra build-test/run
