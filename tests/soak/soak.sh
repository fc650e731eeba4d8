#!/usr/bin/env bash
# Soak of the real viewer: a sanitizer build on a private Xvfb screen with openbox, driven for a bounded time
# by a seeded random stream of its bound keys and mouse moves, with F1 switches spread over the run.
# Usage: soak.sh <kestra-binary> <run-dir>
# Environment: SOAK_SECONDS (180), SOAK_SEED (2015), SOAK_SWITCHES (20), SOAK_RSS_SLACK_MIB (64), SOAK_CHECK_MEMORY (1),
# SOAK_MALLOC_CONTEXT (3).
# Fails on: a window that does not come back after F1, a message box, a non-zero exit, any sanitizer or
# leak report, a screen of one flat colour at the end (the HUD's title alone rules that out while the
# viewer draws), or resident memory after the F1 switches of the second half of the run more than the
# slack above that of the first half (medians, each display mode on its own). The sanitizer
# allocator keeps what it frees, so its resident memory creeps up by tens of MiB whatever the program
# does: SOAK_CHECK_MEMORY=0 reports the figures without judging them, for such builds.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 <kestra-binary> <run-dir>" >&2; exit 2; }
bin=$(readlink -f "$1")
run_dir=$(readlink -f "$2")
here=$(dirname "$(readlink -f "$0")")
seconds=${SOAK_SECONDS:-180}
seed=${SOAK_SEED:-2015}
switches=${SOAK_SWITCHES:-20}
slack_kib=$(( ${SOAK_RSS_SLACK_MIB:-64} * 1024 ))
check_memory=${SOAK_CHECK_MEMORY:-1}
wait_limit=90   # seconds any single wait may take; sanitizer builds load slowly
title="Dalm's Kestra (March 24, 2015 @1:12a)"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kestra-soak.XXXXXX")
pids=()
cleanup()
{
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
unset SDL_VIDEODRIVER WAYLAND_DISPLAY

failures=()
fail_now()
{
    echo "soak: FAIL: $*" >&2
    for f in "$tmp"/viewer.err "$tmp"/viewer.out; do
        [ -s "$f" ] && { echo "--- $(basename "$f")" >&2; tail -n 60 "$f" >&2; }
    done
    exit 1
}

# Polls a command until it succeeds or the deadline passes.
poll()  # seconds command...
{
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# ---- Display and window manager.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
poll "$wait_limit" test -s "$tmp/display" || fail_now "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$tmp/display")"
openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
pids+=($!)
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
poll "$wait_limit" wm_ready || fail_now "openbox did not start"

# ---- The viewer, under AddressSanitizer's leak check.
# SDL and GLVND unload the GL libraries at exit, which leaves what those libraries still held unreachable
# and unsymbolisable; keeping them loaded keeps such memory theirs. The sanitizer runtime must come first.
preload=()
asan_runtime=$(ldd "$bin" | awk '/libasan\.so/ { print $3 }')
[ -n "$asan_runtime" ] && preload+=("$asan_runtime")
for lib in libGL.so.1 libGLX_mesa.so.0 dri/swrast_dri.so; do
    for dir in /usr/lib/x86_64-linux-gnu /usr/lib64 /usr/lib; do
        [ -e "$dir/$lib" ] && { preload+=("$dir/$lib"); break; }
    done
done
# Allocation stacks are kept short: the sanitizer stores every distinct stack for good, and the shader code
# JIT-compiled anew for each context makes new ones, which would read as growth of the program's memory.
# SOAK_MALLOC_CONTEXT=30 gives full stacks when a report needs them.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:quarantine_size_mb=16:malloc_context_size=${SOAK_MALLOC_CONTEXT:-3}"
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd "$run_dir" && LD_PRELOAD="${preload[*]}" exec timeout -k 10 $((seconds + 10 * wait_limit)) "$bin" >"$tmp/viewer.out" 2>"$tmp/viewer.err") &
guard=$!
pids+=($guard)
viewer_pid() { pgrep -P "$guard" | head -n 1; }
poll "$wait_limit" viewer_pid >/dev/null || fail_now "the viewer did not start"
viewer=$(viewer_pid)

viewer_window() { { xdotool search --onlyvisible --name "^Dalm's Kestra" 2>/dev/null || true; } | head -n 1; }
window_size()  # id -> "width height"
{
    xwininfo -id "$1" 2>/dev/null | awk '/^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print w, h }'
}
window_has_size()  # "width height"
{
    local id
    id=$(viewer_window)
    [ -n "$id" ] && [ "$(window_size "$id")" = "$1" ]
}
focus_viewer()
{
    local id
    id=$(viewer_window)
    [ -n "$id" ] && timeout 5 xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
}
rss_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$viewer/status"; }
# Resident memory once two readings half a second apart agree within 256 KiB (or after 15 s).
rss_settled()
{
    local previous current deadline=$((SECONDS + 15))
    previous=$(rss_kib)
    while :; do
        sleep 0.5
        current=$(rss_kib)
        [ $((current - previous)) -le 256 ] && [ $((previous - current)) -le 256 ] && break
        [ $SECONDS -lt $deadline ] || break
        previous=$current
    done
    echo "$current"
}

# Message boxes are reported (each one is a failure) and dismissed so that the viewer can go on.
check_message_boxes()
{
    local line id caption
    while read -r line; do
        id=$(awk '{ print $1 }' <<<"$line")
        caption=$(sed -n 's/^[^"]*"\([^"]*\)".*/\1/p' <<<"$line")
        failures+=("message box \"$caption\"")
        xdotool windowfocus "$id" key Return 2>/dev/null || true
    done < <(xwininfo -root -tree | grep -E '"(ERROR|SHUTDOWN ERROR|MAP LOAD ERROR)"' || true)
}

poll "$wait_limit" window_has_size "1920 1080" || fail_now "no full-screen viewer window appeared"
focus_viewer

# ---- The input stream: a 31-bit linear congruential generator, the same sequence for the same seed.
rng=$seed
next()  # bound -> sets r in 0..bound-1
{
    rng=$(( (rng * 1103515245 + 12345) % 2147483648 ))
    r=$(( (rng >> 8) % $1 ))
}
# A switch key is held for a moment: a press and release between two frames would never be seen.
tap()  # key
{
    xdotool keydown "$1"
    sleep 0.2
    xdotool keyup "$1"
}
held_keys=(w a s d space e q Home End)
declare -A held=()
release_all()
{
    local k
    for k in "${!held[@]}"; do xdotool keyup "$k"; done
    held=()
}

fullscreen=1
switch_count=0
rss_after=()
taps=0
steps=0
switch_every=$(( seconds * 1000 / (switches + 1) ))   # ms
start_ms=$(( $(date +%s%N) / 1000000 ))
now_ms() { echo $(( $(date +%s%N) / 1000000 - start_ms )); }

echo "soak: ${seconds}s, seed $seed, $switches F1 switches, viewer pid $viewer on $DISPLAY"
while :; do
    elapsed=$(now_ms)
    [ "$elapsed" -lt $(( seconds * 1000 )) ] || break
    if [ $switch_count -lt "$switches" ] && [ "$elapsed" -ge $(( (switch_count + 1) * switch_every )) ]; then
        # Memory is sampled after a stretch of running since the previous switch, just before the next one.
        release_all
        tap F1
        fullscreen=$((1 - fullscreen))
        switch_count=$((switch_count + 1))
        if [ $fullscreen -eq 1 ]; then expected="1920 1080"; else expected="1280 720"; fi
        poll "$wait_limit" window_has_size "$expected" ||
            fail_now "F1 switch $switch_count: no ${expected/ /x} window came back"
        focus_viewer
        check_message_boxes
        # Sampled with every key released, once the new context has settled into its steady frames.
        rss_after[$switch_count]=$(rss_settled)
        echo "soak: VmRSS after switch $switch_count: ${rss_after[$switch_count]} KiB"
        continue
    fi
    next 100
    if [ $r -lt 55 ]; then
        next ${#held_keys[@]}
        key=${held_keys[$r]}
        if [ -n "${held[$key]:-}" ]; then
            xdotool keyup "$key"
            unset "held[$key]"
        else
            xdotool keydown "$key"
            held[$key]=1
        fi
    elif [ $r -lt 85 ]; then
        next 401; dx=$((r - 200))
        next 101; dy=$((r - 50))
        xdotool mousemove_relative -- "$dx" "$dy"
    else
        next 4
        taps_keys=(Insert F2 F3 F4)
        tap "${taps_keys[$r]}"
        taps=$((taps + 1))
    fi
    steps=$((steps + 1))
    if [ $((steps % 40)) -eq 0 ]; then
        check_message_boxes
        kill -0 "$viewer" 2>/dev/null || fail_now "the viewer ended during the soak"
    fi
    next 80
    sleep "0.0$((r / 10 + 1))"   # input pacing, 10 to 80 ms between events
done
release_all
kill -0 "$viewer" 2>/dev/null || fail_now "the viewer ended during the soak"
check_message_boxes

# ---- Still drawing: the screen is not one flat colour.
import -window root "$tmp/end.png" 2>/dev/null || fail_now "no screenshot"
spread=$(convert "$tmp/end.png" -colorspace Gray -format '%[fx:standard_deviation*1000]' info:)
spread=${spread%.*}
[ "${spread:-0}" -gt 0 ] || failures+=("the screen is one flat colour at the end")

# ---- Escape ends the program; its exit code and stderr are checked.
focus_viewer
tap Escape
viewer_gone() { ! kill -0 "$viewer" 2>/dev/null; }
if ! poll "$wait_limit" viewer_gone; then
    check_message_boxes
    poll "$wait_limit" viewer_gone || fail_now "the viewer did not end after Escape"
fi
status=0
wait "$guard" || status=$?
[ "$status" -eq 0 ] || failures+=("exit code $status")
if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|SUMMARY: ' "$tmp/viewer.err"; then
    failures+=("sanitizer report in stderr")
fi

echo "soak: $switch_count F1 switches, $taps switch-key taps"
# Windowed and full-screen contexts differ in size, so each mode is compared with itself: the median of
# its samples in the first half of the run against the median in the second half. The first switch is
# left out: the first windowed context comes before the allocator's one-time growth. A median keeps one
# view that happens to bin more geometry (a high camera, say) from deciding the verdict.
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for mode in 0 1; do
    early=()
    late=()
    for ((n = 2; n <= switch_count; n++)); do
        [ $((n % 2)) -eq $mode ] || continue
        if [ $((2 * n)) -le $((switch_count + 1)) ]; then early+=("${rss_after[$n]}"); else late+=("${rss_after[$n]}"); fi
    done
    [ ${#early[@]} -gt 0 ] && [ ${#late[@]} -gt 0 ] || continue
    name=$([ $mode -eq 0 ] && echo full-screen || echo windowed)
    before=$(median "${early[@]}")
    after=$(median "${late[@]}")
    echo "soak: $name VmRSS median after switches: first half $before KiB, second half $after KiB"
    [ "$check_memory" = 0 ] || [ $((after - before)) -le "$slack_kib" ] ||
        failures+=("$name resident memory grew by $(( (after - before) / 1024 )) MiB over the run")
done
if [ ${#failures[@]} -ne 0 ]; then
    printf 'soak: FAIL: %s\n' "${failures[@]}" >&2
    [ -s "$tmp/viewer.err" ] && { echo "--- viewer.err" >&2; tail -n 80 "$tmp/viewer.err" >&2; }
    exit 1
fi
echo "soak: passed"
