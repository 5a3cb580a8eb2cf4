#!/usr/bin/env bash
# Cross-builds the component and its tests for Windows (mingw-w64) into
# build-windows/ (or $VELT_WINDOWS_BUILD_DIR) and runs the tests under Wine,
# the line tests on a COM port that Wine maps to a pseudo-terminal. Installs
# the Debian packages that are missing first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VELT_WINDOWS_BUILD_DIR:-$top/build-windows}

packages=(cmake make g++ g++-mingw-w64-x86-64-posix wine wine64 googletest qt6-base-dev qt6-base-dev-tools)
bash "$top/tools/install-packages.sh" "${packages[@]}"

mkdir -p "$build"
# The far ends of the lines run on Linux, beside Wine: an echo for the line
# tests, the simulated meter for the command-line tool.
g++ -std=c++20 -O1 -Wall -Wextra -o "$build/ptyline" "$top/tools/wine/ptyline.cpp" -lutil -pthread
g++ -std=c++20 -O1 -Wall -Wextra -o "$build/metersim" "$top"/tools/metersim/*.cpp -lutil

cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELT_BUILD_GUI=OFF -DVELT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
bash "$top/tools/wine/check-qt-parts.sh" "$build/qt-check" "$build/comport/generated"

# A Wine prefix of the build's own. Its first start takes some seconds; a
# server kept running while the tests run makes each later start quick.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  # The registry files appear when the server has saved them and ended.
  wine wineboot -i >/dev/null 2>&1 </dev/null || true
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "Cannot create the Wine prefix $WINEPREFIX" >&2; exit 1; }
fi
wineserver -p >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine wineboot >/dev/null 2>&1 </dev/null || true
# Links to pseudo-terminals that a killed run left behind.
for link in "$WINEPREFIX"/dosdevices/com*; do
  [ -L "$link" ] && [ ! -e "$link" ] && rm -f "$link"
done

cd "$build"
status=0
ctest --output-on-failure -j"$(nproc)" --timeout 300 || status=$?
# Each skipped test said why; show the reasons beside the names.
if grep -q "^\[  SKIPPED \]" Testing/Temporary/LastTest.log 2>/dev/null; then
  echo "Skipped, each with the reason it gave:"
  awk '/^\[ RUN      \]/ { name = $4 } /: Skipped$/ { getline reason; print "  " name ": " reason }' \
    Testing/Temporary/LastTest.log
fi
exit $status
