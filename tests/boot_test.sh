#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Boots the example board image on qemu's ARMv7 "virt" board: U-Boot must
# find the boot files through the bootable flag, and the kernel must report
# every partition where mkentry put it.
# usage: boot_test.sh MKENTRY EXAMPLE_SCRIPT CACHE_DIR
set -euo pipefail
mkentry=$1 example=$2 cache=$3
u_boot=/usr/lib/u-boot/qemu_arm/u-boot.bin

skip() { echo "skipped: $*"; exit 77; }
for tool in qemu-system-arm mkfs.fat mcopy cpio apt-get; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -f "$u_boot" ] || skip "u-boot-qemu is not installed ($u_boot)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
image=$scratch/board.img
status=0
MKENTRY=$mkentry BOARD_CACHE=$cache timeout 600 "$example" "$image" 2>"$scratch/err" || status=$?
if [ $status = 2 ] && grep -q '^cannot fetch' "$scratch/err"; then
    skip "$(grep '^cannot fetch' "$scratch/err")"
fi
[ $status = 0 ] || { cat "$scratch/err"; echo "FAIL: building the image"; exit 1; }

start=$SECONDS
status=0
timeout 60 qemu-system-arm -M virt -m 512 -nographic -no-reboot -nic none -bios "$u_boot" \
    -drive if=none,format=raw,file="$image",id=disk -device virtio-blk-device,drive=disk \
    </dev/null >"$scratch/console" 2>&1 || status=$?
echo "board ran for $((SECONDS - start)) s and ended with status $status"

failed=0
expect() { # description, expected lines, actual lines
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        printf 'FAIL: %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
        failed=1
    fi
}
console=$(tr -d '\r' <"$scratch/console")
# U-Boot scans only the partitions marked bootable; without the flag it
# would try the first partition alone, which holds no file system.
expect "U-Boot scans the bootable partition alone and boots from it" \
    "Scanning virtio 0:2...
Found /extlinux/extlinux.conf
Starting kernel ..." \
    "$(grep -E '^(Scanning virtio|Found /extlinux|Starting kernel)' <<<"$console")"
expect "the kernel reads every partition where mkentry put it" \
    "== partition vda1 start 2048 size 16384
== partition vda2 start 18432 size 131072" \
    "$(grep '^== partition' <<<"$console")"
expect "the board powers itself off" 0 "$status"

[ $failed = 0 ] || { echo "--- console"; cat "$scratch/console"; }
exit $failed
