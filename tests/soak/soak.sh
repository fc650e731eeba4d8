#!/usr/bin/env bash
# Soak of the real viewer on a private Xvfb screen with openbox (tests/e2e/lib.sh), driven for a bounded time
# by a seeded random stream of its bound keys and mouse moves, with F1 switches spread over the run.
# Usage: soak.sh <kestra-binary> <run-dir>
# Environment: SOAK_SECONDS (180), SOAK_SEED (2015), SOAK_SWITCHES (20), SOAK_RSS_SLACK_MIB (64), SOAK_CHECK_MEMORY (1),
# SOAK_MALLOC_CONTEXT (3).
# Fails on: a window that does not come back after F1, a message box, the viewer ending before Escape or with a
# non-zero exit code (which every sanitizer and leak report gives it), a screen of one flat colour at the end (the
# HUD's title alone rules that out while the viewer draws), or resident memory after the F1 switches of the second
# half of the run more than the slack above that of the first half (medians, each display mode on its own). The
# sanitizer allocator keeps what it frees, so its resident memory creeps up by tens of MiB whatever the program
# does: SOAK_CHECK_MEMORY=0 reports the figures without judging them, for such builds.
E2E_TIMEOUT=90   # sanitizer builds load slowly
source "$(dirname "$0")/../e2e/lib.sh"
e2e_init "$@"
seconds=${SOAK_SECONDS:-180} switches=${SOAK_SWITCHES:-20}
e2e_start_display

# SDL and GLVND unload the GL libraries at exit, which leaves what those libraries still held unreachable
# and unsymbolisable; keeping them loaded keeps such memory theirs. The sanitizer runtime must come first.
preload=$(ldd "$E2E_BIN" | awk '/libasan\.so/ { print $3 }')
for lib in /usr/lib/"$(uname -m)"-linux-gnu/{libGL.so.1,libGLX_mesa.so.0,dri/swrast_dri.so}; do
    [ ! -e "$lib" ] || preload="$preload $lib"
done
# Allocation stacks are kept short: the sanitizer stores every distinct stack for good, and the shader code
# JIT-compiled anew for each context makes new ones, which would read as growth of the program's memory.
# SOAK_MALLOC_CONTEXT=30 gives full stacks when a report needs them.
# intercept_tls_get_addr=0 as in scripts/test.sh: the leak check at exit must not read a misjudged TLS range.
export ASAN_OPTIONS="detect_leaks=1:intercept_tls_get_addr=0:halt_on_error=1:quarantine_size_mb=16:malloc_context_size=${SOAK_MALLOC_CONTEXT:-3}"
export LSAN_OPTIONS="suppressions=$(dirname "$(readlink -f "$0")")/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
LD_PRELOAD="$preload" e2e_start_viewer
id=$(e2e_wait_geometry "0 0 1920 1080")
e2e_focus "$id"

# Every message box also goes to standard error as "CAPTION: text"; a box stops the viewer, so it ends the soak.
viewer_running()
{
    ! e2e_viewer_exited || e2e_fail "the viewer ended during the soak"
    ! grep -qE '^(ERROR|SHUTDOWN ERROR|MAP LOAD ERROR): ' "$E2E_ERR" || e2e_fail "a message box"
}
# Resident memory in KiB, once two readings half a second apart agree within 256 KiB (or after 15 s).
rss_steady()
{
    local previous=$rss
    sleep 0.5
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$E2E_VIEWER/status")
    [ $((rss - previous)) -le 256 ] && [ $((previous - rss)) -le 256 ]
}

# The input stream: a 31-bit linear congruential generator, the same sequence for the same seed.
rng=${SOAK_SEED:-2015}
next()  # bound -> sets r in 0..bound-1
{
    rng=$(( (rng * 1103515245 + 12345) % 2147483648 ))
    r=$(( (rng >> 8) % $1 ))
}
# A switch key is held for a moment: a press and release between two frames would never be seen.
tap() { xdotool keydown "$1" sleep 0.2 keyup "$1"; }
held_keys=(w a s d space Home End)
# Flying is left to the sanitizer run: a high camera sees far more tiles, and the renderer keeps the
# memory for binning them in every new context (about 40 MiB after 25 s of E), which would read as growth.
[ "${SOAK_CHECK_MEMORY:-1}" != 0 ] || held_keys+=(e q)
tap_keys=(Insert F2 F3 F4)
modes=(full-screen windowed)
sizes=("1920 1080" "1280 720")   # after an even and an odd number of F1 switches
declare -A held=()
release_all() { [ ${#held[@]} -eq 0 ] || xdotool keyup "${!held[@]}"; held=(); }

switch_count=0 steps=0 start_ms=$(( $(date +%s%N) / 1000000 ))
echo "soak: ${seconds}s, seed $rng, $switches F1 switches, viewer pid $E2E_VIEWER on $DISPLAY"
while elapsed=$(( $(date +%s%N) / 1000000 - start_ms )) && [ $elapsed -lt $(( seconds * 1000 )) ]; do
    if ((switch_count < switches && elapsed >= (switch_count + 1) * seconds * 1000 / (switches + 1))); then
        # Memory is sampled after a stretch of running since the previous switch, just before the next one.
        release_all
        tap F1
        switch_count=$((switch_count + 1))
        id=$(e2e_wait_geometry "* * ${sizes[switch_count % 2]}")
        e2e_focus "$id"
        viewer_running
        # Sampled with every key released, once the new context has settled into its steady frames.
        rss=0
        e2e_poll 15 rss_steady || true
        rss_after[$switch_count]=$rss
        echo "soak: VmRSS after switch $switch_count: $rss KiB"
        continue
    fi
    next 100
    if [ $r -lt 55 ]; then
        next ${#held_keys[@]}
        key=${held_keys[$r]}
        if [ -n "${held[$key]:-}" ]; then xdotool keyup "$key"; unset "held[$key]"
        else xdotool keydown "$key"; held[$key]=1; fi
    elif [ $r -lt 85 ]; then
        next 401; dx=$((r - 200))
        next 101; dy=$((r - 50))
        xdotool mousemove_relative -- "$dx" "$dy"
    else
        next 4
        tap "${tap_keys[$r]}"
    fi
    [ $((++steps % 40)) -ne 0 ] || viewer_running
    next 80
    sleep "0.0$((r / 10 + 1))"   # input pacing, 10 to 80 ms between events
done
release_all
viewer_running

# Still drawing: the screen is not one flat colour.
e2e_screenshot "$E2E_TMP/end.ppm"
spread=$(convert "$E2E_TMP/end.ppm" -colorspace Gray -format '%[fx:int(standard_deviation*1000)]' info:)
[ "$spread" -gt 0 ] || e2e_fail "the screen is one flat colour at the end"

# Escape ends the program with 0; any sanitizer or leak report at exit makes that non-zero.
e2e_focus "$id"
tap Escape
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after Escape"

# Windowed and full-screen contexts differ in size, so each mode is compared with itself: the median of
# its samples in the first half of the run against the median in the second half. The first switch is
# left out: the first windowed context comes before the allocator's one-time growth. A median keeps one
# view that happens to bin more geometry (a high camera, say) from deciding the verdict.
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for mode in 0 1; do
    early=() late=()
    for ((n = 2 + mode; n <= switch_count; n += 2)); do
        ((2 * n <= switch_count + 1)) && early+=("${rss_after[$n]}") || late+=("${rss_after[$n]}")
    done
    [ ${#early[@]} -gt 0 ] && [ ${#late[@]} -gt 0 ] || continue
    before=$(median "${early[@]}") after=$(median "${late[@]}")
    echo "soak: ${modes[mode]} VmRSS median after switches: first half $before KiB, second half $after KiB"
    [ "${SOAK_CHECK_MEMORY:-1}" = 0 ] || [ $((after - before)) -le $(( ${SOAK_RSS_SLACK_MIB:-64} * 1024 )) ] ||
        e2e_fail "${modes[mode]} resident memory grew by $(( (after - before) / 1024 )) MiB over the run"
done
echo "soak: passed after $switch_count F1 switches and $steps other inputs"
