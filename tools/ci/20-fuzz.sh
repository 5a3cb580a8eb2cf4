#!/usr/bin/env bash
# Fuzzing: builds the libFuzzer targets with clang, runs every input of each
# target's corpus once, then fuzzes each target for a bounded time
# (VELT_FUZZ_SECONDS, 30 by default) on a scratch copy of its corpus. A
# failing input fails the check and is printed in hex; add it to
# fuzz/corpus/<target>/ once fixed, so that it stays a regression input.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELT_FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${VELT_FUZZ_SECONDS:-30}

packages=(clang libclang-rt-14-dev qt6-base-dev cmake make)
bash "$top/tools/install-packages.sh" "${packages[@]}"

cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DVELT_FUZZ=ON -DVELT_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for corpus in "$top"/fuzz/corpus/*/; do
  target=$(basename "$corpus")
  fuzzer="$build/fuzz/$target"
  echo "--- $target"
  mkdir -p "$scratch/$target"
  cp "$corpus"* "$scratch/$target/"
  if ! "$fuzzer" -runs=0 "$corpus" >"$scratch/$target.log" 2>&1 ||
     ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$scratch/$target-" "$scratch/$target" >>"$scratch/$target.log" 2>&1; then
    tail -n 30 "$scratch/$target.log"
    for artifact in "$scratch/$target"-*; do
      [ -e "$artifact" ] || continue
      echo "failing input $(basename "$artifact"):"
      od -An -tx1 -v "$artifact" | head -n 20
    done
    status=1
    continue
  fi
  grep -E '^(Done|#[0-9]+ +DONE)' "$scratch/$target.log" | tail -n 1
done
exit $status
