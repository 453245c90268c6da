#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# mkentry-check as a user runs it: status and streams for each kind of
# input it cannot read, the quiet and help options, and a block device,
# which must give the same report as the image file behind it.
# usage: check_cli_test.sh MKENTRY_CHECK
set -uo pipefail
check=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failed=0

# An image whose slot 1 runs one sector past the end of the 1 MiB disk.
truncate -s 1M bad.img
printf '\0\377\377\377\203\377\377\377\0\10\0\0\1\0\0\0' | dd of=bad.img bs=1 seek=446 conv=notrunc status=none
printf '\125\252' | dd of=bad.img bs=1 seek=510 conv=notrunc status=none
head -c 100 /dev/zero >short.img
mkdir dir.img
touch unreadable.img
chmod 000 unreadable.img
mkfifo fifo.img

expect() { # command words, then the status and the first lines of standard output and error
    local -a words=("${@:1:$#-3}")
    local status=0
    "${words[@]}" >out.txt 2>err.txt || status=$?
    local want="${*: -3:1} | ${*: -2:1} | ${*: -1}"
    local got
    got="$status | $(head -n 1 out.txt) | $(head -n 1 err.txt)"
    if [ "$got" = "$want" ]; then echo "ok: ${words[*]}"; else
        printf 'FAIL: %s\n  want: %s\n  got:  %s\n' "${words[*]}" "$want" "$got"
        failed=1
    fi
}
usage="Usage: mkentry-check [-q] IMAGE"
report="disk: 2048 sectors of 512 bytes"

expect "$check" bad.img 1 "$report" ""
expect "$check" -q bad.img 1 "" ""
expect "$check" --quiet short.img 2 "" "mkentry-check: short.img: shorter than one 512-byte sector"
expect "$check" missing.img 2 "" "mkentry-check: missing.img: No such file or directory"
expect "$check" dir.img 2 "" "mkentry-check: dir.img: Is a directory"
expect "$check" fifo.img 2 "" "mkentry-check: fifo.img: not a disk image file or a block device"
# Root reads any file: read it as nobody.
if [ "$(id -u)" = 0 ]; then
    expect setpriv --reuid=nobody --regid=nogroup --clear-groups "$check" "$scratch/unreadable.img" 2 "" \
        "mkentry-check: $scratch/unreadable.img: Permission denied"
else
    expect "$check" unreadable.img 2 "" "mkentry-check: unreadable.img: Permission denied"
fi
expect "$check" -h 0 "$usage" ""
expect "$check" 2 "" "$usage"
expect "$check" bad.img short.img 2 "" "$usage"
expect "$check" -x bad.img 2 "" "$check: invalid option -- 'x'"
# A report that cannot be written is trouble, not a verdict.
# shellcheck disable=SC2016 # $0 is for the inner shell to expand
expect sh -c '"$0" bad.img >/dev/full' "$check" 2 "" "mkentry-check: standard output: No space left on device"

# A block device: its size comes from the kernel. Loop devices need root.
device=$(losetup --read-only --find --show bad.img 2>/dev/null) || {
    [ $failed = 0 ] && { echo "skipped: no loop device to be had (needs root)"; exit 77; }
    exit 1
}
"$check" bad.img >file.txt
"$check" "$device" >device.txt
status=$?
losetup -d "$device"
if [ $status = 1 ] && [ -s file.txt ] && cmp -s file.txt device.txt; then echo "ok: $device reports as the image behind it"; else
    echo "FAIL: $device and the image behind it differ:"; diff file.txt device.txt
    failed=1
fi
exit $failed
