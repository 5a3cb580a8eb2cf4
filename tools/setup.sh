#!/usr/bin/env bash
# Installs the Debian packages the build and its checks need (only those
# missing), then configures and builds everything into build/ (or
# $VELT_BUILD_DIR). With --packages-only it stops after the packages.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VELT_BUILD_DIR:-$top/build}

# Qt's own Polish texts come from qt6-translations-l10n; desktop-file-utils,
# appstream, dpkg-dev and file validate the desktop files and build the package;
# fonts-dejavu-core is the wide face the window's captions are tested with.
packages=(g++ cmake make libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev qt6-base-dev-tools
          libgl-dev xvfb xauth qt6-translations-l10n desktop-file-utils appstream dpkg-dev file pkgconf
          fonts-dejavu-core)
bash "$top/tools/install-packages.sh" "${packages[@]}"
[ "${1:-}" = "--packages-only" ] && exit 0

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VELT_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"
