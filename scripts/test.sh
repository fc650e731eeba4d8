#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test, each build in its own folder so that the
# run command's build/ is never touched: build-windows/ (the Windows archive, which build-test/ runs
# under wine), build-test/ (every test), build-asan/ (every test under AddressSanitizer and
# UndefinedBehaviorSanitizer), build-release/ (the Release build with its unit tests), then the
# fuzzers and a soak of the real viewer. Warnings are errors in all of them.
# --quick: only build-test/ and its unit and end-to-end tests (the wine test only if the archive is there).
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
case "${1:-}" in
  "") ;;
  --quick) quick=1 ;;
  *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh
jobs=$(nproc)

# Configures and builds one test folder: build_tests <folder> <cmake options...>
build_tests()
{
  local folder=$1
  shift
  cmake -S . -B "$folder" -DBUILD_TESTING=ON -DKESTRA_WERROR=ON "$@"
  cmake --build "$folder" -j"$jobs"
}

[ $quick -eq 1 ] || bash scripts/build-windows.sh -DKESTRA_WERROR=ON
build_tests build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd build-test && ctest --output-on-failure -j"$jobs")
[ $quick -eq 0 ] || exit 0

build_tests build-asan -DCMAKE_BUILD_TYPE=Debug -DKESTRA_SANITIZE=ON
# intercept_tls_get_addr=0: GCC 12's LeakSanitizer takes a dynamic TLS block (one of the libraries Mesa loads
# has one) that happens to start 16 bytes into a page for glibc 2.18's layout, reads its bounds from the heap
# chunk before it and crashes its tracer at exit. Where the block lands depends on the machine. Without the
# interception the dynamic TLS of loaded libraries is not scanned for pointers.
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/../tests/lsan.supp:print_suppressions=0" ctest --output-on-failure -j"$jobs" \
  -E windows_test)  # the Windows build under wine ran once above

# The optimiser's own warnings appear only at -O3; the end-to-end tests already ran twice above.
build_tests build-release -DCMAKE_BUILD_TYPE=Release
(cd build-release && ctest --output-on-failure -j"$jobs" -LE e2e)

# Fuzz the file readers for a bounded time, then soak the sanitizer build of the real viewer.
bash scripts/fuzz.sh
bash scripts/soak.sh
