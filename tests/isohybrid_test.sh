#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Hybrid ISOs as distributions build them, made with xorriso and
# isohybrid: an El Torito catalog with a BIOS and a UEFI boot image, and
# an MBR in the volume's system area whose slot 1 runs from sector 0 over
# the whole ISO (isohybrid, isohybrid --uefi, xorriso
# -isohybrid-gpt-basdat). mkentry-check must pass each without an error,
# say that it is the isohybrid layout, and give EDK2's view as the boot
# images, not the MBR's slots. Then grub-mkrescue's image for BIOS alone,
# whose one slot starts at sector 1 (as Debian's grub-rescue-usb.img):
# EDK2 makes its one boot image, and the report says so.
# usage: isohybrid_test.sh MKENTRY_CHECK
set -euo pipefail
check=$1
mbr=/usr/lib/ISOLINUX/isohdpfx.bin
bios=/usr/lib/ISOLINUX/isolinux.bin

missing=""
for tool in xorriso isohybrid grub-mkrescue python3; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
for file in "$mbr" "$bios" /usr/lib/grub/i386-pc/cdboot.img; do
    [ -e "$file" ] || missing="$missing $file"
done
if [ -n "$missing" ]; then
    echo "not installed:$missing"
    exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

mkdir -p "$scratch/root/isolinux" "$scratch/root/EFI"
cp "$bios" "$scratch/root/isolinux/"
# A 1.44 MB image for the UEFI entry; its contents do not matter here.
head -c 1474560 /dev/zero >"$scratch/root/EFI/efi.img"
images=(-b isolinux/isolinux.bin -c isolinux/boot.cat -no-emul-boot -boot-load-size 4
    -boot-info-table -eltorito-alt-boot -e EFI/efi.img -no-emul-boot)
xorriso -as mkisofs -quiet -o "$scratch/plain.iso" "${images[@]}" "$scratch/root" 2>/dev/null
cp "$scratch/plain.iso" "$scratch/isohybrid.iso" && isohybrid "$scratch/isohybrid.iso"
cp "$scratch/plain.iso" "$scratch/uefi.iso" && isohybrid --uefi "$scratch/uefi.iso"
xorriso -as mkisofs -quiet -o "$scratch/basdat.iso" -isohybrid-mbr "$mbr" "${images[@]}" \
    -isohybrid-gpt-basdat "$scratch/root" 2>/dev/null

for name in isohybrid uefi basdat; do
    iso=$scratch/$name.iso
    status=0
    "$check" "$iso" >"$iso.txt" || status=$?
    if [ $status = 0 ] && ! grep -q '^error: ' "$iso.txt" &&
        grep -q '^warning: slot 1 starts at sector 0 and holds the ISO 9660 volume' "$iso.txt"; then
        echo "ok: $name: passes, as the isohybrid layout"
    else
        printf 'FAIL: %s: status %s\n' "$name" "$status"
        cat "$iso.txt"
        failed=1
    fi
    # EDK2 makes the two boot images, the BIOS one first, and no slot.
    if "$check" --json "$iso" | python3 -c 'import json, sys
report = json.load(sys.stdin)
edk2 = report["readers"]["edk2"]
images = report["iso9660"]["boot_images"]
platforms = [image["platform"] for image in images]
starts = [image["block"] * 4 for image in images]
sys.exit(edk2["scheme"] != "cdrom" or platforms != ["bios", "uefi"] or
         [part["start"] for part in edk2["partitions"]] != starts)'; then
        echo "ok: $name: EDK2 makes the boot catalog's images"
    else
        printf 'FAIL: %s: EDK2 view is not the boot images\n' "$name"
        "$check" --json "$iso"
        failed=1
    fi
done

mkdir -p "$scratch/rescue"
grub-mkrescue -d /usr/lib/grub/i386-pc -o "$scratch/rescue.img" "$scratch/rescue" >/dev/null 2>&1
status=0
"$check" "$scratch/rescue.img" >"$scratch/rescue.txt" || status=$?
if [ $status = 0 ] && ! grep -q '^error: ' "$scratch/rescue.txt" &&
    grep -q '^warning: an El Torito boot catalog .* makes its 1 boot image and none of the MBR' \
        "$scratch/rescue.txt" &&
    "$check" --json "$scratch/rescue.img" | python3 -c 'import json, sys
edk2 = json.load(sys.stdin)["readers"]["edk2"]
sys.exit(edk2["scheme"] != "cdrom" or len(edk2["partitions"]) != 1)'; then
    echo "ok: grub-mkrescue for BIOS: passes, EDK2 makes its boot image"
else
    printf 'FAIL: grub-mkrescue for BIOS: status %s\n' "$status"
    cat "$scratch/rescue.txt"
    failed=1
fi

exit $failed
