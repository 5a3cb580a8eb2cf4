#!/usr/bin/env bash
# The Debian packages as a distribution takes them and a user meets them:
# made with the README's command; lintian on each (no error or warning but
# the maintainer-address placeholder); all installed with apt; the program
# started from its menu entry on a virtual display; both manual pages opened
# with man, in English and Polish; an example built against the installed
# component (find_package and pkg-config); then every package installed into
# a minimal Debian made with debootstrap (clean-root.sh), where nothing the
# build machine happens to have can hide a missing dependency.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELT_BUILD_DIR:-$top/build}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
bash "$top/tools/install-packages.sh" xvfb x11-utils lintian man-db pkgconf debootstrap

work=$(mktemp -d)
program="" xvfb=""
finish() {
  [ -z "$program" ] || { kill "$program" 2>/dev/null; wait "$program" 2>/dev/null || true; }
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true; }
  DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq velt libvelt-comport-dev >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap finish EXIT

rm -f "$build"/*.deb
cmake --build "$build" --target package >/dev/null
debs=("$build"/*.deb)
for deb in "${debs[@]}"; do
  echo "== ${deb##*/}: $(du -k "$deb" | cut -f1) KiB, $(dpkg-deb -f "$deb" Installed-Size) KiB installed"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print "   " $6 " " $7 " " $8 }'
done

bash "$top/tools/ci/debian/lint.sh" "${debs[@]}"

echo "Installing ${debs[*]##*/}"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${debs[@]}" >/dev/null

entry=$(dpkg -L velt | grep -x '/usr/share/applications/.*\.desktop')
id=$(basename "$entry" .desktop)
for file in /usr/bin/velt "/usr/share/icons/hicolor/scalable/apps/$id.svg" "/usr/share/metainfo/$id.metainfo.xml"; do
  [ -f "$file" ] || { echo "FAIL: the package did not install $file"; exit 1; }
done

# The manual pages as man finds them, in English and in Polish.
for page in velt velt-cli; do
  MANWIDTH=80 man -P cat "$page" 2>/dev/null | grep -q '^NAME' || { echo "FAIL: man $page"; exit 1; }
  MANWIDTH=80 man -L pl -P cat "$page" 2>/dev/null | grep -q '^NAZWA' || { echo "FAIL: man -L pl $page"; exit 1; }
done
echo "man velt and man velt-cli open, in English and in Polish"

# An example built against the installed library package only.
cmake -S "$top/examples" -B "$work/examples" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/examples" --target list_ports -j2 >/dev/null
XDG_CONFIG_HOME=$work/config "$work/examples/list_ports" | grep -q '^Serial ports:'
# shellcheck disable=SC2046 # pkg-config's flags are separate words
${CXX:-c++} -std=c++20 -o "$work/line_echo" "$top/examples/line_echo.cpp" $(pkg-config --cflags --libs velt-comport)
echo "An example built against the installed libvelt-comport-dev (find_package and pkg-config)"

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

bash "$top/tools/ci/debian/clean-root.sh" "${debs[@]}"
