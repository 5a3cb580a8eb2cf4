#!/usr/bin/env bash
# The component on the kernel's own serial drivers: the real-line rig boots
# Debian's kernel under QEMU with an emulated 16550 UART and FTDI USB adapter
# and runs the tests labelled "realline" there (rates and formats, breaks,
# modem lines, exclusive open, the adapter pulled out, velt-cli end to end,
# adapters followed to new names and a soak of reads with unplugs).
# The whole check, the guest's making included, is bounded at 5.5 minutes.
# The run's script and scratch folder live under /tmp, which shows that the
# guest hides no folder of the host (a checkout under /tmp, /run or /root).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
start=$(date +%s)
status=0
work=$(mktemp -d /tmp/velt-rig-XXXXXX)
trap 'rm -rf "$work"' EXIT
VELT_RIG_WORK=$work timeout --kill-after=10 320 bash "$top/tools/realline/run.sh" --timeout 240 || status=$?
echo "real-line rig check: $(($(date +%s) - start)) s"
[ "$status" -ne 124 ] || echo "FAIL: the real-line rig did not finish within 320 s"
exit "$status"
