#!/usr/bin/env bash
# The Debian package as a user meets it: made with the README's command,
# installed with apt, started from its menu entry on a virtual display, then
# removed again.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELT_BUILD_DIR:-$top/build}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq xvfb x11-utils >/dev/null

work=$(mktemp -d)
program="" xvfb=""
finish() {
  [ -z "$program" ] || { kill "$program" 2>/dev/null; wait "$program" 2>/dev/null || true; }
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true; }
  DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq velt >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap finish EXIT

rm -f "$build"/velt_*.deb
cmake --build "$build" --target package >/dev/null
debs=("$build"/velt_*.deb)
echo "Installing ${debs[0]##*/}"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${debs[0]}" >/dev/null

entry=$(dpkg -L velt | grep -x '/usr/share/applications/.*\.desktop')
id=$(basename "$entry" .desktop)
for file in /usr/bin/velt "/usr/share/icons/hicolor/scalable/apps/$id.svg" "/usr/share/metainfo/$id.metainfo.xml"; do
  [ -f "$file" ] || { echo "FAIL: the package did not install $file"; exit 1; }
done

# The menu entry's command, started as a desktop starts it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
command=$(sed -n 's/^Exec=//p' "$entry")
XDG_CONFIG_HOME="$work/home" $command &
program=$!
for _ in $(seq 300); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Velt v.4.1"' && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
xwininfo -root -tree | grep -q '"Velt v.4.1"' || { echo "FAIL: the installed program showed no window"; exit 1; }
echo "The installed package started from its menu entry ($command) and showed its window"
