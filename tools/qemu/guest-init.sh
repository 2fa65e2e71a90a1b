#!/bin/busybox sh
# The guest's first process: a bare system with the SCSI stack and
# scsi_debug, then the lane's cases, then power off. Everything it reports
# goes to the serial console, which the host reads.
/bin/busybox --install -s /bin
export PATH=/bin:/lane
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mkdir -p /tmp && mount -t tmpfs tmp /tmp
# The kernel's messages go to the log the cases read, not over the console.
echo 1 > /proc/sys/kernel/printk
for module in $(cat /modules/order); do
    insmod "/modules/$module.ko" || echo "LANE: cannot load $module"
done
echo
sh /lane/cases.sh
echo "LANE: done"
poweroff -f
