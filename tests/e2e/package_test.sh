# The Debian package of the build folder (KESTRA_BUILD_DIR), made by cpack as a user would, through
# lintian: no error and no warning, each dependency named once, and the hardening flags in every build
# but the sanitizer's, which replaces them with its own checks.
source "$(dirname "$0")/lib.sh"
e2e_init "$@"
build=${KESTRA_BUILD_DIR:?KESTRA_BUILD_DIR names the build folder}

(cd "$build" && cpack -G DEB -B "$E2E_TMP/deb") >"$E2E_TMP/cpack.err" 2>&1 || e2e_fail "cpack failed"
deb=$(echo "$E2E_TMP"/deb/kestra_*.deb)
lintian -I --pedantic "$deb" >"$E2E_TMP/lintian.out" 2>/dev/null || true
e2e_expect_eq "" "$(grep -E '^[EW]: ' "$E2E_TMP/lintian.out" || true)" "lintian errors and warnings"
if ! grep -q '^KESTRA_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
    e2e_expect_eq "" "$(grep -E 'hardening-no-' "$E2E_TMP/lintian.out" || true)" "lintian hardening tags"
fi
e2e_expect_eq "" "$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/ *(.*//; s/^ *//' | sort | uniq -d)" \
    "dependencies named twice"
