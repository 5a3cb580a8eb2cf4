#!/usr/bin/env bash
# The whole suite again in the two sanitizer builds: address with undefined
# behaviour, then the thread checker. Warnings are errors; the benchmarks are
# left out (they only print figures).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
for kind in address thread; do
  echo "--- sanitizer build: $kind"
  VELT_BUILD_DIR="$top/build-$kind" \
  VELT_CMAKE_ARGS="-DVELT_SANITIZE=$kind -DVELT_BUILD_BENCH=OFF -DVELT_WERROR=ON" \
    bash "$top/tools/test.sh"
done
