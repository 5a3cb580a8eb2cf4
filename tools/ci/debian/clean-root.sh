#!/usr/bin/env bash
# Installs the given .deb files into a minimal Debian (debootstrap
# --variant=minbase, from the archive this machine's apt uses) with apt and
# their Depends alone (no Recommends), then runs velt-cli and starts velt
# there: a dependency missing from a package shows here even where the build
# machine happens to have it.
#   clean-root.sh DEB...
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: clean-root.sh DEB..."; exit 2; }
[ "$(id -u)" -eq 0 ] || exec sudo bash "$0" "$@" # debootstrap and chroot need root

# The Debian archive of apt's own sources (not the security archive).
mirror=$({ cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } |
  sed -nE 's/^URIs:[[:space:]]*([^[:space:]]+).*/\1/p; s/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+).*/\2/p' |
  grep -v security | head -n 1 || true)
[ -n "$mirror" ] || { echo "FAIL: no Debian archive in apt's sources"; exit 1; }
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")

root=$(mktemp -d)
proc_mounted=false
finish() {
  if $proc_mounted; then umount "$root/proc" || umount -l "$root/proc"; fi
  rm -rf --one-file-system "$root" "$root.log"
}
trap finish EXIT

start=$SECONDS
debootstrap --variant=minbase "$suite" "$root" "$mirror" >"$root.log" 2>&1 || { tail -n 20 "$root.log"; exit 1; }
echo "debootstrap --variant=minbase $suite from $mirror: $((SECONDS - start)) s"

mkdir "$root/debs"
cp "$@" "$root/debs/"
inside=()
for deb in "$@"; do inside+=("/debs/${deb##*/}"); done
mount -t proc proc "$root/proc" && proc_mounted=true
start=$SECONDS
if ! { chroot "$root" apt-get update -qq &&
  chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${inside[@]}"
} >"$root.log" 2>&1; then
  tail -n 30 "$root.log"
  echo "FAIL: apt could not install the packages into the clean root"
  exit 1
fi
echo "apt install of ${*##*/} into it: $((SECONDS - start)) s"

chroot "$root" velt-cli --help >/dev/null || { echo "FAIL: velt-cli does not run in the clean root"; exit 1; }
# The window on Qt's offscreen platform: still running after a few seconds
# means it found its libraries, plug-ins and fonts and made its window.
status=0
chroot "$root" env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=/tmp/velt-home timeout 5 velt \
  >"$root/velt.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$root/velt.log"; echo "FAIL: velt ended ($status) in the clean root"; exit 1; }
echo "In a clean $suite root the packages install with their dependencies; velt-cli runs and velt starts"
