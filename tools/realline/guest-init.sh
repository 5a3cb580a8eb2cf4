#!/bin/sh
# The guest's first process: loads the modules, mounts the host's root
# read-only over 9p, and runs the script the host named on the kernel
# command line (velt.run=PATH) under chroot in it. The one writable place is
# a tmpfs over the empty folder the host named (velt.scratch=PATH), so
# nothing of the host is hidden and the build may live anywhere. Its own exit status
# cannot leave the guest, so it prints it as a line, then powers off.
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for m in $(cat /modules/order); do
  insmod "/modules/$m" || echo "velt-rig: insmod $m failed"
done
run=$(sed -n 's/.*velt\.run=\([^ ]*\).*/\1/p' /proc/cmdline)
scratch=$(sed -n 's/.*velt\.scratch=\([^ ]*\).*/\1/p' /proc/cmdline)
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose hostroot /host || echo "velt-rig: 9p mount failed"
mkdir -p /dev/pts
mount -t devpts -o ptmxmode=0666 devpts /dev/pts
ln -sf pts/ptmx /dev/ptmx
mount -o rbind /dev /host/dev
for d in proc sys; do mount --bind /$d /host/$d; done
mount -t tmpfs tmpfs "/host$scratch" || echo "velt-rig: no scratch folder $scratch"
# The adapter is enumerated after its module loads: wait for its node.
i=0
while [ ! -e /dev/ttyUSB0 ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
echo "velt-rig: guest up"
chroot /host /bin/sh "$run"
echo "velt-rig: run ended $?"
poweroff -f
