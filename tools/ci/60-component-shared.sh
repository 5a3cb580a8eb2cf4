#!/usr/bin/env bash
# The component as other programs use it, built as shared libraries: installed
# into a temporary prefix, then the examples built against it with
# find_package and the line echo with pkg-config, run on a pseudo-terminal.
# (The test command checks the same for the default static build.)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
tests_build=${VELT_BUILD_DIR:-$top/build}
build=$top/build-shared
cmake -S "$top" -B "$build" -DVELT_COMPORT_SHARED=ON -DVELT_BUILD_TESTS=OFF -DVELT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target comport_shared comport_ui_shared -j"$(nproc)"
bash "$top/tests/library/check_installed_package.sh" "$build" "$top" "$tests_build/tests/pty_echo_check"
