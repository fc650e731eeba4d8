# A run folder without one texture: its message, then "Initialization Failed.", then a clean end.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display

folder="$E2E_TMP/run"
cp -r "$E2E_RUN_DIR" "$folder"
rm "$folder/Data/Road.bmp"

e2e_start_viewer broken "$folder"
e2e_dismiss_box "MAP LOAD ERROR"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after the failed start"
e2e_expect_eq "MAP LOAD ERROR: Error loading Data/Road.bmp.
ERROR: Initialization Failed." "$(grep -v '^$' "$E2E_ERR")" "messages on standard error"
echo "missing texture test passed"
