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

# The same libraries as Debian packages: the runtime packages named after
# their sonames and the development package that depends on them, lint-clean.
bash "$top/tools/install-packages.sh" lintian
debs=$(mktemp -d)
trap 'rm -rf "$debs"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$debs" -D "CPACK_COMPONENTS_ALL=runtime;runtime_ui;development" >/dev/null
for deb in "$debs"/*.deb; do
  echo "== ${deb##*/}: Depends: $(dpkg-deb -f "$deb" Depends)"
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print "   " $6 " " $7 " " $8 }'
done
major=$(sed -n 's/^set(VELT_COMPORT_VERSION \([0-9]*\)\..*/\1/p' "$top/CMakeLists.txt")
[ -f "$(echo "$debs"/libvelt-comport"$major"_*.deb)" ] || { echo "FAIL: no libvelt-comport$major package"; exit 1; }
bash "$top/tools/ci/debian/lint.sh" "$debs"/*.deb
