# The timed demo on the real viewer: a shortened run of its route prints its figures and ends with 0.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display

export KESTRA_TIMEDEMO_FRAMES=50
e2e_start_viewer demo "$E2E_RUN_DIR" --timedemo --window
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code"
e2e_expect_eq 1280x720 "$(sed -n 1p "$E2E_OUT")" "size line"
[[ "$(sed -n 2p "$E2E_OUT")" =~ ^50\ frames,\ [0-9]+\.[0-9]{2}\ seconds,\ [0-9]+\.[0-9]\ fps\ average,\ [0-9]+\.[0-9]\ fps\ 1%\ low$ ]] ||
    e2e_fail "figures line: '$(sed -n 2p "$E2E_OUT")'"
e2e_expect_eq 2 "$(wc -l <"$E2E_OUT")" "lines on standard output"
echo "timedemo test passed"
