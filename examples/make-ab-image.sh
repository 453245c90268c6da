#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Assembles a 128 MiB SD-card image for a board with A/B root file systems
# and more than four partitions, from mkentry and dd alone. The fourth slot
# is an extended partition; the partitions in it are logical ones, each in
# a chain of extended boot records (EBRs), as Linux numbers them:
#
#   1  16 MiB  FAT32 (LBA), bootable   boot loader, kernel, device tree
#   2  32 MiB  Linux                   root file system A
#   3  32 MiB  Linux                   root file system B
#   4  47 MiB  extended (LBA)          the EBR chain:
#   5  32 MiB  Linux                   data, kept across updates
#   6  13 MiB  Linux                   logs, the rest of the disk
#
# Each EBR is a sector of its own, 1 MiB before its partition: entry 1 is
# the partition, counted from the EBR's own sector; entry 2 the link to
# the next EBR, counted from the start of the extended partition; then the
# 55 AA signature, as in the MBR.
#
# usage: make-ab-image.sh IMAGE
# MKENTRY and MKENTRY_CHECK name the two commands (default: from PATH);
# DISK_ID (8 hex digits) is the disk identifier (default: 5eedab01).
set -euo pipefail

image=${1:?usage: make-ab-image.sh IMAGE}
mkentry=${MKENTRY:-mkentry}
mkentry_check=${MKENTRY_CHECK:-mkentry-check}
disk_id=${DISK_ID:-5eedab01}

mib=2048 # 512-byte sectors
disk_size=$((128 * mib))
boot_begin=$((1 * mib))
boot_size=$((16 * mib))
root_a_begin=$((boot_begin + boot_size))
root_size=$((32 * mib))
root_b_begin=$((root_a_begin + root_size))
extended_begin=$((root_b_begin + root_size))
extended_size=$((disk_size - extended_begin))
data_ebr=$extended_begin # the first EBR is the extended partition's first sector
data_size=$((32 * mib))
log_ebr=$((data_ebr + mib + data_size))
log_size=$((disk_size - log_ebr - mib))

rm -f "$image"
dd if=/dev/zero of="$image" bs=512 count=0 seek="$disk_size" status=none

# One entry (1 to 4) of the table in the given sector: the MBR is sector 0,
# an EBR its own. pipefail makes a failed mkentry stop the script.
entry() { # sector, entry, then mkentry's options
    "$mkentry" "${@:3}" | dd of="$image" bs=1 seek=$(($1 * 512 + 446 + 16 * ($2 - 1))) \
        conv=notrunc status=none
}
# -m writes 55 AA right after the entry it ends, so the signature of a
# table whose last entry is not 4 is written on its own.
signature() { # sector
    "$mkentry" -m | dd of="$image" bs=1 skip=16 seek=$(($1 * 512 + 510)) count=2 conv=notrunc status=none
}

entry 0 1 --bootable --type 0x0c --begin "$boot_begin" --size "$boot_size"
entry 0 2 --type 0x83 --begin "$root_a_begin" --size "$root_size"
entry 0 3 --type 0x83 --begin "$root_b_begin" --size "$root_size"
entry 0 4 --type 0x0f --begin "$extended_begin" --size "$extended_size"
signature 0

# Partition 5, and the link to the next EBR: it covers that EBR and its
# partition, both counted from the extended partition's start.
entry "$data_ebr" 1 --type 0x83 --begin "$mib" --size "$data_size"
entry "$data_ebr" 2 --type 0x05 --begin $((log_ebr - extended_begin)) --size $((disk_size - log_ebr))
signature "$data_ebr"
# Partition 6; no link, so the chain ends here.
entry "$log_ebr" 1 --type 0x83 --begin "$mib" --size "$log_size"
signature "$log_ebr"

# The disk identifier, little-endian at byte 440: the PARTUUIDs are formed
# from it, root=PARTUUID=5eedab01-02 for root file system A.
# shellcheck disable=SC2059 # the format is the four bytes
printf "\x${disk_id:6:2}\x${disk_id:4:2}\x${disk_id:2:2}\x${disk_id:0:2}" |
    dd of="$image" bs=1 seek=440 conv=notrunc status=none

# The table and the whole chain, as the board's firmware, boot loader and
# kernel will read them. An error stops the script, with the report on
# standard error.
# The picture of the disk is left beside it, IMAGE.svg.
if ! report=$("$mkentry_check" --svg "$image.svg" "$image"); then
    printf '%s\n' "$report" >&2
    exit 1
fi
