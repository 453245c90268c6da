#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Boots the example board image on qemu's ARMv7 "virt" board: U-Boot must
# find the boot files through the bootable flag, and the kernel must report
# every partition where mkentry put it, the logical one in the extended
# partition too (Linux gives the extended slot itself two sectors). Then
# the same board from a GPT behind mkentry's protective MBR: U-Boot must
# find the boot partition by its legacy BIOS bootable attribute, and the
# kernel must report the GPT's partitions.
#
# Given the board's own (armhf) builds and their sysroot, it also puts them
# on the board, with the sysroot's loader and libc, and runs them there:
# tests/run-on-board.sh writes a table onto a blank second disk with the
# board's mkentry and checks it with the board's mkentry-check. The image
# is then built with the same binaries, through the emulator.
#
# usage: boot_test.sh EXAMPLE_SCRIPT CACHE_DIR MKENTRY MKENTRY_CHECK [SYSROOT EMULATOR...]
set -euo pipefail
example=$1 cache=$2 mkentry=$3 mkentry_check=$4 sysroot=${5:-}
emulator=("${@:6}")
u_boot=/usr/lib/u-boot/qemu_arm/u-boot.bin

skip() { echo "skipped: $*"; exit 77; }
for tool in qemu-system-arm mkfs.fat mcopy cpio apt-get; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -f "$u_boot" ] || skip "u-boot-qemu is not installed ($u_boot)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
image=$scratch/board.img
disks=(-drive "if=none,format=raw,file=$image,id=disk" -device "virtio-blk-device,drive=disk")
if [ -n "$sysroot" ]; then
    overlay=$scratch/overlay
    mkdir -p "$overlay/bin" "$overlay/lib"
    cp "$mkentry" "$mkentry_check" "$overlay/bin/"
    cp -L "$sysroot"/lib/ld-linux-armhf.so.3 "$sysroot"/lib/libc.so.6 "$overlay/lib/"
    install -m 755 "$(dirname "$0")/run-on-board.sh" "$overlay/run-on-board"
    export BOARD_OVERLAY=$overlay
    # The host runs the board's binaries through the emulator.
    for command in mkentry mkentry_check; do
        printf '#!/bin/sh\nexec %s %s "$@"\n' "${emulator[*]}" "${!command}" >"$scratch/$command"
        chmod +x "$scratch/$command"
        printf -v "$command" '%s' "$scratch/$command"
    done
    truncate -s 32M "$scratch/blank.img"
    # qemu's virt board hands its virtio slots out from the top: the disk
    # named last is the first U-Boot and Linux see, so the blank one
    # goes first.
    disks=(-drive "if=none,format=raw,file=$scratch/blank.img,id=blank"
        -device "virtio-blk-device,drive=blank" "${disks[@]}")
fi

build() { # image, label
    local status=0
    MKENTRY=$mkentry MKENTRY_CHECK=$mkentry_check BOARD_CACHE=$cache BOARD_LABEL=$2 \
        timeout 600 "$example" "$1" 2>"$scratch/err" || status=$?
    if [ $status = 2 ] && grep -q '^cannot fetch' "$scratch/err"; then
        skip "$(grep '^cannot fetch' "$scratch/err")"
    fi
    [ $status = 0 ] || { cat "$scratch/err"; echo "FAIL: building the $2 image"; exit 1; }
}
boot() { # console file, then the disks
    local start=$SECONDS
    status=0
    timeout 60 qemu-system-arm -M virt -m 512 -nographic -no-reboot -nic none -bios "$u_boot" "${@:2}" \
        </dev/null >"$1" 2>&1 || status=$?
    echo "board ran for $((SECONDS - start)) s and ended with status $status"
}
build "$image" mbr
boot "$scratch/console" "${disks[@]}"

failed=0
expect() { # description, expected lines, actual lines
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        printf 'FAIL: %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
        failed=1
    fi
}
# What U-Boot says of its boot scan: it scans partition 2 alone, the
# bootable one, and boots from it. Without the flag or the attribute it
# would try the first partition alone, which holds no file system.
boot_scan() { grep -E '^(Scanning virtio|Found /extlinux|Starting kernel)' <<<"$1"; }
scans_partition_2="Scanning virtio 0:2...
Found /extlinux/extlinux.conf
Starting kernel ..."
# A board's console: U-Boot's boot scan, the partitions its kernel reads,
# and that it powered itself off.
expect_board() { # which board, its console, the kernel's partitions
    expect "U-Boot boots the $1 board from its bootable partition alone" \
        "$scans_partition_2" "$(boot_scan "$2")"
    expect "the $1 board's kernel reads every partition where it was written" \
        "$3" "$(grep '^== partition' <<<"$2")"
    expect "the $1 board powers itself off" 0 "$status"
}
console=$(tr -d '\r' <"$scratch/console")
expect_board MBR "$console" "== partition vda1 start 2048 size 16384
== partition vda2 start 18432 size 131072
== partition vda3 start 149504 size 2
== partition vda5 start 151552 size 8192"
if [ -n "$sysroot" ]; then
    expect "the board's mkentry writes a table its kernel reads, and its mkentry-check passes it" \
        "== board blank disk vdb
== board partition vdb1 start 2048 size 16384
== board partition vdb2 start 18432 size 8192
== board partition vdb3 start 26624 size 20480
== board partition vdb4 start 47104 size 18432
== board mkentry -h: status 0, 0 bytes out, 469 bytes of help
== board mkentry -b 1 -m >/dev/full: status 10
== board mkentry-check /dev/vdb: status 0" \
        "$(grep '^== board' <<<"$console")"
fi

# The board from a GPT.
build "$scratch/gpt.img" gpt
boot "$scratch/gpt-console" -drive "if=none,format=raw,file=$scratch/gpt.img,id=disk" \
    -device "virtio-blk-device,drive=disk"
# U-Boot finds the GPT's boot partition by its legacy BIOS bootable
# attribute.
expect_board GPT "$(tr -d '\r' <"$scratch/gpt-console")" "== partition vda1 start 2048 size 16384
== partition vda2 start 18432 size 131072
== partition vda3 start 151552 size 6144"

[ $failed = 0 ] || { echo "--- console"; cat "$scratch/console" "$scratch/gpt-console"; }
exit $failed
