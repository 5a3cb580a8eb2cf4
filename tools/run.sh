#!/usr/bin/env bash
# Sets up what is missing, builds the program and the simulated meter (and
# nothing else: the tests are the test command's business), and starts Velt.
#
# With no argument the program runs against the simulated meter: metersim
# plays the meter on a pseudo-terminal, and the program gets a settings home
# of its own (build-run/demo-home) whose stored port points at it, so a
# user's own stored settings are never touched.
#
# With --windows the Windows program (velt.exe) runs under Wine against the
# simulated meter on a COM port of Wine's (tools/run-windows.sh).
#
# With --real the program starts with the user's own settings home: pick the
# serial port (ttyUSB0, ttyS0, ...) with "Ustawienia"; it is stored on exit.
#
# Without a display the program runs on a virtual X server. Ctrl+C ends the
# program, the simulated meter and the virtual X server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# The Windows program under Wine instead: tools/run-windows.sh.
[ "${1:-}" = "--windows" ] && exec bash "$top/tools/run-windows.sh"
build=$top/build-run
"$top/tools/setup.sh" --packages-only
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVELT_BUILD_TESTS=OFF -DVELT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target velt metersim

# Every process started here is ended when the script ends, however it ends:
# the last started first, each gone before the next, so the program never
# sees its display or its meter vanish. The terminal's Ctrl+C reaches only
# the script (the program, started in the background, ignores it; the meter
# and the X server run in sessions of their own), which then ends them.
children=()
end_children() {
  for ((i = ${#children[@]} - 1; i >= 0; i--)); do
    kill "${children[i]}" 2>/dev/null || true
    wait "${children[i]}" 2>/dev/null || true
  done
}
trap end_children EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# A virtual X server on the first free display; Xvfb writes the display's
# number to descriptor 3 once it takes connections.
start_virtual_display() {
  local number_file=$build/xvfb-display
  rm -f "$number_file"
  setsid Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file" 2>"$build/xvfb.log" &
  children+=($!)
  for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
  [ -s "$number_file" ] || { echo "The virtual X server did not start; see $build/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$number_file")"
  # Without a desktop session nobody made the per-user runtime folder Qt asks for.
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$build/runtime
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
  fi
  echo "No display: Velt is on the virtual X display $DISPLAY. Watch it with x11vnc -display $DISPLAY -localhost"
  echo "and a VNC viewer on localhost:5900, or snapshot it: xwd -root -display $DISPLAY > velt.xwd. Ctrl+C ends it."
}

launch() {
  [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || start_virtual_display
  "$@" &
  children+=($!)
  wait $!
}

if [ "${1:-}" = "--real" ]; then
  launch "$build/app/velt"
  exit
fi

demo="$build/demo-home"
mkdir -p "$demo/velt"
link="$demo/meter-port"
rm -f "$demo/metersim.out"
setsid "$build/tools/metersim/metersim" --link "$link" > "$demo/metersim.out" &
children+=($!)
# metersim prints its terminal's path once its link is in place.
for _ in $(seq 50); do [ -s "$demo/metersim.out" ] && break; sleep 0.1; done
[ -s "$demo/metersim.out" ] || { echo "The simulated meter did not start" >&2; exit 1; }

# Point the stored port at the simulated meter, keeping every other stored
# value. The registry file is REGEDIT4 text: key and value names compare
# without regard to case, and lines may end in CR LF.
reg="$demo/velt/registry.reg"
[ -s "$reg" ] || printf 'REGEDIT4\n\n' > "$reg"
escaped=$(printf '%s' "$link" | sed 's/[\\"]/\\&/g')
KEY='[HKEY_LOCAL_MACHINE\Software\Velt4\ComPort]' PORT="\"Port\"=\"$escaped\"" awk '
  BEGIN { key = tolower(ENVIRON["KEY"]); port = ENVIRON["PORT"] }
  { sub(/\r$/, "") }
  tolower($0) == key { print; print port; inkey = 1; found = 1; next }
  /^\[/ { inkey = 0 }
  inkey && tolower($0) ~ /^"port"[ \t]*=/ { next }
  { print }
  END { if (!found) { print ""; print ENVIRON["KEY"]; print port } }' "$reg" > "$reg.tmp"
mv "$reg.tmp" "$reg"
echo "Simulated meter on $(head -n 1 "$demo/metersim.out"); settings in $demo"
echo "Press \"Ostatni pomiar\" to read the last measurement, \"Wszystkie pomiary\" for all 28."
XDG_CONFIG_HOME="$demo" launch "$build/app/velt"
