#!/usr/bin/env bash
# The README's run command as a newcomer meets it on a machine without a
# display: it builds only the program and the simulated meter, says where the
# window is, shows it there, and Ctrl+C ends every process it started.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq x11-utils >/dev/null

log=$(mktemp)
# A session of its own stands for the terminal: Ctrl+C goes to its whole
# foreground process group, with SIGINT handled by default as in a terminal.
env -u DISPLAY -u WAYLAND_DISPLAY setsid env --default-signal=INT bash "$top/tools/run.sh" >"$log" 2>&1 &
script=$!
trap 'kill -TERM -- -"$script" 2>/dev/null || true; rm -f "$log"' EXIT
fail() { echo "FAIL: $*"; cat "$log"; exit 1; }

for _ in $(seq 6000); do  # a fresh build may take minutes
  grep -q "virtual X display" "$log" && break
  kill -0 "$script" 2>/dev/null || fail "the run command ended early"
  sleep 0.1
done
display=$(grep -o "virtual X display :[0-9]*" "$log" | grep -o ":[0-9]*") || fail "no display named"
for _ in $(seq 300); do
  DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q '"Velt v.4.1"' && break
  sleep 0.1
done
DISPLAY=$display xwininfo -root -tree | grep -q '"Velt v.4.1"' || fail "no window on $display"

built=$(find "$top/build-run" -type f -perm -u+x \( -name '*_test' -o -name '*_bench' \) | head -n 3)
[ -z "$built" ] || fail "the run command built tests or benchmarks: $built"

children=$(ps -o pid= --ppid "$script" | tr '\n' ' ')
[ "$(wc -w <<<"$children")" -eq 3 ] || fail "expected the program, the meter and the X server, found: $children"
kill -INT -- -"$script"
for _ in $(seq 200); do
  alive=""
  for pid in $script $children; do kill -0 "$pid" 2>/dev/null && alive+=" $pid"; done
  [ -z "$alive" ] && break
  sleep 0.1
done
[ -z "$alive" ] || fail "still running after Ctrl+C:$(ps -o pid=,args= -p "${alive// /,}" 2>/dev/null)"
echo "The run command showed the window on $display and Ctrl+C ended all it started"
