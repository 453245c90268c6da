#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Builds disk images with mkentry and reads them back with the tools users
# have: sfdisk --json, partx, fdisk -l, parted and file. Every partition's
# start, size, type and boot flag must be what was asked for.
# usage: interop_test.sh MKENTRY EXAMPLE_SCRIPT
set -euo pipefail
export MKENTRY=$1
example=$2

missing=""
for tool in sfdisk partx fdisk parted file; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "not installed:$missing"
    exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

# Each reader's view as lines "start size type boot", type in hex as sfdisk
# prints it (c, 83), boot 1 or 0.
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_sfdisk() {
    sfdisk --json "$1" | awk -F': *' '
        /"start"/ { start = $2 + 0 }
        /"size"/ { size = $2 + 0 }
        /"type"/ { type = $2; gsub(/[",]/, "", type) }
        /"bootable": true/ { boot = 1 }
        /}/ && start != "" { print start, size, type, boot + 0; start = ""; boot = 0 }'
}
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_partx() {
    partx -g -o START,SECTORS,TYPE,FLAGS "$1" |
        awk '{ sub(/^0x/, "", $3); print $1, $2, $3, ($4 == "0x80") }'
}
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_fdisk() {
    fdisk -l -o Start,Sectors,Id,Boot "$1" |
        awk 'listing && NF >= 3 { print $1, $2, $3, ($4 == "*") } /Start +Sectors/ { listing = 1 }'
}
# parted names no type codes; it shows the ones it knows as flags.
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_parted() {
    parted -s -m "$1" unit s print | awk -F: 'NR > 2 {
        start = $2; size = $4; sub(/s$/, "", start); sub(/s$/, "", size)
        print start, size, ($7 ~ /boot/), ($7 ~ /lba/) ? "lba" : ($7 ~ /swap/) ? "swap" : ($7 ~ /esp/) ? "esp" : "-" }'
}
parted_view() { # the same expectation in parted's terms
    awk '{ flag = $3 == "c" ? "lba" : $3 == "82" ? "swap" : $3 == "ef" ? "esp" : "-"; print $1, $2, $4, flag }'
}
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_file() { # file(1) on one line: "partition N : ID=0x.., active, ... startsector S, Z sectors"
    file -b "$1" | tr ';' '\n' | sed -n 's/.*ID=0x\([0-9a-f]*\),\( active,\)\{0,1\}.* startsector \([0-9]*\), \([0-9]*\) sectors.*/\3 \4 \1 \2/p' |
        awk '{ print $1, $2, $3, ($4 == "active,") }'
}

check() { # name, image, expected lines
    local name=$1 image=$2 expected=$3
    for reader in sfdisk partx fdisk parted file; do
        local want=$expected
        [ "$reader" = parted ] && want=$(parted_view <<<"$expected")
        local got
        got=$("read_$reader" "$image" 2>&1) || true
        if [ "$got" = "$want" ]; then
            echo "ok: $name read by $reader"
        else
            printf 'FAIL: %s read by %s\n--- expected\n%s\n--- got\n%s\n' "$name" "$reader" "$want" "$got"
            failed=1
        fi
    done
}

# The example script's image: boot FAT32, swap, root.
"$example" "$scratch/example.img"
check "example image" "$scratch/example.img" "2048 32768 c 1
34816 16384 82 0
51200 79872 83 0"

# A full table of four, each written with mkentry; the fourth carries the
# boot signature, which lands at 494 + 16 = 510.
image=$scratch/four.img
dd if=/dev/zero of="$image" bs=1M count=0 seek=128 status=none
write() { "$MKENTRY" "${@:2}" | dd of="$image" bs=1 seek="$1" conv=notrunc status=none; }
write 446 -c -t 0xef -b 2048 -s 0x10000
write 462 -t 7 -b 67584 -s 32768
write 478 --type=0x83 --begin=100352 --size=131072
write 494 -t 0x82 -b 231424 -s 030000 -m
check "four partitions" "$image" "2048 65536 ef 1
67584 32768 7 0
100352 131072 83 0
231424 12288 82 0"

exit $failed
