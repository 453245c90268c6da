#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Assembles a 64 MiB image with a GPT and a hybrid MBR, for a board whose
# boot ROM reads only the MBR (the Raspberry Pi 3) while its kernel and
# firmware read the GPT:
#
#   GPT 1  16 MiB  EFI system, legacy BIOS bootable   boot loader, kernel
#   GPT 2  47 MiB  Linux filesystem                   root file system
#
# sfdisk writes the GPT; mkentry then writes the MBR's entries over its
# protective one: slot 1 the ee entry over the GPT's own sectors, from
# sector 1 to the boot partition, and slot 2 the boot partition again, as
# FAT32 (LBA) and bootable, with exactly its GPT sectors, which is what the
# ROM reads.
#
# usage: make-hybrid-image.sh IMAGE
# MKENTRY and MKENTRY_CHECK name the two commands (default: from PATH).
set -euo pipefail

image=${1:?usage: make-hybrid-image.sh IMAGE}
mkentry=${MKENTRY:-mkentry}
mkentry_check=${MKENTRY_CHECK:-mkentry-check}

mib=2048 # 512-byte sectors
disk_size=$((64 * mib))
boot_begin=$((1 * mib))
boot_size=$((16 * mib))

rm -f "$image"
dd if=/dev/zero of="$image" bs=512 count=0 seek="$disk_size" status=none
sfdisk --quiet --no-reread --no-tell-kernel "$image" <<END
label: gpt
label-id: 5EED0030-0000-4000-8000-000000000001
start=$boot_begin, size=$boot_size, type=U, name=boot, attrs=LegacyBIOSBootable
start=$((boot_begin + boot_size)), type=L, name=root
END

# The hybrid MBR: each entry where the ROM looks for it. pipefail makes a
# failed mkentry stop the script.
entry() { # slot, then mkentry's options
    "$mkentry" "${@:2}" | dd of="$image" bs=1 seek=$((446 + 16 * ($1 - 1))) conv=notrunc status=none
}
entry 1 --type 0xee --begin 1 --size $((boot_begin - 1))
entry 2 --bootable --type 0x0c --begin "$boot_begin" --size "$boot_size"

# The GPT, both its headers, and that the MBR's boot partition is the
# GPT's. The hybrid itself is a warning; an error stops the script, with the
# report on standard error.
# The picture of the disk is left beside it, IMAGE.svg.
if ! report=$("$mkentry_check" --svg "$image.svg" "$image"); then
    printf '%s\n' "$report" >&2
    exit 1
fi
