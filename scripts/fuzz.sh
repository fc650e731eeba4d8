#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and UndefinedBehaviorSanitizer, writes their
# seed corpora and runs each target for a bounded time. Exits non-zero on any finding (crash, sanitizer
# report, leak, timeout, out-of-memory); the reproducer is kept under build-fuzz/fuzz-run/artifacts/.
# FUZZ_SECONDS (default 60) is the time per target.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
seconds=${FUZZ_SECONDS:-60}
targets=(map bmp tga path)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRA_FUZZ=ON -DKESTRA_WERROR=ON \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target kestra-fuzz-seeds "${targets[@]/#/kestra-fuzz-}"

# Absolute: the lookup target changes its working folder into its scratch tree.
run=$PWD/build-fuzz/fuzz-run
rm -rf "$run"
mkdir -p "$run"
build-fuzz/fuzz/kestra-fuzz-seeds "$run/seeds"

# SDL unloads the EGL library at exit, and with it Mesa, leaving what Mesa still held unreachable and
# unsymbolisable for the leak check; keeping it loaded keeps that memory Mesa's.
egl=""
for dir in /usr/lib/x86_64-linux-gnu /usr/lib64 /usr/lib; do
  [ -e "$dir/libEGL.so.1" ] && { egl="$dir/libEGL.so.1"; break; }
done

failed=()
for target in "${targets[@]}"; do
  mkdir -p "$run/corpus/$target" "$run/artifacts/$target"
  log="$run/$target.log"
  echo "fuzz: $target for ${seconds}s"
  preload=""
  [ "$target" = tga ] && preload=$egl
  # Headless GL for the TGA target; no display, so nothing can wait on a window.
  if env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen LD_PRELOAD="$preload" \
      ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "build-fuzz/fuzz/kestra-fuzz-$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$run/artifacts/$target/" \
      "$run/corpus/$target" "$run/seeds/$target" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" | sed "s/^/fuzz: $target /" || true
  else
    failed+=("$target")
    echo "fuzz: $target FAILED; last lines of $log:"
    tail -n 60 "$log"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in: ${failed[*]}"
  exit 1
fi
echo "fuzz: no findings"
