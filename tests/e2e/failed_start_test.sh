# Starts that fail, each with its exit code and one message: wrong usage, no data, a map named on the
# command line that cannot be loaded (found from the folder the viewer starts in), a missing texture;
# timed demos, which wait on no message box.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display

empty="$E2E_TMP/empty"
mkdir "$empty"
try="Try 'kestra --help'."
for usage in "--window --bogus|kestra: unknown option '--bogus'" "--version --bogus|kestra: unknown option '--bogus'" \
    "--window|kestra: KESTRA_RENDERER must be 'reference' or unset, not 'fast'"; do
    # shellcheck disable=SC2086
    KESTRA_RENDERER=fast e2e_start_viewer usage "$empty" ${usage%%|*}
    e2e_wait_exit
    e2e_expect_eq "2 ${usage#*|}
$try" "$E2E_STATUS $(cat "$E2E_ERR")" "wrong usage ${usage%%|*}"
done

e2e_start_viewer nodata "$empty" --data "$empty"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq "1 ERROR: The viewer's textures (Data/) were not found in:
  $empty
Name the folder that holds them with --data DIR." "$E2E_STATUS $(cat "$E2E_ERR")" "no data"

echo "not a map" >"$empty/bad.map"
e2e_start_viewer elsewhere "$empty" --window bad.map
e2e_dismiss_box "MAP LOAD ERROR"
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: bad.map: Invalid map type or version" "$E2E_STATUS $(cat "$E2E_ERR")" "a named map"
[ -z "$(cat "$E2E_OUT")" ] || e2e_fail "a window was opened for a map that cannot be loaded"

e2e_start_viewer demo "$empty" --timedemo missing.map
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: missing.map: no such file" "$E2E_STATUS $(cat "$E2E_ERR")" "a timed demo's map"

folder="$E2E_TMP/run"
cp -r "$E2E_RUN_DIR" "$folder"
rm "$folder/Data/Road.bmp"
e2e_start_viewer broken "$folder"
e2e_dismiss_box "MAP LOAD ERROR"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: Error loading Data/Road.bmp.
ERROR: Initialization Failed." "$E2E_STATUS $(grep -v '^$' "$E2E_ERR")" "a missing texture"
e2e_start_viewer brokendemo "$folder" --timedemo --window
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: Error loading Data/Road.bmp.
ERROR: Initialization Failed." "$E2E_STATUS $(grep -v '^$' "$E2E_ERR")" "a timed demo's missing texture"
