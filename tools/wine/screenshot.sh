#!/usr/bin/env bash
# A picture of the Windows program's window under Wine, for the build's
# output: the window test's pose (the simulated meter's answer in the pane,
# the transfer label and bar shown) in a Wine desktop of its own on the
# current DISPLAY. Arguments: the Windows build folder, the PNG to write.
# Needs WINEPREFIX and DISPLAY (tools/windows.sh sets both).
set -euo pipefail
build=$1
out=$2
size=1024x700
mark="$build/screenshot-ready"
rm -f "$mark" "$out"
export VELT_SCREENSHOT_MARK
VELT_SCREENSHOT_MARK=$(winepath -w "$mark")
test_program=$(winepath -w "$build/tests/windows/winapp_test.exe")
"$build/gui-under-wine.sh" explorer "/desktop=VeltPicture,$size" "$test_program" \
  --gtest_filter=WindowUnderWine.PosesForAScreenshot >"$build/screenshot.log" 2>&1 &
pose=$!
for _ in $(seq 600); do [ -e "$mark" ] && break; sleep 0.1; done
if [ ! -e "$mark" ]; then
  kill $pose 2>/dev/null || true
  echo "The window did not pose for its picture; see $build/screenshot.log" >&2
  exit 1
fi
import -window root -crop "$size+0+0" +repage "$out"
rm -f "$mark"
wait $pose || true
echo "The window's picture: $out"
