#!/usr/bin/env bash
# Makes the guest the real-line rig boots, into the folder given ($1):
# Debian's own kernel (from the archive, unpacked, not installed), its
# uncompressed image, and an initramfs of busybox with the modules of the
# FTDI adapter, the USB host controller and the 9p shared root. The kernel
# and modules are made once; later calls only pack the init script again.
set -euo pipefail
mkdir -p "$1"
out=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
root=$out/initramfs

# Packs the initramfs with the current init script: the kernel and the
# modules are made once, the script may have changed since.
pack() {
  cp "$here/guest-init.sh" "$root/init"
  chmod +x "$root/init"
  (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1 >"$out/initramfs.gz")
}
if [ -f "$out/ready" ]; then
  pack
  exit 0
fi

# The kernel package that Debian's metapackage points at now.
kpkg=$(apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[0-9].*\)$/\1/p' | head -n1)
[ -n "$kpkg" ] || { echo "prepare-guest: no kernel package behind linux-image-amd64" >&2; exit 1; }
kver=${kpkg#linux-image-}
rm -rf "$out/kernel" "$out/initramfs"
mkdir -p "$out/kernel"
(cd "$out" && rm -f linux-image-*.deb && apt-get download -o APT::Sandbox::User=root "$kpkg" >/dev/null)
dpkg-deb -x "$out"/linux-image-*.deb "$out/kernel"
rm -f "$out"/linux-image-*.deb
depmod -b "$out/kernel" "$kver"

# The uncompressed kernel boots in about half the time: it is the XZ stream
# inside the compressed image.
vmlinuz=$out/kernel/boot/vmlinuz-$kver
offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" | head -n1 | cut -d: -f1)
[ -n "$offset" ] || { echo "prepare-guest: no XZ stream in $vmlinuz" >&2; exit 1; }
xz -dc --single-stream < <(tail -c +"$((offset + 1))" "$vmlinuz") >"$out/vmlinux"

# Busybox insmod resolves no dependencies: load in modprobe's order.
mkdir -p "$root"/{bin,dev,proc,sys,host,modules}
cp /bin/busybox "$root/bin/busybox"
for applet in $("$root/bin/busybox" --list); do
  [ -e "$root/bin/$applet" ] || ln -s busybox "$root/bin/$applet"
done
n=0
: >"$root/modules/order"
while read -r verb path _; do
  [ "$verb" = insmod ] || continue
  name=$(printf '%02d-%s' "$n" "$(basename "${path%.xz}")")
  case $path in
    *.xz) xz -dc "$out/kernel$path" >"$root/modules/$name" ;;
    *) cp "$out/kernel$path" "$root/modules/$name" ;;
  esac
  echo "$name" >>"$root/modules/order"
  n=$((n + 1))
done < <(for m in ftdi_sio xhci_pci virtio_pci 9pnet_virtio 9p; do
           modprobe -d "$out/kernel" -S "$kver" --show-depends "$m"
         done | sed "s|$out/kernel||" | awk '!seen[$0]++')
pack
rm -rf "$out/kernel"
echo "$kver" >"$out/ready"
