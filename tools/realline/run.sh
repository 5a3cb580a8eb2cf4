#!/usr/bin/env bash
# The real-line rig: runs tests of this project inside a QEMU guest that has
# Debian's own kernel with an emulated 16550 UART (/dev/ttyS1) and FTDI USB
# adapter (/dev/ttyUSB0), the far ends of both played by the host.
#
#   bash tools/realline/run.sh [--filter GTEST_FILTER] [--timeout S] [--full-soak] [TEST_PROGRAM...]
#
# --full-soak (or VELT_RIG_SOAK=full) runs the plug soak at its full size
# (200 reads, 20 unplugs); by default it runs a small one.
# TEST_PROGRAM names test programs of the build (default: every realline_*
# program). Installs what is missing from Debian's packages, builds, makes
# the guest once (build/realline/guest), prints each test's result and exits
# non-zero when one failed. The guest has no network; it sees the host's
# root read-only and runs the tests under chroot in it.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=${VELT_BUILD_DIR:-$top/build}
filter="*"
timeout=240
soak=${VELT_RIG_SOAK:-small}
programs=()
while [ $# -gt 0 ]; do
  case $1 in
    --filter) filter=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --full-soak) soak=full; shift ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) programs+=("$1"); shift ;;
  esac
done
# velt-cli first: once the 16550 has run below 2400 bit/s (the rate tests),
# the clock handshake over it, which gives each answer 60 ms, misses answers
# in this guest until the next boot.
[ ${#programs[@]} -gt 0 ] || programs=(realline_cli_test realline_line_test realline_unplug_test realline_follow_test)

bash "$top/tools/install-packages.sh" qemu-system-x86 busybox-static cpio kmod xz-utils python3
bash "$top/tools/setup.sh" --packages-only
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$top} CCACHE_NOHASHDIR=1
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VELT_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)" --target metersim "${programs[@]}"
bash "$top/tools/realline/prepare-guest.sh" "$build/realline/guest"

# The guest writes only in scratch/, an empty folder it mounts a tmpfs of
# its own over: the tests' temporary files and home go there. The run's
# folder may be anywhere ($VELT_RIG_WORK; CI puts it under /tmp).
work=${VELT_RIG_WORK:-$build/realline/run}
rm -rf "$work"
mkdir -p "$work/scratch"
scratch=$work/scratch
# The guest's script: each program with the rig's variables, its exit
# status as a line (the guest's own does not come back through QEMU).
{
  echo '#!/bin/sh'
  echo 'export VELT_RIG_CONTROL=/dev/ttyS2 VELT_RIG_UART=/dev/ttyS1 VELT_RIG_FTDI=/dev/ttyUSB0'
  printf 'export HOME=%q/home TMPDIR=%q/tmp VELT_RIG_SOAK=%q\n' "$scratch" "$scratch" "$soak"
  echo 'mkdir -p "$HOME" "$TMPDIR" && cd "$TMPDIR"'
  for p in "${programs[@]}"; do
    exe=$(find "$build" -type f -name "$p" -perm -u+x | head -n1)
    [ -n "$exe" ] || { echo "no test program $p in $build" >&2; exit 1; }
    printf '%q --gtest_filter=%q --gtest_color=no; echo "velt-rig: exit %s $?"\n' "$exe" "$filter" "$p"
  done
} >"$work/guest-run.sh"
/usr/bin/python3 "$top/tools/realline/farend.py" --guest "$build/realline/guest" --run "$work/guest-run.sh" \
  --scratch "$scratch" \
  --metersim "$build/tools/metersim/metersim" --work "$work" --timeout "$timeout"
