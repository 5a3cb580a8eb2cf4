#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Velt.
#
# With no argument the program runs against the simulated meter: metersim
# plays the meter on a pseudo-terminal, and the program gets a settings home
# of its own (build/demo-home) whose stored port points at it, so a user's
# own stored settings are never touched.
#
# With --real the program starts with the user's own settings home: pick the
# serial port (ttyUSB0, ttyS0, ...) with "Ustawienia"; it is stored on exit.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VELT_BUILD_DIR:-$top/build}
"$top/tools/setup.sh"

launch() {
  if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$@"
  else
    echo "No display found: running under a virtual X server (xvfb-run)."
    xvfb-run -a -s "-screen 0 1280x800x24" "$@"
  fi
}

if [ "${1:-}" = "--real" ]; then
  launch "$build/app/velt"
  exit
fi

demo="$build/demo-home"
mkdir -p "$demo/velt"
link="$demo/meter-port"
"$build/tools/metersim/metersim" --link "$link" > "$demo/metersim.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "The simulated meter did not start" >&2; exit 1; }

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
echo "Simulated meter on $(readlink "$link"); settings in $demo"
XDG_CONFIG_HOME="$demo" launch "$build/app/velt"
