#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Makes the disks whose pictures are kept (the README's A/B example under
# docs/ with an Allwinner loader written over a GPT's array, and under
# tests/svg/ four slots, a hybrid GPT, a hybrid ISO as
# isohybrid --uefi writes it, a table of bad entries behind a name of
# markup and a control byte, and a disk of one sector) and draws each into
# OUT_DIR, as NAME.svg, with the image named as a user names it, in its
# own folder.
# usage: make_svg_pictures.sh MKENTRY MKENTRY_CHECK SOURCE_DIR OUT_DIR
set -euo pipefail
mkentry=$(realpath "$1")
check=$(realpath "$2")
source_dir=$3
out=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MKENTRY=$mkentry MKENTRY_CHECK=$check

# Draws IMAGE (in work) into out/NAME.svg; the status is the report's.
draw() { # image, name
    (cd "$work" && "$check" -q --svg - "$1" >"$out/$2.svg") || true
}

bash "$source_dir/examples/make-ab-image.sh" "$work/ab.img" >/dev/null
draw ab.img ab-example
bash "$source_dir/examples/make-disk-image.sh" "$work/disk.img" >/dev/null
draw disk.img slots
bash "$source_dir/examples/make-hybrid-image.sh" "$work/hybrid.img" >/dev/null
draw hybrid.img hybrid

# Four slots on 64 MiB: 1 over 2, 2 past the disk's end, 3 of size 0, 4
# inside the first MiB; the name holds & < > and a control byte.
bad=$'bad&<\x01>.img'
truncate -s 64M "$work/$bad"
slot() { # slot, then mkentry's options
    "$mkentry" "${@:2}" | dd of="$work/$bad" bs=1 seek=$((446 + 16 * ($1 - 1))) conv=notrunc status=none
}
slot 1 -b 2048 -s 40000 -t 0x0c -c
slot 2 -b 30000 -s 200000 -t 0x83
slot 3 -b 5000 -s 0 -t 0x83
slot 4 -b 100 -s 10 -t 0x07 -m
draw "$bad" bad-entries
# A disk of one sector, and no table on it.
head -c 512 /dev/zero >"$work/one.img"
draw one.img one-sector

# A hybrid ISO of a BIOS and a UEFI boot image; its MBR's identifier is
# random, which the picture does not show.
mkdir -p "$work/root/isolinux" "$work/root/EFI"
cp /usr/lib/ISOLINUX/isolinux.bin "$work/root/isolinux/"
head -c 1474560 /dev/zero >"$work/root/EFI/efi.img"
xorriso -as mkisofs -quiet -o "$work/hybrid.iso" -b isolinux/isolinux.bin -c isolinux/boot.cat \
    -no-emul-boot -boot-load-size 4 -boot-info-table -eltorito-alt-boot -e EFI/efi.img \
    -no-emul-boot "$work/root" 2>/dev/null
isohybrid --uefi "$work/hybrid.iso"
draw hybrid.iso hybrid-iso

# Allwinner's SPL at 8 KiB (48 sectors, its eGON sum right) and a uImage
# at 40 KiB, the benchmark's, written over the 128-entry array sfdisk makes by default:
# the array's CRC breaks where the SPL lies, and the ROM row shows what
# the ROM loads.
truncate -s 128M "$work/allwinner.img"
printf 'label: gpt\nlabel-id: 5EED0001-0000-4000-8000-000000000001\nfirst-lba: 2048\n%s\n%s\n' \
    'start=2048, size=32768, type=BC13C2FF-59E6-4262-A352-B275FD6F7172, uuid=5EED0001-0000-4000-8000-000000000002' \
    'start=34816, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4, uuid=5EED0001-0000-4000-8000-000000000003' |
    sfdisk -q "$work/allwinner.img"
python3 - "$source_dir/bench" "$work/allwinner.img" <<'EOF'
import sys

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, sys.argv[1])
from bench import allwinner_loader

spl, header = allwinner_loader()
with open(sys.argv[2], "r+b") as image:
    image.seek(8192)
    image.write(spl)
    image.seek(40960)
    image.write(header)
EOF
(cd "$work" && "$check" -q --soc allwinner --svg - allwinner.img >"$out/allwinner-clash.svg") || true
