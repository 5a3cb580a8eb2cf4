#!/usr/bin/env bash
# `bash tools/run.sh --windows`: the Windows program under Wine against the
# simulated meter. Builds what is missing (velt.exe in build-windows/, the
# meter for Linux), maps a free COMn of the build's Wine prefix to the
# meter's pseudo-terminal, points the program's stored port at it and starts
# velt.exe. Without a display it runs on a virtual X server. Ctrl+C ends the
# program, the meter, Wine's server and the virtual X server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VELT_WINDOWS_BUILD_DIR:-$top/build-windows}
source "$top/tools/wine/common.sh"

bash "$top/tools/install-packages.sh" "${windows_packages[@]}"
build_line_helpers
[ -f "$build/CMakeCache.txt" ] || configure_windows_build
cmake --build "$build" -j"$(nproc)" --target velt

# Ended in reverse order when the script ends, however it ends.
children=()
end_children() {
  for ((i = ${#children[@]} - 1; i >= 0; i--)); do
    kill "${children[i]}" 2>/dev/null || true
    wait "${children[i]}" 2>/dev/null || true
  done
  wineserver -k >/dev/null 2>&1 || true
}
trap end_children EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# On a virtual X server, which has no window manager, the program runs in a
# Wine desktop of its own, which gives it its frame.
own_desktop=""
if [ -z "${DISPLAY:-}" ]; then
  start_virtual_display
  own_desktop=yes
  children+=("$xvfb_pid")
  echo "No display: Velt is on the virtual X display $DISPLAY. Watch it with x11vnc -display $DISPLAY -localhost"
  echo "and a VNC viewer on localhost:5900, or snapshot it: xwd -root -display $DISPLAY > velt.xwd. Ctrl+C ends it."
fi
start_wine_prefix
program=("$build/bin/velt.exe")
[ -z "$own_desktop" ] || program=(explorer /desktop=Velt,1280x800 "$(winepath -w "$build/bin/velt.exe")")

# The meter on the first free COMn from 20 on.
n=20
while [ -e "$WINEPREFIX/dosdevices/com$n" ] || [ -L "$WINEPREFIX/dosdevices/com$n" ]; do n=$((n + 1)); done
link="$WINEPREFIX/dosdevices/com$n"
rm -f "$build/metersim.out"
setsid "$build/metersim" --link "$link" >"$build/metersim.out" &
children+=($!)
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
[ -L "$link" ] || { echo "The simulated meter did not start" >&2; exit 1; }

# The stored port, where the program reads it: the account's own key when it
# has one, else the machine-wide one. Every other stored value stays.
key='HKLM\Software\Velt4\ComPort'
wine reg query 'HKCU\Software\Velt4\ComPort' >/dev/null 2>&1 && key='HKCU\Software\Velt4\ComPort'
wine reg add "$key" /v Port /d "COM$n" /f >/dev/null 2>&1
echo "Simulated meter on COM$n ($(readlink "$link")); settings in $key of the prefix $WINEPREFIX"
echo "Press \"Ostatni pomiar\" to read the last measurement, \"Wszystkie pomiary\" for all 28."
wine "${program[@]}" &
children+=($!)
wait $!
