#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Boots the Allwinner example image on qemu's Orange Pi PC, whose emulated
# boot ROM runs what lies at 8 KiB of the SD card: Debian's SPL and U-Boot
# must come up from there and boot the kernel through extlinux, and the
# kernel must read the GPT's partitions where they were written, with the
# loader right behind the 56-entry array. mkentry-check must find the
# loader's two parts where they are and pass the image.
#
# Then the same board with the standard 128-entry array, over which the
# loader is written: mkentry-check must fail it for the loader, U-Boot
# still boots (it reads the backup GPT when the primary array's CRC is
# wrong) and the kernel shows no partition at all.
#
# usage: orangepi_boot_test.sh EXAMPLE_SCRIPT CACHE_DIR MKENTRY MKENTRY_CHECK
set -euo pipefail
example=$1 cache=$2 mkentry=$3 mkentry_check=$4

skip() { echo "skipped: $*"; exit 77; }
for tool in qemu-system-arm sfdisk mkfs.fat mcopy cpio apt-get python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

build() { # image, entries in its GPT array, the example's status
    local status=0
    MKENTRY=$mkentry MKENTRY_CHECK=$mkentry_check BOARD_CACHE=$cache ALLWINNER_ENTRIES=$2 \
        timeout 600 "$example" "$1" 2>"$scratch/err" || status=$?
    if [ $status = 2 ] && grep -q '^cannot fetch' "$scratch/err"; then
        skip "$(grep '^cannot fetch' "$scratch/err")"
    fi
    [ $status = "$3" ] || {
        cat "$scratch/err"
        echo "FAIL: building the image with $2 entries ended with status $status, not $3"
        exit 1
    }
}
# qemu emulates no power-off for the H3, so the board runs until its init
# has said its last line; the timeout only bounds a board that hangs.
boot() { # image, console file
    local start=$SECONDS pid
    timeout 180 qemu-system-arm -M orangepi-pc -nographic -nic none \
        -drive "if=sd,format=raw,file=$1" </dev/null >"$2" 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null && ! grep -q '^== end' "$2"; do
        sleep 1
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" || true
    echo "board ran for $((SECONDS - start)) s"
}

failed=0
expect() { # description, expected lines, actual lines
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        printf 'FAIL: %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
        failed=1
    fi
}
# The emulated ROM ran the SPL, which loaded U-Boot from the card, which
# found extlinux.conf on the first partition and started the kernel.
boot_path() { grep -E '^(U-Boot SPL |Trying to boot from|Scanning mmc|Found /extlinux|Starting kernel)' <<<"$1" | sed 's/^U-Boot SPL .*/U-Boot SPL/'; }
booted="U-Boot SPL
Trying to boot from MMC1
Scanning mmc 0:1...
Found /extlinux/extlinux.conf
Starting kernel ..."
# The loaders mkentry-check reports, one line each, and the rules of its
# findings. Without a "loaders" key it knows no loaders at all.
loaders() { # image
    local status=0
    "$mkentry_check" --json "$1" >"$scratch/report.json" || status=$?
    echo "status $status"
    python3 - "$scratch/report.json" <<'EOF'
import json, sys
report = json.load(open(sys.argv[1]))
if "loaders" not in report:
    print("mkentry-check finds no loaders")
for loader in report.get("loaders", []):
    print("loader", loader["family"], loader["kind"], loader["first"], loader["last"],
          loader["offset"], "valid" if loader["valid"] is True else "invalid")
for finding in report["findings"]:
    if finding["rule"].startswith("loader_"):
        print("finding", finding["severity"], finding["rule"])
EOF
}

build "$scratch/board.img" 56 0
# Debian's orangepi_plus file: the SPL's eGON header says 24576 bytes (48
# sectors from 16); its uImage at byte 32768 of the file (sector 80) holds
# 504060 bytes behind its 64-byte header, which end in sector 1064.
expect "mkentry-check passes the 56-entry image and finds both parts of the loader" \
    "status 0
loader allwinner egon 16 63 8192 valid
loader allwinner uimage 80 1064 40960 valid" "$(loaders "$scratch/board.img")"
boot "$scratch/board.img" "$scratch/console"
console=$(tr -d '\r' <"$scratch/console")
expect "the emulated ROM runs Debian's SPL, U-Boot and the kernel from the card" \
    "$booted" "$(boot_path "$console")"
expect "the kernel reads both partitions behind the 56-entry array where they were written" \
    "== disk mmcblk0 size 131072
== partition mmcblk0p1 start 2048 size 32768
== partition mmcblk0p2 start 34816 size 94208
== end" "$(grep '^== ' <<<"$console")"

# The standard array, sectors 2-33, with the loader from sector 16 over it:
# the example's own check fails it.
build "$scratch/broken.img" 128 1
report=$(loaders "$scratch/broken.img")
expect "mkentry-check fails the 128-entry image with the loader over its array" \
    "status 1" "$(head -n 1 <<<"$report")"
expect "mkentry-check finds the loader over the 128-entry array" \
    "loader allwinner egon 16 63 8192 valid
loader allwinner uimage 80 1064 40960 valid" "$(grep '^loader \|^mkentry-check finds' <<<"$report")"
if grep -Eq '^finding error (loader_over_gpt_array|loader_under_table)$' <<<"$report"; then
    echo "ok: mkentry-check says that the loader lies over the GPT's array"
else
    printf 'FAIL: no error loader_over_gpt_array or loader_under_table\n%s\n' "$report"
    failed=1
fi
boot "$scratch/broken.img" "$scratch/broken-console"
console=$(tr -d '\r' <"$scratch/broken-console")
expect "U-Boot still boots from the backup GPT" "$booted" "$(boot_path "$console")"
expect "the kernel reads no partition from the broken primary array" \
    "== disk mmcblk0 size 131072
== end" "$(grep '^== ' <<<"$console")"

[ $failed = 0 ] || { echo "--- console"; cat "$scratch/console" "$scratch/broken-console"; }
exit $failed
