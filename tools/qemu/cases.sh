# The QEMU lane's cases, run by the guest's init against the kernel's
# scsi_debug posing as a CD-ROM drive (INQUIRY "Linux   scsi_debug      0191").
# Each case loads scsi_debug afresh with its options, runs kavora-cli, and
# checks the exit status, a text of the output, and the kernel's log of the
# commands the drive received. Prints "CASE <name>: ok|FAILED ..." lines and
# a closing "LANE: N passed, M failed".

P=/sys/bus/pseudo/drivers/scsi_debug
passed=0
failed=0
cd /lane/run
echo "TIME guest booted and ready: $(cut -d' ' -f1 /proc/uptime) s"

# scsi_debug with OPTIONS, the mid level logging every command it sends and
# completes (CDB, result, sense).
load_drive() {
    rmmod scsi_debug 2>/dev/null
    insmod /modules/scsi_debug.ko ptype=5 "$@" || return 1
    for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e /dev/sr0 ] && [ -e /dev/sg0 ] && break; sleep 0.2; done
    dmesg -c > /dev/null
    echo 32256 > /proc/sys/dev/scsi/logging_level
}

# Commands the drive received with this CDB start ("3b 07"), from the log of
# the last case: one "Send:" line each.
sent() {
    dmesg | grep -A1 ' Send: ' | grep -c "CDB: .* $1 " 
}

# CDB start carried out: completed without sense data.
carried_out() {
    dmesg | awk -v cdb="$1" '
        function settle() { if (pending) n++; pending = 0 }
        / Send: / { settle(); next }
        / Done: / { settle(); done = 1; next }
        done && /CDB: / { pending = index($0, " " cdb " ") > 0; done = 0; next }
        /Sense Key/ { pending = 0 }
        END { settle(); print n + 0 }'
}

# The CDBs of the commands carried out (completed without sense data), in
# order, as "3b 06 00 00 10 20 00 10 00 00 00 00".
carried_list() {
    dmesg | awk '
        function settle() { if (pending) print cdb; pending = 0 }
        / Send: / { settle(); next }
        / Done: / { settle(); done = 1; next }
        done && /CDB: / { sub(/.*CDB: [A-Za-z ]*[a-z] /, ""); cdb = $0; pending = 1; done = 0; next }
        /Sense Key/ { pending = 0 }
        END { settle() }'
}

# Per device (H:C:T:L), how many commands with this CDB start were carried
# out: the devices of a tower run at once, so their log lines interleave.
carried_by() {
    dmesg | awk -v cdb="$1" '
        function key() { return match($0, / [0-9]+:[0-9]+:[0-9]+:[0-9]+: /) ? substr($0, RSTART + 1, RLENGTH - 3) : "" }
        function settle(k) { if (pending[k]) n[k]++; pending[k] = 0 }
        / Send: / { settle(key()); next }
        / Done: / { k = key(); settle(k); done[k] = 1; next }
        /CDB: / { k = key(); if (done[k]) { pending[k] = index($0, " " cdb " ") > 0; done[k] = 0 }; next }
        /Sense Key/ { pending[key()] = 0 }
        END { for (k in pending) settle(k); for (k in n) print k, n[k] }' | sort
}

# scsi_debug as a tower of four CD-ROM drives, /dev/sr0 to /dev/sr3.
load_tower() {
    load_drive num_tgts=4 "$@" || return 1
    for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e /dev/sr3 ] && break; sleep 0.2; done
    dmesg -c > /dev/null
}

# Once the first save has reached the drive, scsi_debug answers INQUIRY with
# its module parameter PARAMETER set to VALUE: a drive that comes back from
# programming with new firmware, or as something else.
after_first_save() {
    tries=0
    while [ "$(sent "3b 07")" -lt 1 ] && [ $tries -lt 600 ]; do sleep 0.2; tries=$((tries + 1)); done
    printf '%s' "$2" > "/sys/module/scsi_debug/parameters/$1"
}

# The drive answered INQUIRY after it carried out the save.
identified_after_save() {
    carried_list | awk '/^3b 07/ { saved = 1 } saved && /^12 / { found = 1 } END { exit !found }'
}

# Waits, ten seconds at the most, until the kernel has sent N WRITE BUFFER
# commands of mode 06h: the runs are in their transfer.
wait_for_writes() {
    tries=0
    while [ "$(sent "3b 06")" -lt "$1" ] && [ $tries -lt 100 ]; do sleep 0.1; tries=$((tries + 1)); done
}

# A tower upgrade that gets Ctrl-C once every drive is in its transfer.
stopped_tower_run() {
    kavora-cli upgrade --all --yes small.bin &
    run=$!
    wait_for_writes 4
    kill -INT $run
    wait $run
}

# case NAME STATUS TEXT CHECK -- COMMAND...
#   STATUS  the exit status expected
#   TEXT    a text the output must hold
#   CHECK   a shell test on the kernel's log, or "-"
check_case() {
    name=$1 want=$2 text=$3 check=$4
    shift 5
    rm -f sum.txt out.txt
    began=$(date +%s)
    "$@" > out.txt 2>&1
    got=$?
    took=$(( $(date +%s) - began ))
    why=""
    [ "$got" = "$want" ] || why="exit $got, wanted $want"
    grep -qF -- "$text" out.txt || why="$why; no \"$text\" in the output"
    if [ "$check" != "-" ] && ! eval "$check"; then why="$why; kernel log: $check failed"; fi
    if [ -z "$why" ]; then
        passed=$((passed + 1)); echo "CASE $name: ok ($took s)"
    else
        failed=$((failed + 1)); echo "CASE $name: FAILED ($why; $took s)"; sed 's/^/    | /' out.txt
    fi
    cp out.txt "/tmp/$name.out"
    [ -f sum.txt ] && cp sum.txt "/tmp/$name.sum"
    dmesg > "/tmp/$name.log"
}

# The GoogleTest suite of the Linux program, on the guest's kernel.
if [ -x /lane/linux_tests ]; then
    check_case linux-tests 0 "[  PASSED  ]" - -- sh -c 'cd /tmp && /lane/linux_tests'
fi

load_drive
check_case list 0 '/dev/sr0 (/dev/sg0)  "Linux   scsi_debug      "  0191  <- IDString.txt' - -- \
    kavora-cli list
check_case check-accepts 0 "it is for the drive at /dev/sr0" '[ $(sent "3b") = 0 ]' -- \
    kavora-cli check fw.bin
check_case check-through-sg 0 "it is for the drive at /dev/sg0" - -- \
    kavora-cli check --drive /dev/sg0 small.bin
check_case check-refuses 1 "It is an incorrect firmware version!" '[ $(sent "3b") = 0 ]' -- \
    kavora-cli check other.bin
check_case upgrade-refuses-other-image 1 "It is an incorrect firmware version!" '[ $(sent "3b") = 0 ]' -- \
    kavora-cli upgrade --yes other.bin
check_case upgrade-not-a-drive 1 "not a CD/DVD-class SCSI device" '[ $(sent "3b") = 0 ]' -- \
    kavora-cli upgrade --yes --drive /dev/null small.bin

# The whole 1 MiB: every block and the header accepted after the unit
# attention each download raises, exactly one save carried out, after them;
# the drive comes back with revision 0200, and the run says it is upgraded.
load_drive
( after_first_save inq_rev 0200 ) &
check_case upgrade-1MiB 0 "kavora-cli: upgraded: the drive now reports revision 0200; it reported 0191 before." \
    '[ $(carried_out "3b 06") = 257 ] && [ $(carried_out "3b 07") = 1 ] && grep -qF "Please Restart Your Computer." out.txt' -- \
    kavora-sg-bench peak -- kavora-cli upgrade --yes fw.bin
wait
grep -h "peak resident" /tmp/upgrade-1MiB.out

# scsi_debug itself keeps its revision: the run says so instead of calling
# the drive upgraded.
load_drive
check_case same-revision 0 "the drive took the image but still reports revision 0191, as before" \
    identified_after_save -- kavora-cli upgrade --yes small.bin

# A drive that comes back from programming as another model is not
# upgraded: its state is unknown.
load_drive delay=50
( after_first_save inq_product 'OTHER PRODUCT   ' ) &
check_case another-model 3 "the drive now answers as another model, \"Linux   OTHER PRODUCT   \"" \
    identified_after_save -- kavora-cli upgrade --yes small.bin
wait

# Standard output closed early (| head -n 1), as a pipe or a dropped ssh
# session closes it: the run goes on to its end and reads the drive's
# identity after the save; the lost output makes the status 74, which stands
# in for 0 and 1 only.
closed_pipe_run() {
    ( kavora-cli upgrade --yes small.bin 2> /tmp/closed-pipe.err; echo $? > /tmp/closed-pipe.status ) | head -n 1
    cat /tmp/closed-pipe.err
    return "$(cat /tmp/closed-pipe.status)"
}
load_drive delay=50
check_case closed-pipe 74 "the drive took the image but still reports revision 0191" identified_after_save -- \
    closed_pipe_run

# From the 12th command on, every one ends in CHECK CONDITION (scsi_debug's
# injected transport error, 0B/4B/03): a block fails six sends, nothing is
# saved.
load_drive opts=16 every_nth=-12
check_case block-fails 2 "Execute command errorA!!" '[ $(sent "3b 07") = 0 ]' -- \
    kavora-cli upgrade --yes small.bin

# Standard output thrown away: the failure is still explained, on standard
# error. With -v, every WRITE BUFFER the kernel sent is in the trace.
load_drive opts=16 every_nth=-12
check_case quiet-failure-explained 2 "nothing was saved to the drive: it still has its old firmware" \
    '[ $(sent "3b 07") = 0 ]' -- sh -c 'kavora-cli upgrade --yes small.bin > /dev/null'
load_drive
check_case verbose-trace 0 "cdb: 3b 07 00" \
    '[ $(grep -c "cdb: 3b 06" out.txt) = $(sent "3b 06") ] && [ $(sent "3b 06") -gt 8 ]' -- \
    kavora-cli upgrade -v --yes small.bin

# list --json, for the host to parse.
load_drive
check_case json-list 0 '"model":"Linux   scsi_debug      "' - -- kavora-cli list --json
sed -n 's/^{/JSONLIST {/p' /tmp/json-list.out

# The drive vanishes from the kernel once its first block has gone out,
# slowly (each command takes 200 ms): whatever the kernel answers from then
# on, nothing is saved and the run says the drive kept its old firmware.
load_drive delay=50
( wait_for_writes 1; echo 1 > /sys/class/scsi_device/0:0:0:0/device/delete ) &
check_case drive-vanishes 2 "it still has its old firmware" '[ $(sent "3b 07") = 0 ]' -- \
    kavora-cli upgrade --yes small.bin
wait
grep -h -e "Execute command error" -e " failed: " /tmp/drive-vanishes.out

# One writer per drive: a second upgrade of the drive through its other node,
# started while the first is in its transfer (each command takes 400 ms), is
# refused, naming the first as the holder of the drive's lock; the first
# finishes, and the drive carries out one transfer (eight blocks and the
# header) and exactly one save.
two_writers() {
    kavora-cli upgrade --yes --drive /dev/sr0 small.bin > /tmp/one-writer-first.out 2>&1 &
    first=$!
    wait_for_writes 1
    kavora-cli upgrade --yes --drive /dev/sg0 small.bin
    second=$?
    wait $first
    echo "first run: exit $?"
    return $second
}
load_drive delay=100
check_case one-writer 1 "/dev/sg0 is being upgraded by another program: kavora-cli (process " \
    'grep -qF "kavora-cli (process $first) holds /run/lock/kavora-cli-0:0:0:0.lock; wait for it to finish" out.txt &&
     grep -q "first run: exit 0" out.txt && [ $(carried_out "3b 06") = 9 ] && [ $(carried_out "3b 07") = 1 ]' -- \
    two_writers
sed 's/^/    first run | /' /tmp/one-writer-first.out | tail -n 3

# Two LUNs of one target (scsi_debug max_luns=2 makes both CD-ROM drives)
# are two drives: both listed, and --all upgrades both, each saved once. A
# download to one LUN raises unit attentions on every LUN of the target, as
# on a real device whose LUNs are its parts, so they go one after the other.
load_drive max_luns=2
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e /dev/sr1 ] && [ -e /dev/sg1 ] && break; sleep 0.2; done
dmesg -c > /dev/null
check_case two-luns-listed 0 "/dev/sr1 (/dev/sg1)" - -- kavora-cli list
check_case two-luns-all 0 "upgrading 2 drives (LUNs of one target one after another): /dev/sr0 /dev/sr1" \
    'grep -q "^/dev/sr0  " out.txt && grep -q "^/dev/sr1  " out.txt &&
     [ "$(carried_by "3b 07" | grep -c ":0:0:[01] 1$")" = 2 ]' -- \
    kavora-cli upgrade --all --yes small.bin
load_drive max_luns=2
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e /dev/sr1 ] && [ -e /dev/sg1 ] && break; sleep 0.2; done
dmesg -c > /dev/null
check_case two-luns-each 0 "Please Restart Your Computer." \
    '[ "$(carried_by "3b 07" | grep -c ":0:0:[01] 1$")" = 2 ]' -- \
    sh -c 'kavora-cli upgrade --yes -d /dev/sr0 small.bin && kavora-cli upgrade --yes -d /dev/sg1 small.bin'

# The tower: all four drives upgraded at once with the 1 MiB image, each
# drive's save carried out exactly once, a diagnostics file per drive; they
# come back with revision 0200.
load_tower
rm -f sum-sr*.txt
( after_first_save inq_rev 0200 ) &
check_case tower-all 0 "upgraded (exit 0)" \
    '[ "$(carried_by "3b 07" | awk "\$2 == 1" | wc -l)" = 4 ] && [ "$(ls sum-sr*.txt | wc -l)" = 4 ] &&
     [ "$(grep -c "upgraded (exit 0)" out.txt)" = 4 ]' -- \
    kavora-sg-bench peak -- kavora-cli upgrade --all --yes fw.bin
wait
# One drive deleted from the kernel mid-transfer: it is named, gets no save,
# and the other three finish.
load_tower delay=50
( wait_for_writes 4; echo 1 > /sys/class/scsi_device/0:0:1:0/device/delete ) &
check_case tower-drive-removed 2 "/dev/sr1  " \
    '[ "$(carried_by "3b 07" | grep -c " 1$")" = 3 ] && ! carried_by "3b 07" | grep -q "^0:0:1:0 "' -- \
    kavora-cli upgrade --all --yes small.bin
wait
# Ctrl-C during the transfer stops all four before their saves.
load_tower delay=50
check_case tower-stopped 2 "stopped (exit 2)" \
    '[ $(sent "3b 07") = 0 ] && [ $(grep -c "stopped (exit 2)" out.txt) = 4 ]' -- \
    stopped_tower_run

# Four drives against one, with the same image, in this one run: wall time
# and peak resident memory.
ratios=$(awk '/^peak resident memory of kavora-cli:/ { kib[FILENAME] = $6; s[FILENAME] = $(NF - 1) }
    END { one = "/tmp/upgrade-1MiB.out"; four = "/tmp/tower-all.out"
          if (!(one in s) || !(four in s) || s[one] == 0 || kib[one] == 0) { print "none"; exit }
          printf "%.3f %.3f %s %s %s %s\n", s[four] / s[one], kib[four] / kib[one], s[one], s[four], kib[one], kib[four] }' \
    /tmp/upgrade-1MiB.out /tmp/tower-all.out)
echo "BENCH tower: 4 drives over 1 drive (wall, peak resident; one drive s, four drives s, one KiB, four KiB): $ratios"
if echo "$ratios" | awk '$1 != "none" && $1 <= 1.15 && $2 <= 1.25 { ok = 1 } END { exit !ok }'; then
    passed=$((passed + 1)); echo "CASE tower-ratios: ok"
else
    failed=$((failed + 1)); echo "CASE tower-ratios: FAILED (wall at most 1.15, peak at most 1.25: $ratios)"
fi

# What a user sees of the main runs.
for run in list json-list upgrade-1MiB same-revision another-model closed-pipe block-fails one-writer two-luns-all tower-all; do
    sed "s/^/OUTPUT $run: /" "/tmp/$run.out"
done
head -n 14 /tmp/verbose-trace.out | sed "s/^/OUTPUT verbose-trace: /"

# kavora-cli's transfer against sg_write_buffer's, per command sent.
load_drive
echo 0 > /proc/sys/dev/scsi/logging_level
kavora-sg-bench compare /dev/sr0 fw.bin "Linux   scsi_debug      " 0191 | sed 's/^/BENCH: /'

echo "TIME Linux cases done: $(cut -d' ' -f1 /proc/uptime) s"
# The Windows program under Wine, once the host has it ready: the host's
# share "signal", read without a cache, names the build to run, or "none".
mkdir -p /signal
if mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=none signal /signal; then
    waited=0
    while [ ! -s /signal/windows ] && [ $waited -lt 1000 ]; do sleep 1; waited=$((waited + 1)); done
    KAVORA_ARCH=$(cat /signal/windows 2>/dev/null)
    echo "TIME the host's Windows build was ready after $waited s more"
    case $KAVORA_ARCH in
        win32|win64)
            echo "WINDOWS: the $KAVORA_ARCH build under Wine in the guest"
            . /lane/wine-cases.sh ;;
        none) echo "WINDOWS: left out: no Windows build and Wine prefix yet (tools/test.sh makes them first)" ;;
        *) failed=$((failed + 1)); echo "CASE windows-ready: FAILED (no word from the host after $waited s)" ;;
    esac
else
    echo "WINDOWS: left out: the host shared no signal folder"
fi

echo "TIME all cases done: $(cut -d' ' -f1 /proc/uptime) s"
echo "LANE: $passed passed, $failed failed"
