#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test (component tests and
# GUI tests on Qt's offscreen platform).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VELT_BUILD_DIR:-$top/build}
"$top/tools/setup.sh"
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 600
