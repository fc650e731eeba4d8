# Starts that fail, each with its exit code and one message: wrong usage, no data, a missing
# texture; and a start from an empty folder, which finds the build tree's data and a map named from there.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
e2e_start_display

empty="$E2E_TMP/empty"
mkdir "$empty"
e2e_start_viewer usage "$empty" --window --bogus
e2e_wait_exit
e2e_expect_eq "2 kestra: unknown option '--bogus'" "$E2E_STATUS $(head -n 1 "$E2E_ERR")" "wrong usage"

e2e_start_viewer nodata "$empty" --data "$empty"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq "1 ERROR: The viewer's data (Data/, data/ and city.map) was not found in:
  $empty
Name the folder that holds it with --data DIR." "$E2E_STATUS $(cat "$E2E_ERR")" "no data"

echo "not a map" >"$empty/bad.map"
e2e_start_viewer elsewhere "$empty" --window bad.map
e2e_dismiss_box "MAP LOAD ERROR"
id=$(e2e_wait_geometry "* * * *")
e2e_focus "$id"
e2e_key Escape
e2e_wait_exit
e2e_expect_eq "0 MAP LOAD ERROR: Invalid map type or version" "$E2E_STATUS $(cat "$E2E_ERR")" "a named map"

folder="$E2E_TMP/run"
cp -r "$E2E_RUN_DIR" "$folder"
rm "$folder/Data/Road.bmp"
e2e_start_viewer broken "$folder"
e2e_dismiss_box "MAP LOAD ERROR"
e2e_dismiss_box "ERROR"
e2e_wait_exit
e2e_expect_eq "1 MAP LOAD ERROR: Error loading Data/Road.bmp.
ERROR: Initialization Failed." "$E2E_STATUS $(grep -v '^$' "$E2E_ERR")" "a missing texture"
