#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Assembles a 64 MiB SD-card image with an MBR partition table from mkentry
# and dd alone: no root, no loop device, no partitioning tool.
#
#   1  16 MiB  FAT32 (LBA), bootable   boot loader, kernel, device tree
#   2   8 MiB  Linux swap
#   3  39 MiB  Linux root              the rest of the disk
#
# usage: make-disk-image.sh IMAGE
# MKENTRY and MKENTRY_CHECK name the two commands (default: from PATH).
set -euo pipefail

image=${1:?usage: make-disk-image.sh IMAGE}
mkentry=${MKENTRY:-mkentry}
mkentry_check=${MKENTRY_CHECK:-mkentry-check}

sectors_per_mib=2048 # 512-byte sectors
disk_mib=64

boot_begin=$((1 * sectors_per_mib)) # the first MiB stays free for the MBR and a boot loader
boot_size=$((16 * sectors_per_mib))
swap_begin=$((boot_begin + boot_size))
swap_size=$((8 * sectors_per_mib))
root_begin=$((swap_begin + swap_size))
root_size=$((disk_mib * sectors_per_mib - root_begin))

# A sparse file of the disk's size, all zero: every table slot starts empty.
rm -f "$image"
dd if=/dev/zero of="$image" bs=1M count=0 seek="$disk_mib" status=none

# Slots 1 to 4 of the partition table are the 16 bytes at offset
# 446 + 16 * (slot - 1). pipefail makes a failed mkentry stop the script.
entry() {
    local slot=$1
    shift
    "$mkentry" "$@" | dd of="$image" bs=1 seek=$((446 + 16 * (slot - 1))) conv=notrunc status=none
}

entry 1 --bootable --type 0x0c --begin "$boot_begin" --size "$boot_size"
entry 2 --type 0x82 --begin "$swap_begin" --size "$swap_size"
entry 3 --type 0x83 --begin "$root_begin" --size "$root_size"

# Slot 4 stays empty. The boot signature 55 AA at offset 510: the two bytes
# that mkentry -m writes after an entry, without the entry.
"$mkentry" --magic | dd of="$image" bs=1 skip=16 seek=510 count=2 conv=notrunc status=none

# The disk identifier at byte 440, little-endian like the entries: Linux
# names the partitions by it (root=PARTUUID=<identifier>-03), so each disk
# in a board needs its own. Derived from the table, so that a build gives
# the same bytes every time; DISK_ID (8 hex digits) sets one instead.
disk_id=${DISK_ID:-$(head -c 512 "$image" | sha256sum | cut -c 1-8)}
# shellcheck disable=SC2059 # the format is the four bytes
printf "\x${disk_id:6:2}\x${disk_id:4:2}\x${disk_id:2:2}\x${disk_id:0:2}" |
    dd of="$image" bs=1 seek=440 conv=notrunc status=none

# The whole table, as the board's firmware and kernel will read it. An
# error stops the script, with the report on standard error.
# The picture of the disk is left beside it, IMAGE.svg.
if ! report=$("$mkentry_check" --svg "$image.svg" "$image"); then
    printf '%s\n' "$report" >&2
    exit 1
fi
