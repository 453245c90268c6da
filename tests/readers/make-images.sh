#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Makes the small disk images that tests/readers/label.sh hands to the
# board's real readers: one table each, named by what is odd about it.
# Every image is 8 MiB (16384 sectors of 512 bytes), sparse, and holds a
# partition table and nothing else. The MBRs come from mkentry and dd, the
# GPTs from sgdisk with fixed GUIDs, then patched with dd where sgdisk
# would refuse (CRC32s redone with gzip, whose trailer holds one).
#
# usage: make-images.sh MKENTRY DIR
# DIR is created if need be; its *.img files are replaced. Exits 77 when
# a tool is missing.
set -euo pipefail
shopt -s inherit_errexit

mkentry=${1:?usage: make-images.sh MKENTRY DIR}
dir=${2:?usage: make-images.sh MKENTRY DIR}
for tool in sgdisk gzip od dd truncate; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ -x "$mkentry" ] || { echo "skipped: no mkentry at $mkentry"; exit 77; }
mkdir -p "$dir"
rm -f "$dir"/*.img

sectors=16384 # 8 MiB
last=$((sectors - 1))

blank() { # name: a new sparse disk, whose path is in $img
    img=$dir/$1.img
    truncate -s $((sectors * 512)) "$img"
}
put() { # byte offset, bytes as a printf format
    # shellcheck disable=SC2059 # the format is the data
    printf "$2" | dd of="$img" bs=1 seek="$1" conv=notrunc status=none
}
entry() { # table's sector, entry (1 to 4), then mkentry's options
    "$mkentry" "${@:3}" | dd of="$img" bs=1 seek=$(($1 * 512 + 446 + 16 * ($2 - 1))) conv=notrunc status=none
}
flag() { # table's sector, entry, boot flag byte as \xNN
    put $(($1 * 512 + 446 + 16 * ($2 - 1))) "$3"
}
signature() { # sector that gets 55 aa
    put $(($1 * 512 + 510)) '\x55\xaa'
}
disk_id() { put 440 '\x02\x00\xed\x5e'; }

# A plain MBR: three Linux slots of 1 MiB.
mbr3() {
    entry 0 1 --type 0x83 --begin 2048 --size 2048
    entry 0 2 --type 0x83 --begin 4096 --size 2048
    entry 0 3 --type 0x83 --begin 6144 --size 2048
    signature 0
    disk_id
}
# An MBR with one Linux slot and an extended slot at 4096 of 8192 sectors,
# whose chain is two EBRs (at 4096 and 8192), each with a 2048-sector
# logical partition 2048 sectors past it. Options: the slot's type, the
# link's type, the first logical's type and size, the second EBR's
# partition entry's boot flag.
extended() { # slot type, link type, first logical type, first logical size, flag
    entry 0 1 --type 0x83 --begin 2048 --size 2048
    entry 0 2 --type "$1" --begin 4096 --size 8192
    signature 0
    disk_id
    # The first EBR: entry 1 counts from the EBR, entry 2 from the
    # extended slot's first sector.
    entry 4096 1 --type "$3" --begin 2048 --size "$4"
    entry 4096 2 --type "$2" --begin 4096 --size 4096
    signature 4096
    entry 8192 1 --type 0x83 --begin 2048 --size 2048
    flag 8192 1 "$5"
    signature 8192
}

blank mbr-clean-3-slots; mbr3
blank mbr-no-55aa; mbr3; put 510 '\x00\x00'
blank mbr-boot-flag-01; mbr3; flag 0 1 '\x01'
blank mbr-slot-type-00; mbr3; entry 0 2 --type 0x00 --begin 4096 --size 2048
blank mbr-slot-past-end; mbr3; entry 0 3 --type 0x83 --begin 14336 --size 4096
blank mbr-overlapping-slots; mbr3; entry 0 2 --type 0x83 --begin 3072 --size 2048
blank mbr-extended-0f-2-logical; extended 0x0f 0x05 0x83 2048 '\x00'
blank mbr-extended-slot-type-85; extended 0x85 0x05 0x83 2048 '\x00'
blank mbr-link-type-85; extended 0x0f 0x85 0x83 2048 '\x00'
blank mbr-ebr-boot-flag-01; extended 0x0f 0x05 0x83 2048 '\x01'
blank mbr-logical-type-00; extended 0x0f 0x05 0x00 2048 '\x00'
blank mbr-logical-size-0; extended 0x0f 0x05 0x83 0 '\x00'

# GPT helpers. Numbers are read and written little-endian.
u32() { od -An -t u4 -j "$1" -N 4 "$img" | tr -d ' '; }
u64() { od -An -t u8 -j "$1" -N 8 "$img" | tr -d ' '; }
le64() { # number: its 8 bytes as printf escapes
    local n=$1 i out=
    for i in 0 1 2 3 4 5 6 7; do
        out+=$(printf '\\x%02x' $(((n >> (8 * i)) & 255)))
    done
    printf '%s' "$out"
}
crc32() { gzip -1 -c | tail -c 8 | head -c 4; }
# Redoes a header's array CRC and its own CRC, for the header at a sector.
fix_header() { # header's sector
    local h=$(($1 * 512)) array count size length
    array=$(u64 $((h + 72))) count=$(u32 $((h + 80))) size=$(u32 $((h + 84))) length=$(u32 $((h + 12)))
    dd if="$img" bs=512 skip="$array" count=$(((count * size + 511) / 512)) status=none |
        head -c $((count * size)) | crc32 | dd of="$img" bs=1 seek=$((h + 88)) conv=notrunc status=none
    put $((h + 16)) '\x00\x00\x00\x00'
    dd if="$img" bs=1 skip="$h" count="$length" status=none |
        crc32 | dd of="$img" bs=1 seek=$((h + 16)) conv=notrunc status=none
}
backup_lba() { u64 $((512 + 32)); }
# Sets an entry's 64-bit field (32: first LBA, 40: last, 48: attributes)
# in the array of the header at a sector, and redoes that header's CRCs.
set_field() { # header's sector, entry (1..), field offset, value
    local h=$(($1 * 512))
    put $(($(u64 $((h + 72))) * 512 + ($2 - 1) * $(u32 $((h + 84))) + $3)) "$(le64 "$4")"
    fix_header "$1"
}
set_both() { # entry, field offset, value: in the primary and the backup
    set_field 1 "$@"
    set_field "$(backup_lba)" "$@"
}
# Three 1 MiB Linux partitions at 2048, 4096, 6144, named one, two and
# three: Linux gives a partition a name (PARTNAME) only from a GPT, which
# is how label.sh tells which table the kernel read.
gpt3() {
    sgdisk --clear --disk-guid=5EED0030-0000-4000-8000-000000000002 \
        --new=1:2048:4095 --typecode=1:8300 --partition-guid=1:5EED0030-0000-4000-8000-000000000021 --change-name=1:one \
        --new=2:4096:6143 --typecode=2:8300 --partition-guid=2:5EED0030-0000-4000-8000-000000000022 --change-name=2:two \
        --new=3:6144:8191 --typecode=3:8300 --partition-guid=3:5EED0030-0000-4000-8000-000000000023 --change-name=3:three \
        "$img" >/dev/null
}

blank gpt-clean-3; gpt3
# The primary's partition 3 ends at 7167, not 8191, with the primary's
# array CRC right for that: a reader that shows 1024 sectors read the
# primary, 2048 the backup. Then the header's CRC is broken.
blank gpt-primary-header-crc; gpt3; set_field 1 3 40 7167; put $((512 + 16)) '\xde\xad\xbe\xef'
# The same change to the primary's array, with no CRC redone: the array's
# CRC is wrong, the header's right.
blank gpt-primary-array-crc; gpt3; put $((2 * 512 + 2 * 128 + 40)) "$(le64 7167)"
blank gpt-backup-missing; gpt3; dd if=/dev/zero of="$img" bs=512 seek="$last" count=1 conv=notrunc status=none
blank gpt-hidden-attribute; gpt3; sgdisk --attributes=2:set:1 "$img" >/dev/null
# Partition 2 starts at 3072, inside partition 1.
blank gpt-overlapping-entries; gpt3; set_both 2 32 3072
# Partition 3 ends at 16382, past the last usable sector (16350).
blank gpt-entry-outside-usable; gpt3; set_both 3 40 $((last - 1))
# Partition 3 starts at 8191 and ends at 6144.
blank gpt-entry-reversed; gpt3; set_both 3 32 8191; set_both 3 40 6144
# MBR slot 1 mirrors GPT partition 1 (type 83), the ee entry follows.
blank gpt-hybrid; gpt3; sgdisk --hybrid=1:2 "$img" >/dev/null
blank gpt-ee-at-sector-2; gpt3; entry 0 1 --type 0xee --begin 2 --size $((sectors - 2))
blank gpt-protective-no-55aa; gpt3; put 510 '\x00\x00'

# An ISO 9660 volume of the whole disk (4096 blocks) with an El Torito
# catalog at block 33, laid out as xorriso lays it out: the BIOS image at
# block 754 (4 sectors of 512 bytes), then a section of one UEFI image at
# block 34 (2880 sectors). The primary descriptor's L path table is at
# block 23, as xorriso's; U-Boot reads the descriptors up to it.
le32() { le64 "$1" | head -c 16; }
le16() { le64 "$1" | head -c 8; }
el_torito() {
    put 32768 '\x01CD001\x01'; put $((32768 + 80)) "$(le32 4096)"; put $((32768 + 140)) "$(le32 23)"
    put 34816 '\x00CD001\x01EL TORITO SPECIFICATION'; put $((34816 + 71)) "$(le32 33)"
    put 36864 '\xffCD001\x01'
    local catalog=$((33 * 2048))
    put "$catalog" '\x01'; put $((catalog + 28)) '\xaa\x55\x55\xaa' # checksum, key
    put $((catalog + 32)) '\x88\x00'; put $((catalog + 38)) "$(le16 4)$(le32 754)"
    put $((catalog + 64)) '\x91\xef\x01\x00'
    put $((catalog + 96)) '\x88\x00'; put $((catalog + 102)) "$(le16 2880)$(le32 34)"
}
# isohybrid --uefi: slot 1, type 00, from sector 0 over the whole volume,
# and the UEFI image's slot inside it.
blank isohybrid-uefi; el_torito; disk_id
entry 0 1 --type 0x00 --begin 0 --size "$sectors" --bootable; entry 0 2 --type 0xef --begin 136 --size 2880
signature 0
# The same volume without an MBR: U-Boot's ISO driver reads it.
blank iso-without-mbr; el_torito
ls "$dir"
