#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Asks the board's real partition table readers, as Debian 12 ships them,
# what they read on each image that make-images.sh makes, and writes what
# they said as one table:
#
#   Linux 6.1      Debian's armhf armmp kernel on qemu's ARMv7 "virt" board,
#                  with a busybox initramfs that prints each partition's
#                  start and size from sysfs (and its GPT name, if any)
#   U-Boot 2023.01 u-boot-qemu's qemu_arm build on the same board:
#                  virtio scan, then part list virtio N for each disk
#   EDK2 2022.11   ovmf's OVMF.fd on qemu's x86_64 "pc" board (emulated, no
#                  KVM), booted to its UEFI Shell: map -r lists every
#                  block device's path, whose HD(n,MBR|GPT,id,start,size)
#                  nodes are the partitions; each disk is a qcow2 overlay
#                  over the image, so that what EDK2 wrote is seen
#   GRUB 2.06      grub-emu (the same GRUB as grub-common's tools, hosted):
#                  ls -l prints each partition's start and size; Debian's
#                  grub-fstest lists the same partitions by name only
#
# One boot per reader for the whole set: every image is one virtio disk
# (the virt board has 32 virtio-mmio slots, the pc board 29 free PCI
# slots, so more images than that are read in batches). qemu guests get
# no network. The whole run takes about 35 s on two cores once the kernel
# and busybox are in the cache (the download adds some 10 s), and every
# boot has its time limit (console.py's).
#
# The table, tab-separated, in the disk's 512-byte sectors:
#   image reader scheme number start size   scheme dos, gpt, cdrom; the
#                                           number as the reader gives it
#                                           (EDK2: 2.1 for entry 1 of
#                                           what it found in its own
#                                           partition 2)
#                                           U-Boot prints a GPT
#                                           partition's first and last
#                                           LBA: its size is last - first
#                                           + 1, negative when reversed
#   image reader none - - -                 read, no partition
#   image edk2 writes first last            sectors EDK2 wrote
#   image edk2 changes first last           sectors whose bytes it changed
#   image reader fails hangs|crashes        the reader did not finish
#   image reader fails not listed           it finished, without the disk
#
# usage: label.sh MKENTRY OUTPUT.tsv [CACHE_DIR [LOG_DIR]]
# MKENTRY is the repository's mkentry, which make-images.sh uses.
# CACHE_DIR keeps the kernel and busybox packages from apt-get download
# (default: a scratch folder, fetched anew each run); LOG_DIR, if given,
# gets each boot's console. Exits 77 when a tool or package is missing.
# Needs qemu-system-arm, qemu-system-x86, qemu-utils, ovmf, u-boot-qemu,
# grub-emu, grub-common, gdisk, cpio, python3, and armhf in apt
# (dpkg --add-architecture armhf). label_test.py tests the parsing
# (label.py) on console excerpts of the real readers.
set -euo pipefail
shopt -s inherit_errexit

usage="usage: label.sh MKENTRY OUTPUT.tsv [CACHE_DIR [LOG_DIR]]"
mkentry=${1:?$usage}
output=${2:?$usage}
here=$(cd "$(dirname "$0")" && pwd)
u_boot=/usr/lib/u-boot/qemu_arm/u-boot.bin
ovmf=/usr/share/ovmf/OVMF.fd
grub_modules=/usr/lib/grub/x86_64-emu

skip() { echo "skipped: $*"; exit 77; }
for tool in qemu-system-arm qemu-system-x86_64 qemu-img grub-emu grub-fstest sgdisk cpio gzip \
    python3 apt-get apt-cache dpkg-deb timeout; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -f "$u_boot" ] || skip "u-boot-qemu is not installed ($u_boot)"
[ -f "$ovmf" ] || skip "ovmf is not installed ($ovmf)"
[ -d "$grub_modules" ] || skip "grub-emu is not installed ($grub_modules)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cache=${3:-$scratch/cache}
logs=${4:-$scratch/logs}
mkdir -p "$cache" "$logs"
started=$SECONDS

# The images, and their names in the order they are made.
bash "$here/make-images.sh" "$mkentry" "$scratch/images" >"$scratch/names" || {
    status=$?
    [ $status = 77 ] && { tail -n 1 "$scratch/names"; exit 77; }
    exit $status
}
mapfile -t images < <(sed 's/\.img$//' "$scratch/names")
echo "${#images[@]} images made"

# The kernel and busybox, as the repository's board example fetches them.
cached() { find "$cache" -maxdepth 1 -name "$1" | head -n 1; }
fetch() { # package, its .deb's name pattern, the files wanted from it
    if [ -z "$(cached "$2")" ]; then
        (cd "$cache" && timeout 300 apt-get download "$1" >/dev/null 2>&1) ||
            skip "cannot fetch $1 (is armhf in apt? dpkg --add-architecture armhf, apt-get update)"
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
    kernel_package=$(apt-cache depends linux-image-armmp:armhf 2>/dev/null |
        awk '/Depends: linux-image-/ { print $2; exit }') || true
    [ -n "$kernel_package" ] || skip "linux-image-armmp:armhf is unknown to apt"
fi
kernel=$(fetch "$kernel_package" 'linux-image-*-armmp_*_armhf.deb' './boot/vmlinuz-*' \
    '*/drivers/virtio/virtio_mmio.ko' '*/drivers/block/virtio_blk.ko')
busybox=$(fetch busybox-static:armhf 'busybox-static_*_armhf.deb' ./bin/busybox)

# Linux's initramfs: its init prints, for each virtio disk, the serial
# that names its image, then each partition's start, size and GPT name.
root=$scratch/initramfs
mkdir -p "$root/bin" "$root/lib/modules"
cp "$busybox/bin/busybox" "$root/bin/"
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
want=$(cat /proc/cmdline | sed -n 's/.*disks=\([0-9]*\).*/\1/p')
for _ in $(seq 100); do
    [ "$(ls -d /sys/block/vd* 2>/dev/null | wc -l)" -ge "$want" ] && break
    sleep 0.1
done
sleep 1
echo "== /proc/partitions"
cat /proc/partitions
for disk in /sys/block/vd*; do
    echo "== disk ${disk##*/} serial $(cat "$disk/serial")"
    for part in "$disk"/*/start; do
        [ -e "$part" ] || continue
        dir=${part%/start}
        name=$(sed -n 's/^PARTNAME=//p' "$dir/uevent")
        echo "== part ${dir##*/} start $(cat "$dir/start") size $(cat "$dir/size") name $name"
    done
done
echo "== done"
poweroff -f
EOF
chmod +x "$root/init"
(cd "$root" && find . | cpio --quiet -o -H newc | gzip -1n) >"$scratch/initrd.img"

table=$scratch/real.tsv
: >"$table"
image_path() { echo "$scratch/images/$1.img"; }
boot() { # reader, log, seconds, console.py's steps, then -- and qemu's command
    local status=0
    python3 "$here/console.py" "$2" "$3" "${@:4}" || status=$?
    echo "$1: a boot of $((SECONDS - boot_started)) s, status $status" >&2
    return $status
}

# Linux: the disk named last on the command line is the board's first,
# so each disk says which image it is by its serial.
linux_batch() { # the images
    local args=() i status=0 names=("$@") name
    for ((i = 0; i < $#; i++)); do
        name=${names[i]}
        args+=(-drive "if=none,format=raw,readonly=on,file=$(image_path "$name"),id=d$i"
            -device "virtio-blk-device,drive=d$i,serial=$(printf 'd%02d' "$i")")
    done
    boot_started=$SECONDS
    boot linux "$logs/linux-$batch.log" 120 'expect:== done' -- \
        qemu-system-arm -M virt -m 512 -nographic -no-reboot -nic none \
        -kernel "$kernel"/boot/vmlinuz-* -initrd "$scratch/initrd.img" \
        -append "console=ttyAMA0 panic=-1 quiet disks=$#" "${args[@]}" || status=$?
    python3 "$here/label.py" linux "$logs/linux-$batch.log" "$status" "$@" >>"$table"
}

# U-Boot: the disk named last is virtio 0, so the images go in reversed,
# the first last.
u_boot_batch() { # the images
    local args=() steps=() i status=0
    for ((i = $#; i > 0; i--)); do
        args+=(-drive "if=none,format=raw,readonly=on,file=$(image_path "${!i}"),id=d$i"
            -device "virtio-blk-device,drive=d$i")
    done
    steps=('expect:Hit any key to stop autoboot' 'send:\r' 'expect:=> ' 'send:virtio scan\r'
        'expect:=> ')
    # U-Boot reads a device number as hexadecimal.
    for ((i = 0; i < $#; i++)); do
        steps+=("send:part list virtio $(printf '%x' "$i")\\r" 'expect:=> ')
    done
    steps+=('send:poweroff\r')
    boot_started=$SECONDS
    boot u-boot "$logs/u-boot-$batch.log" 120 "${steps[@]}" -- \
        qemu-system-arm -M virt -m 512 -nographic -no-reboot -nic none -bios "$u_boot" \
        "${args[@]}" || status=$?
    python3 "$here/label.py" u-boot "$logs/u-boot-$batch.log" "$status" "$@" >>"$table"
}

# EDK2: disk k of the batch sits in PCI slot 3 + k, over a qcow2 overlay
# of 512-byte clusters, so that each sector it writes shows in the
# overlay's map, and the disk as EDK2 left it is compared with the image
# byte by byte (the image itself is never written).
edk2_batch() { # the images
    local args=() i status=0 names=("$@") name overlay
    for ((i = 0; i < $#; i++)); do
        name=${names[i]}
        overlay=$scratch/edk2/$name.qcow2
        mkdir -p "$scratch/edk2"
        qemu-img create -q -f qcow2 -b "$(image_path "$name")" -F raw -o cluster_size=512 "$overlay"
        args+=(-drive "if=none,format=qcow2,file=$overlay,id=d$i"
            -device "virtio-blk-pci,drive=d$i,addr=$(printf '0x%x' $((3 + i)))")
    done
    boot_started=$SECONDS
    boot edk2 "$logs/edk2-$batch.log" 240 'expect:Shell> ' 'send:map -r\r' 'expect:Shell> ' \
        'send:reset -s\r' -- \
        qemu-system-x86_64 -accel tcg -M pc -m 256 -nodefaults -nographic -serial stdio \
        -nic none -no-reboot -bios "$ovmf" "${args[@]}" || status=$?
    python3 "$here/label.py" edk2 "$logs/edk2-$batch.log" "$status" "$@" >>"$table"
    for name in "$@"; do
        overlay=$scratch/edk2/$name.qcow2
        # Sector ranges the overlay holds: what EDK2 wrote, adjacent
        # extents joined.
        qemu-img map --output=json "$overlay" |
            sed -n 's/.*"start": \([0-9]*\), "length": \([0-9]*\), "depth": 0,.*/\1 \2/p' |
            awk -v name="$name" '
                { first = $1 / 512; last = ($1 + $2) / 512 - 1 }
                NR > 1 && first == end + 1 { end = last; next }
                NR > 1 { printf "%s\tedk2\twrites\t%d\t%d\n", name, start, end }
                { start = first; end = last }
                END { if (NR) printf "%s\tedk2\twrites\t%d\t%d\n", name, start, end }' >>"$table"
        # Sectors whose bytes changed, in ranges.
        qemu-img convert -O raw "$overlay" "$scratch/edk2/after.img"
        cmp -l "$(image_path "$name")" "$scratch/edk2/after.img" 2>/dev/null |
            awk '{ print int(($1 - 1) / 512) }' | uniq |
            awk -v name="$name" '
                NR == 1 { first = $1; end = $1; next }
                $1 == end + 1 { end = $1; next }
                { printf "%s\tedk2\tchanges\t%d\t%d\n", name, first, end; first = $1; end = $1 }
                END { if (NR) printf "%s\tedk2\tchanges\t%d\t%d\n", name, first, end }' >>"$table" || true
        rm -f "$scratch/edk2/after.img"
    done
}

# GRUB: hdN is the device map's line N.
grub_batch() { # the images
    local i status=0 names=("$@") name
    : >"$scratch/device.map"
    for ((i = 0; i < $#; i++)); do
        name=${names[i]}
        printf '(hd%d) %s\n' "$i" "$(image_path "$name")" >>"$scratch/device.map"
    done
    boot_started=$SECONDS
    boot grub "$logs/grub-$batch.log" 60 'expect:grub> ' 'send:ls -l\n' 'expect:grub> ' \
        'send:reboot\n' -- grub-emu -d "$grub_modules" -m "$scratch/device.map" || status=$?
    python3 "$here/label.py" grub "$logs/grub-$batch.log" "$status" "$@" >>"$table"
    # grub-fstest, Debian's other way into the same code, must name the
    # same partitions.
    for name in "$@"; do
        timeout 20 grub-fstest "$(image_path "$name")" ls 2>/dev/null | tr ' ' '\n' |
            sed -n 's/^(loop0,\(.*\))$/\1/p' | sed 's/^[a-z]*//' | sort >"$scratch/fstest" || true
        awk -F '\t' -v name="$name" '$1 == name && $2 == "grub" && $4 ~ /^[0-9]/ { print $4 }' \
            "$table" | sort >"$scratch/emu"
        cmp -s "$scratch/fstest" "$scratch/emu" ||
            echo "warning: grub-fstest and grub-emu list other partitions of $name" >&2
    done
}

batches() { # reader, batch size
    local from
    batch=0
    for ((from = 0; from < ${#images[@]}; from += $2)); do
        batch=$((batch + 1))
        "$1_batch" "${images[@]:from:$2}"
    done
    echo "${1//_/-}: ${#images[@]} images in $batch boot(s)" >&2
}
batches linux 32
batches u_boot 32
batches edk2 29
batches grub 64

sort -t "$(printf '\t')" -k1,1 -k2,2 -s "$table" >"$output"
echo "wrote $(wc -l <"$output") lines to $output in $((SECONDS - started)) s"
