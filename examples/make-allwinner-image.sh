#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Builds a 64 MiB SD-card image for an Allwinner H3 board (the Orange Pi
# PC, which qemu's "orangepi-pc" machine emulates) with a GPT, and Debian's
# U-Boot for it written at 8 KiB, where the boot ROM loads it from:
#
#   sectors     0..1       protective MBR (mkentry), GPT header
#   sectors     2..15      GPT entry array, 56 entries of 128 bytes
#   sectors    16..1211    u-boot-sunxi-with-spl.bin: SPL 16..63, U-Boot 80..
#   GPT 1  sectors  2048..34815   16 MiB  Linux extended boot, FAT16,
#          legacy BIOS bootable: vmlinuz, initrd.img, the board's dtb,
#          extlinux/extlinux.conf
#   GPT 2  sectors 34816..129023  46 MiB  Linux filesystem, left empty
#
# The standard array of 128 entries takes sectors 2..33, and the loader at
# sector 16 would overwrite the last 72 of them and so break the array's
# CRC: Linux would then find no partition at all. 56 entries end at sector
# 15, just before it.
#
# The kernel is Debian's armhf "armmp" build with its sun8i-h3-orangepi-pc
# dtb; the initramfs is busybox with the SD card's driver, and its init
# prints the partitions the kernel found, then halts the board.
#
# usage: make-allwinner-image.sh IMAGE
# MKENTRY and MKENTRY_CHECK name the two commands (default: from PATH).
# BOARD_CACHE is where the downloaded packages are kept (default:
# ./board-cache); what is there already is not fetched again. A package
# that cannot be fetched ends the script with status 2.
# ALLWINNER_ENTRIES=128 makes the standard array instead, which the loader
# breaks: mkentry-check then fails the image, which is left whole, and the
# script exits 1.
# Needs the armhf architecture in apt (dpkg --add-architecture armhf),
# sfdisk, mtools, dosfstools and cpio.
set -euo pipefail
shopt -s inherit_errexit

image=${1:?usage: make-allwinner-image.sh IMAGE}
mkentry=${MKENTRY:-mkentry}
mkentry_check=${MKENTRY_CHECK:-mkentry-check}
cache=${BOARD_CACHE:-board-cache}
entries=${ALLWINNER_ENTRIES:-56}
case $entries in
56 | 128) ;;
*) echo "ALLWINNER_ENTRIES is 56 or 128, not $entries" >&2; exit 1 ;;
esac

disk_sectors=131072 # qemu takes only SD cards of a power of 2 bytes
boot_begin=2048
boot_size=32768
root_begin=$((boot_begin + boot_size))
root_size=94208
board=orangepi_plus # Debian's U-Boot for the H3 board closest to the PC
dtb=sun8i-h3-orangepi-pc.dtb

# The packages, each unpacked once into a folder of its own in the cache,
# named for what this image takes from it (the board example unpacks other
# files of the same kernel package).
mkdir -p "$cache"
cached() { find "$cache" -maxdepth 1 -name "$1" | head -n 1; }
fetch() { # package name, the name pattern of its .deb, the files the image needs
    if [ -z "$(cached "$2")" ]; then
        (cd "$cache" && timeout 300 apt-get download "$1" >&2) || {
            echo "cannot fetch $1" >&2
            exit 2
        }
    fi
    local deb dir
    deb=$(cached "$2")
    dir=${deb%.deb}.allwinner
    if [ ! -d "$dir" ]; then
        rm -rf "$dir.new"
        mkdir -p "$dir.new"
        dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$dir.new" --wildcards "${@:3}"
        mv "$dir.new" "$dir"
    fi
    echo "$dir"
}
kernel_package=linux-image-armmp:armhf
if [ -z "$(cached 'linux-image-*-armmp_*_armhf.deb')" ]; then
    # The metapackage names the current kernel, which is what is fetched.
    kernel_package=$(apt-cache depends linux-image-armmp:armhf 2>/dev/null |
        awk '/Depends: linux-image-/ { print $2; exit }') || true
    [ -n "$kernel_package" ] || { echo "cannot fetch linux-image-armmp:armhf: unknown to apt" >&2; exit 2; }
fi
kernel=$(fetch "$kernel_package" 'linux-image-*-armmp_*_armhf.deb' './boot/vmlinuz-*' \
    "./usr/lib/linux-image-*/$dtb" '*/modules.builtin' '*/kernel/drivers/mmc/*')
busybox=$(fetch busybox-static:armhf 'busybox-static_*_armhf.deb' ./bin/busybox)
u_boot=$(fetch u-boot-sunxi:armhf 'u-boot-sunxi_*_armhf.deb' "./usr/lib/u-boot/$board/*")
loader=$u_boot/usr/lib/u-boot/$board/u-boot-sunxi-with-spl.bin

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The modules that make the SD card appear, each after those it depends
# on (the "depends=" field of its .modinfo, which modinfo prints); a module
# built into the kernel is not loaded. Only drivers/mmc is unpacked: a
# dependency from elsewhere stops the script, named.
modules=()
add_module() { # module name
    local tree name ko dep
    tree=$(echo "$kernel"/lib/modules/*)
    name=${1//-/_}
    tr - _ <"$tree/modules.builtin" | grep -q "/${name}.ko\$" && return
    ko=$(find "$tree/kernel" -name "*.ko" | awk -v n="$name" '{ f = $0; sub(".*/", "", f); gsub("-", "_", f) } f == n ".ko"')
    [ -n "$ko" ] || { echo "module $1 is not in $kernel" >&2; exit 1; }
    for dep in $(tr '\0' '\n' <"$ko" | sed -n 's/^depends=//p' | tr , ' '); do
        add_module "$dep"
    done
    [[ " ${modules[*]} " == *" $ko "* ]] || modules+=("$ko")
}
add_module sunxi-mmc
add_module mmc_block

# The initramfs: busybox, the modules in order, and an init that reports
# what the kernel read from the partition table: the disk, then each of
# its partitions (none, if the kernel read no table).
root=$work/initramfs
mkdir -p "$root/bin" "$root/lib/modules"
cp "$busybox/bin/busybox" "$root/bin/"
: >"$root/lib/modules/order"
for ko in "${modules[@]}"; do
    cp "$ko" "$root/lib/modules/"
    echo "${ko##*/}" >>"$root/lib/modules/order"
done
cat >"$root/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
while read -r module; do insmod "/lib/modules/$module"; done </lib/modules/order
for _ in $(seq 100); do [ -e /dev/mmcblk0 ] && break; sleep 0.1; done
# The kernel reads the table as the card appears, holding the disk while
# it does; asking it to read the table again waits for that, and so no
# partition is missed.
blockdev --rereadpt /dev/mmcblk0
echo "== disk mmcblk0 size $(cat /sys/class/block/mmcblk0/size)"
for dir in /sys/class/block/mmcblk0p*; do
    [ -e "$dir/start" ] || continue
    echo "== partition ${dir##*/} start $(cat "$dir/start") size $(cat "$dir/size")"
done
# qemu emulates no power-off for the H3: the last line says that the
# report is whole.
echo "== end"
poweroff -f
EOF
chmod +x "$root/init"
(cd "$root" && find . | LC_ALL=C sort | cpio --quiet -o -H newc | gzip -1n) >"$work/initrd.img"

cat >"$work/extlinux.conf" <<EOF
default mkentry
label mkentry
    kernel /vmlinuz
    initrd /initrd.img
    fdt /$dtb
    append console=ttyS0,115200 panic=-1
EOF

# The GPT, with fixed GUIDs so that every build is the same. first-lba
# keeps the loader's sectors out of the usable range, so that no partition
# can be put over them, whatever sfdisk's default.
rm -f "$image"
dd if=/dev/zero of="$image" bs=512 count=0 seek="$disk_sectors" status=none
{
    echo "label: gpt"
    echo "label-id: 5EED0030-0000-4000-8000-000000000005"
    [ "$entries" = 128 ] || printf 'table-length: 56\nfirst-lba: 2048\n'
    echo "start=$boot_begin, size=$boot_size, type=BC13C2FF-59E6-4262-A352-B275FD6F7172, uuid=5EED0030-0000-4000-8000-000000000051, name=boot, attrs=LegacyBIOSBootable"
    echo "start=$root_begin, size=$root_size, type=L, uuid=5EED0030-0000-4000-8000-000000000052, name=root"
} | sfdisk --quiet --no-reread --no-tell-kernel "$image"
# The protective MBR anew from mkentry: one ee entry over the rest of the
# disk.
dd if=/dev/zero of="$image" bs=1 seek=446 count=64 conv=notrunc status=none
"$mkentry" --type 0xee --begin 1 --size $((disk_sectors - 1)) |
    dd of="$image" bs=1 seek=446 conv=notrunc status=none
"$mkentry" --magic | dd of="$image" bs=1 skip=16 seek=510 count=2 conv=notrunc status=none

# The loader, as Debian's README.Debian for u-boot-sunxi writes it.
dd if="$loader" of="$image" bs=8k seek=1 conv=notrunc status=none

mkfs.fat -F 16 -n BOOT --offset "$boot_begin" "$image" $((boot_size / 2)) >/dev/null
fat="$image@@$((boot_begin * 512))"
export MTOOLS_SKIP_CHECK=1
mmd -i "$fat" ::/extlinux
mcopy -i "$fat" "$kernel"/boot/vmlinuz-* ::/vmlinuz
mcopy -i "$fat" "$work/initrd.img" ::/initrd.img
mcopy -i "$fat" "$kernel"/usr/lib/linux-image-*/"$dtb" "::/$dtb"
mcopy -i "$fat" "$work/extlinux.conf" ::/extlinux/extlinux.conf

# The table with the loader in place, checked last, so that a failed image
# is still whole to look at. An error stops the script, with the report on
# standard error.
if ! report=$("$mkentry_check" "$image"); then
    printf '%s\n' "$report" >&2
    exit 1
fi
