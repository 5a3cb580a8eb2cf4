#!/usr/bin/env bash
# House style: every tracked C++ file is as clang-format writes it
# (.clang-format), and clang-tidy finds nothing in our sources (.clang-tidy,
# with the compile commands of the normal build in build/, which the test
# command has made).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELT_BUILD_DIR:-$top/build}
cd "$top"

packages=(clang-format clang-tidy)
bash "$top/tools/install-packages.sh" "${packages[@]}"

echo "--- clang-format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

echo "--- clang-tidy"
[ -f "$build/compile_commands.json" ] || cmake -S "$top" -B "$build" >/dev/null
# The generated Qt sources (moc, uic) must exist before their includers are read.
cmake --build "$build" -j"$(nproc)" >/dev/null
# Every source of ours that this build compiles (the Windows platform files,
# for one, are not): generated files live in the build folder.
sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$build/compile_commands.json" | sort -u |
  grep "^$top/" | grep -v "^$build/" | tr '\n' '\0' |
  xargs -0 -n1 -P"$(nproc)" clang-tidy -p "$build" --quiet
