#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Builds an SD-card image that boots on qemu's ARMv7 "virt" board with
# U-Boot, with no root, no loop device and nothing mounted: mkentry and dd
# write the partition table, mkfs.fat --offset and mtools fill the boot
# partition inside the image file.
#
#   slot 1  sectors   2048..18431    8 MiB  Linux (0x83), left empty
#   slot 2  sectors  18432..149503  64 MiB  FAT32 LBA (0x0c), bootable:
#           vmlinuz, initrd.img, extlinux/extlinux.conf
#   slot 3  sectors 149504..159743   5 MiB  extended (0x0f): its one EBR at
#           149504 holds partition 5, sectors 151552..159743, Linux (0x83)
#
# The boot partition is deliberately not the first: U-Boot's standard boot
# scans the partitions marked bootable, and falls back to the first one
# only when none is.
#
# With BOARD_LABEL=gpt the disk is a GPT instead, which sfdisk writes and
# behind which mkentry writes the protective MBR; U-Boot finds the boot
# partition by its legacy BIOS bootable attribute (bit 2):
#
#   GPT 1   sectors   2048..18431    8 MiB  Linux filesystem, left empty
#   GPT 2   sectors  18432..149503  64 MiB  Microsoft basic data, bootable
#   GPT 3   sectors 151552..157695   3 MiB  Linux filesystem The kernel is Debian's armhf "armmp" build; the
# initramfs is busybox with the virtio modules, and its init prints the
# partitions the kernel found, then powers the board off.
#
# usage: make-board-image.sh IMAGE
# MKENTRY and MKENTRY_CHECK name the two commands (default: from PATH).
# BOARD_CACHE is where the downloaded packages are kept (default:
# ./board-cache); what is there already is not fetched again. A package
# that cannot be fetched ends the script with status 2.
# BOARD_OVERLAY, if set, is a folder copied into the initramfs as it is:
# programs to try on the board. If it holds an executable /run-on-board,
# init runs it after listing the partitions, before powering off.
# Needs the armhf architecture in apt (dpkg --add-architecture armhf),
# mtools, dosfstools and cpio, and for a GPT sfdisk.
set -euo pipefail
shopt -s inherit_errexit

image=${1:?usage: make-board-image.sh IMAGE}
mkentry=${MKENTRY:-mkentry}
mkentry_check=${MKENTRY_CHECK:-mkentry-check}
cache=${BOARD_CACHE:-board-cache}
label=${BOARD_LABEL:-mbr}
case $label in
mbr | gpt) ;;
*) echo "BOARD_LABEL is mbr or gpt, not $label" >&2; exit 1 ;;
esac

linux_begin=2048 # the first MiB stays free for the MBR and a boot loader
linux_size=16384
boot_begin=$((linux_begin + linux_size))
boot_size=131072
extended_begin=$((boot_begin + boot_size))
logical_offset=2048 # from the EBR, which is the extended partition's first sector
logical_size=8192
extended_size=$((logical_offset + logical_size))
disk_sectors=$((extended_begin + extended_size))

# The kernel and busybox packages, fetched and unpacked once into the cache.
mkdir -p "$cache"
cached() { find "$cache" -maxdepth 1 -name "$1" | head -n 1; }
fetch() { # package name, the name pattern of its .deb, the files the image needs
    if [ -z "$(cached "$2")" ]; then
        (cd "$cache" && timeout 300 apt-get download "$1" >&2) || {
            echo "cannot fetch $1" >&2
            exit 2
        }
    fi
    local deb
    deb=$(cached "$2")
    if [ ! -d "${deb%.deb}" ]; then
        rm -rf "${deb%.deb}.new"
        mkdir -p "${deb%.deb}.new"
        dpkg-deb --fsys-tarfile "$deb" | tar -x -C "${deb%.deb}.new" --wildcards "${@:3}"
        mv "${deb%.deb}.new" "${deb%.deb}"
    fi
    echo "${deb%.deb}"
}
kernel_package=linux-image-armmp:armhf
if [ -z "$(cached 'linux-image-*-armmp_*_armhf.deb')" ]; then
    # The metapackage names the current kernel, which is what is fetched.
    kernel_package=$(apt-cache depends linux-image-armmp:armhf 2>/dev/null |
        awk '/Depends: linux-image-/ { print $2; exit }') || true
    [ -n "$kernel_package" ] || { echo "cannot fetch linux-image-armmp:armhf: unknown to apt" >&2; exit 2; }
fi
kernel=$(fetch "$kernel_package" 'linux-image-*-armmp_*_armhf.deb' './boot/vmlinuz-*' \
    '*/drivers/virtio/virtio_mmio.ko' '*/drivers/block/virtio_blk.ko')
busybox=$(fetch busybox-static:armhf 'busybox-static_*_armhf.deb' ./bin/busybox)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The initramfs: busybox, the two modules that make the virtio disk appear,
# and an init that reports what the kernel read from the partition table.
root=$work/initramfs
mkdir -p "$root/bin" "$root/lib/modules"
cp "$busybox/bin/busybox" "$root/bin/"
if [ -n "${BOARD_OVERLAY:-}" ]; then
    cp -R "$BOARD_OVERLAY/." "$root/"
fi
for module in virtio/virtio_mmio block/virtio_blk; do
    cp "$kernel"/lib/modules/*/kernel/drivers/$module.ko "$root/lib/modules/"
done
cat >"$root/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mkdir -p /proc /sys
mount -t proc proc /proc
mount -t sysfs sysfs /sys
insmod /lib/modules/virtio_mmio.ko
insmod /lib/modules/virtio_blk.ko
for _ in $(seq 50); do [ -e /sys/block/vda ] && break; sleep 0.1; done
echo "== /proc/partitions"
cat /proc/partitions
for part in /sys/block/*/*/start; do
    dir=${part%/start}
    echo "== partition ${dir##*/} start $(cat "$dir/start") size $(cat "$dir/size")"
done
[ -x /run-on-board ] && /run-on-board
poweroff -f
EOF
chmod +x "$root/init"
(cd "$root" && find . | cpio --quiet -o -H newc | gzip -1n) >"$work/initrd.img"

cat >"$work/extlinux.conf" <<'EOF'
default mkentry
label mkentry
    kernel /vmlinuz
    initrd /initrd.img
    append console=ttyAMA0 panic=-1
EOF

# The disk: a sparse file, its partition table from mkentry, then the FAT
# file system written at the boot partition's offset.
rm -f "$image"
dd if=/dev/zero of="$image" bs=512 count=0 seek="$disk_sectors" status=none
entry() { # slot (1 to 4), then mkentry's options
    "$mkentry" "${@:2}" | dd of="$image" bs=1 seek=$((446 + 16 * ($1 - 1))) conv=notrunc status=none
}
signature() { # the sector that ends in 55 aa
    "$mkentry" --magic | dd of="$image" bs=1 skip=16 seek=$(($1 * 512 + 510)) count=2 conv=notrunc status=none
}
# The MBR: slots 1 to 3, and the extended partition's one EBR, whose entry
# counts from the EBR's own sector; with no link in its second entry the
# chain ends there.
mbr_table() {
    entry 1 --type 0x83 --begin "$linux_begin" --size "$linux_size"
    entry 2 --bootable --type 0x0c --begin "$boot_begin" --size "$boot_size"
    entry 3 --type 0x0f --begin "$extended_begin" --size "$extended_size"
    signature 0
    "$mkentry" --type 0x83 --begin "$logical_offset" --size "$logical_size" |
        dd of="$image" bs=1 seek=$((extended_begin * 512 + 446)) conv=notrunc status=none
    signature "$extended_begin"
    # The disk identifier, little-endian at byte 440: Linux names the
    # partitions by it (PARTUUID=5eed0002-02). Fixed, so every build is the
    # same.
    printf '\x02\x00\xed\x5e' | dd of="$image" bs=1 seek=440 conv=notrunc status=none
}
# The GPT, with fixed GUIDs so that every build is the same (its backup
# takes the disk's last 33 sectors), then the protective MBR: one ee entry
# over the rest of the disk.
gpt_table() {
    sfdisk --quiet --no-reread --no-tell-kernel "$image" <<END
label: gpt
label-id: 5EED0030-0000-4000-8000-000000000002
start=$linux_begin, size=$linux_size, type=L, uuid=5EED0030-0000-4000-8000-000000000021
start=$boot_begin, size=$boot_size, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, uuid=5EED0030-0000-4000-8000-000000000022, attrs=LegacyBIOSBootable
start=$((extended_begin + logical_offset)), size=$((logical_size - 2048)), type=L, uuid=5EED0030-0000-4000-8000-000000000023
END
    dd if=/dev/zero of="$image" bs=1 seek=446 count=64 conv=notrunc status=none
    entry 1 --type 0xee --begin 1 --size $((disk_sectors - 1))
    signature 0
}
"${label}_table"
# An error stops the script, with the report on standard error.
# The picture of the disk is left beside it, IMAGE.svg.
if ! report=$("$mkentry_check" --svg "$image.svg" "$image"); then
    printf '%s\n' "$report" >&2
    exit 1
fi

mkfs.fat -F 32 -n BOOT --offset "$boot_begin" "$image" $((boot_size / 2)) >/dev/null
fat="$image@@$((boot_begin * 512))"
export MTOOLS_SKIP_CHECK=1
mmd -i "$fat" ::/extlinux
mcopy -i "$fat" "$kernel"/boot/vmlinuz-* ::/vmlinuz
mcopy -i "$fat" "$work/initrd.img" ::/initrd.img
mcopy -i "$fat" "$work/extlinux.conf" ::/extlinux/extlinux.conf
