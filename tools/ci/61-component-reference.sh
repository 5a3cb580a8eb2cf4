#!/usr/bin/env bash
# The component's reference: Doxygen from the public headers' comments. The
# target fails on any warning, an undocumented public member included.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELT_BUILD_DIR:-$top/build}
if ! command -v doxygen >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq doxygen >/dev/null
  cmake -S "$top" -B "$build" >/dev/null   # finds doxygen now
fi
cmake --build "$build" --target comport_doc
