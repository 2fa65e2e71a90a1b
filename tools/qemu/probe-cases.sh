# Probing scsi_debug by hand (not part of the lane).
insmod /modules/scsi_debug.ko ptype=5
sleep 1
ls -la /dev/sr* /dev/sg*
cd /lane/run
cat /sys/class/scsi_device/*/device/type
kavora-cli list; echo "exit $?"
kavora-cli check small.bin; echo "exit $?"
echo 32256 > /proc/sys/dev/scsi/logging_level
kavora-cli upgrade --yes small.bin; echo "exit $?"
echo 0 > /proc/sys/dev/scsi/logging_level
dmesg | grep -E "CDB|Sense|Done|Send" | tail -60
cat sum.txt | head -30
ls /sys/bus/pseudo/drivers/scsi_debug/
