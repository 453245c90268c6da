#!/bin/sh
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Runs on the booted ARMv7 board, from its initramfs: the board's own
# mkentry writes a table onto the blank second disk, its kernel reads it
# back, and mkentry-check checks it. Every result is one "== board" line.

# The example's initramfs has no /dev and no /tmp of its own.
mkdir -p /dev /tmp
mount -t devtmpfs devtmpfs /dev

# The blank disk is the one of 65536 sectors (32 MiB).
for size in /sys/block/vd*/size; do
    [ "$(cat "$size")" = 65536 ] && disk=${size%/size} && disk=${disk##*/}
done
echo "== board blank disk ${disk:-not found}"
[ -n "${disk:-}" ] || exit 1

entry() { # slot (1 to 4), then mkentry's options
    slot=$1
    shift
    mkentry "$@" | dd of="/dev/$disk" bs=1 seek=$((446 + 16 * (slot - 1))) conv=notrunc 2>/dev/null
}
entry 1 -c -t 0x0c -b 2048 -s 16384
entry 2 -t 0x82 -b 18432 -s 8192
entry 3 -b 26624 -s 20480
entry 4 -t 0x07 -b 47104 -s 18432 -m
sync
blockdev --rereadpt "/dev/$disk"
for part in /sys/block/"$disk"/"$disk"*/start; do
    dir=${part%/start}
    echo "== board partition ${dir##*/} start $(cat "$dir/start") size $(cat "$dir/size")"
done

mkentry -h >/tmp/help.out 2>/tmp/help.err
echo "== board mkentry -h: status $?, $(wc -c </tmp/help.out) bytes out, $(wc -c </tmp/help.err) bytes of help"
mkentry -b 1 -m >/dev/full
echo "== board mkentry -b 1 -m >/dev/full: status $?"
mkentry-check "/dev/$disk"
echo "== board mkentry-check /dev/$disk: status $?"
