#!/usr/bin/env bash
# Cross-builds the component, velt.exe, velt-cli.exe, their tests and the
# installer velt-setup.exe for Windows (mingw-w64) into build-windows/ (or
# $VELT_WINDOWS_BUILD_DIR), checks that the programs' sources also build for
# 32-bit Windows, and runs the tests under Wine on a virtual X display: the
# line tests on a COM port that Wine maps to a pseudo-terminal, the window's
# tests against the simulated meter, the installer's silent install and
# uninstall. Ends with a picture of the window in the build folder
# (velt-window.png). Installs the Debian packages that are missing first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VELT_WINDOWS_BUILD_DIR:-$top/build-windows}
source "$top/tools/wine/common.sh"

bash "$top/tools/install-packages.sh" "${windows_packages[@]}"
build_line_helpers
configure_windows_build ${VELT_WINDOWS_CMAKE_ARGS:-}
cmake --build "$build" -j"$(nproc)"
bash "$top/tools/wine/check-qt-parts.sh" "$build/qt-check" "$build/comport/generated"

# The 32-bit build: the programs only (the tests run in the 64-bit one).
start=$(date +%s)
cmake -S "$top" -B "$build/i686" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-i686.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELT_BUILD_GUI=OFF -DVELT_BUILD_BENCH=OFF -DVELT_BUILD_TESTS=OFF \
      ${VELT_WINDOWS_CMAKE_ARGS:-} >/dev/null
cmake --build "$build/i686" -j"$(nproc)" --target velt velt-cli
echo "The 32-bit build of velt.exe and velt-cli.exe took $(($(date +%s) - start)) s"

# The server and the virtual display end with this script.
xvfb_pid=""
trap 'wineserver -k >/dev/null 2>&1 || true; [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true' EXIT
unset WAYLAND_DISPLAY
start_virtual_display
start_wine_prefix

cd "$build"
status=0
start=$(date +%s)
ctest --output-on-failure -j"$(nproc)" --timeout 300 || status=$?
echo "The tests under Wine took $(($(date +%s) - start)) s"
# Each skipped test said why; show the reasons beside the names.
if grep -q "^\[  SKIPPED \]" Testing/Temporary/LastTest.log 2>/dev/null; then
  echo "Skipped, each with the reason it gave:"
  awk '/^\[ RUN      \]/ { name = $4 } /: Skipped$/ { getline reason; print "  " name ": " reason }' \
    Testing/Temporary/LastTest.log
fi
bash "$top/tools/wine/screenshot.sh" "$build" "$build/velt-window.png" || status=$?
exit $status
