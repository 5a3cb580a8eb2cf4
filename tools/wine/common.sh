# Shared by tools/windows.sh and tools/run-windows.sh (sourced, with $top and
# $build set): the packages, the cross build, the Wine prefix and a virtual
# X display.

windows_packages=(cmake make g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 googletest
                  nsis xvfb xauth x11-utils imagemagick qt6-base-dev qt6-base-dev-tools)

# The Linux helpers that play the far ends of the lines beside Wine: an echo
# for the line tests, the simulated meter for the programs.
build_line_helpers() {
  mkdir -p "$build"
  g++ -std=c++20 -O1 -Wall -Wextra -o "$build/ptyline" "$top/tools/wine/ptyline.cpp" -lutil -pthread
  g++ -std=c++20 -O1 -Wall -Wextra -o "$build/metersim" "$top"/tools/metersim/*.cpp -lutil
}

configure_windows_build() {
  cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELT_BUILD_GUI=OFF -DVELT_BUILD_BENCH=OFF "$@" >/dev/null
}

# A Wine prefix of the build's own, with a server kept running (each later
# start is quick); the server ends with the calling script.
start_wine_prefix() {
  export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    # The registry files appear when the server has saved them and ended.
    wine wineboot -i >/dev/null 2>&1 </dev/null || true
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "Cannot create the Wine prefix $WINEPREFIX" >&2; exit 1; }
  fi
  wineserver -p >/dev/null 2>&1 </dev/null
  wine wineboot >/dev/null 2>&1 </dev/null || true
  # Links to pseudo-terminals that a killed run left behind.
  for link in "$WINEPREFIX"/dosdevices/com*; do
    [ -L "$link" ] && [ ! -e "$link" ] && rm -f "$link"
  done
  return 0
}

# A virtual X server on the first free display, as DISPLAY; Xvfb writes the
# display's number to descriptor 3 once it takes connections. Its process id
# is in $xvfb_pid.
start_virtual_display() {
  local number_file=$build/xvfb-display
  rm -f "$number_file"
  setsid Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file" 2>"$build/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
  [ -s "$number_file" ] || { echo "The virtual X server did not start; see $build/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$number_file")"
}
