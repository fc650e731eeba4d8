# Starts that fail, each with its exit code and one message: wrong usage, no display, no data, a
# missing texture; and a start from an empty folder, which finds the build tree's data and reads a
# map named from that folder.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"

status=0
"$E2E_BIN" --window --bogus >"$E2E_TMP/usage.out" 2>"$E2E_TMP/usage.err" || status=$?
e2e_expect_eq 2 "$status" "exit code of an unknown option"
e2e_expect_eq "kestra: unknown option '--bogus'" "$(head -n 1 "$E2E_TMP/usage.err")" "its message"
[ ! -s "$E2E_TMP/usage.out" ] || e2e_fail "wrong usage wrote to standard output"

status=0
(cd "$E2E_RUN_DIR" && exec env -u DISPLAY "$E2E_BIN" --window) >"$E2E_TMP/nodisplay.out" 2>"$E2E_TMP/nodisplay.err" || status=$?
e2e_expect_eq 1 "$status" "exit code without a display"
e2e_expect_eq 1 "$(grep -c '^no display: ' "$E2E_TMP/nodisplay.err")" "no-display messages"

e2e_start_display
empty="$E2E_TMP/empty"
mkdir "$empty"
e2e_start_viewer nodata "$empty" --data "$empty"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq 1 "$E2E_STATUS" "exit code without data"
e2e_expect_eq "ERROR: The viewer's data (Data/, data/ and city.map) was not found in:
  $empty
Name the folder that holds it with --data DIR." "$(cat "$E2E_ERR")" "message without data"

echo "not a map" >"$empty/bad.map"
e2e_start_viewer elsewhere "$empty" --window bad.map
e2e_dismiss_box "MAP LOAD ERROR"
id=$(e2e_wait_window)
e2e_focus "$id"
e2e_key Escape
e2e_wait_exit
e2e_expect_eq 0 "$E2E_STATUS" "exit code after Escape"
e2e_expect_eq "MAP LOAD ERROR: Invalid map type or version" "$(cat "$E2E_ERR")" "the named map's message"

folder="$E2E_TMP/run"
cp -r "$E2E_RUN_DIR" "$folder"
rm "$folder/Data/Road.bmp"
e2e_start_viewer broken "$folder"
e2e_dismiss_box "MAP LOAD ERROR"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq 1 "$E2E_STATUS" "exit code after the failed start"
e2e_expect_eq "MAP LOAD ERROR: Error loading Data/Road.bmp.
ERROR: Initialization Failed." "$(grep -v '^$' "$E2E_ERR")" "messages on standard error"
echo "failed start test passed"
