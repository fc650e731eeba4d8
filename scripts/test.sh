#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: a normal build, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzzers and a soak of the real viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKESTRA_SANITIZE=ON -DBUILD_TESTING=ON
cmake --build build-asan -j"$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/../tests/lsan.supp:print_suppressions=0" ctest --output-on-failure -j"$jobs")

# Fuzz the file readers for a bounded time, then soak the sanitizer build of the real viewer.
bash scripts/fuzz.sh
bash scripts/soak.sh
