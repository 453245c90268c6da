#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# Builds disk images with mkentry and reads them back with the tools users
# have: sfdisk --json, partx, fdisk -l, parted and file. Every partition's
# start, size, type and boot flag must be what was asked for. Then the
# other way round: tables that sfdisk, fdisk, parted and genimage write
# for board layouts must pass mkentry-check without a finding, and its
# JSON table must be sfdisk's.
# The same for GPT disks that sgdisk, sfdisk, parted, genimage and
# systemd-repart write, which must pass without an error, and for the
# hybrid example.
# usage: interop_test.sh MKENTRY MKENTRY_CHECK EXAMPLE_SCRIPT (make-ab-image.sh and
# make-hybrid-image.sh beside it too)
set -euo pipefail
export MKENTRY=$1 MKENTRY_CHECK=$2
example=$3

missing=""
for tool in sfdisk partx fdisk parted file genimage python3 sgdisk systemd-repart; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "not installed:$missing"
    exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

# Each reader's view as lines "start size type boot", type in hex as sfdisk
# prints it (c, 83), boot 1 or 0.
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_sfdisk() {
    sfdisk --json "$1" | awk -F': *' '
        /"start"/ { start = $2 + 0 }
        /"size"/ { size = $2 + 0 }
        /"type"/ { type = $2; gsub(/[",]/, "", type) }
        /"bootable": true/ { boot = 1 }
        /}/ && start != "" { print start, size, type, boot + 0; start = ""; boot = 0 }'
}
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_partx() {
    partx -g -o START,SECTORS,TYPE,FLAGS "$1" |
        awk '{ sub(/^0x/, "", $3); print $1, $2, $3, ($4 == "0x80") }'
}
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_fdisk() {
    fdisk -l -o Start,Sectors,Id,Boot "$1" |
        awk 'listing && NF >= 3 { print $1, $2, $3, ($4 == "*") } /Start +Sectors/ { listing = 1 }'
}
# parted names no type codes; it shows the ones it knows as flags.
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_parted() {
    parted -s -m "$1" unit s print | awk -F: 'NR > 2 {
        start = $2; size = $4; sub(/s$/, "", start); sub(/s$/, "", size)
        print start, size, ($7 ~ /boot/), ($7 ~ /lba/) ? "lba" : ($7 ~ /swap/) ? "swap" : ($7 ~ /esp/) ? "esp" : "-" }'
}
parted_view() { # the same expectation in parted's terms
    awk '{ flag = $3 == "c" || $3 == "f" ? "lba" : $3 == "82" ? "swap" : $3 == "ef" ? "esp" : "-"; print $1, $2, $4, flag }'
}
# shellcheck disable=SC2317 # called as read_$reader, which shellcheck cannot follow
read_file() { # file(1) on one line: "partition N : ID=0x.., active, ... startsector S, Z sectors"
    file -b "$1" | tr ';' '\n' | sed -n 's/.*ID=0x\([0-9a-f]*\),\( active,\)\{0,1\}.* startsector \([0-9]*\), \([0-9]*\) sectors.*/\3 \4 \1 \2/p' |
        awk '{ print $1, $2, $3, ($4 == "active,") }'
}

check() { # name, image, expected lines[, readers]
    local name=$1 image=$2 expected=$3
    for reader in ${4:-sfdisk partx fdisk parted file}; do
        local want=$expected
        [ "$reader" = parted ] && want=$(parted_view <<<"$expected")
        local got
        got=$("read_$reader" "$image" 2>&1) || true
        if [ "$got" = "$want" ]; then
            echo "ok: $name read by $reader"
        else
            printf 'FAIL: %s read by %s\n--- expected\n%s\n--- got\n%s\n' "$name" "$reader" "$want" "$got"
            failed=1
        fi
    done
}

# The example script's image: boot FAT32, swap, root.
"$example" "$scratch/example.img"
check "example image" "$scratch/example.img" "2048 32768 c 1
34816 16384 82 0
51200 79872 83 0"

# The A/B example: three slots and an extended one, with two logical
# partitions in its chain; file(1) reads the four slots only.
"$(dirname "$example")/make-ab-image.sh" "$scratch/ab.img"
check "A/B example image" "$scratch/ab.img" "2048 32768 c 1
34816 65536 83 0
100352 65536 83 0
165888 96256 f 0
167936 65536 83 0
235520 26624 83 0" "sfdisk partx fdisk parted"

# A full table of four, each written with mkentry; the fourth carries the
# boot signature, which lands at 494 + 16 = 510.
image=$scratch/four.img
dd if=/dev/zero of="$image" bs=1M count=0 seek=128 status=none
write() { "$MKENTRY" "${@:2}" | dd of="$image" bs=1 seek="$1" conv=notrunc status=none; }
write 446 -c -t 0xef -b 2048 -s 0x10000
write 462 -t 7 -b 67584 -s 32768
write 478 --type=0x83 --begin=100352 --size=131072
write 494 -t 0x82 -b 231424 -s 030000 -m
check "four partitions" "$image" "2048 65536 ef 1
67584 32768 7 0
100352 131072 83 0
231424 12288 82 0"

# Tables written by the field's own tools, for a 64 MiB card with a boot
# loader's raw sectors at 8 KiB (sectors 16-2047), with four slots at most
# and with logical partitions in an extended one.
# A GPT may pass with warnings (an array moved for a loader, say); an MBR
# without any.
clean() { # name, image, then mkentry-check's options
    local name=$1 image=$2 findings='^(error|warning): '
    [ "$(sfdisk --json "$image" | grep -c '"label": "gpt"')" = 1 ] && findings='^error: '
    local status=0
    "$MKENTRY_CHECK" "${@:3}" "$image" >"$image.txt" || status=$?
    if [ $status = 0 ] && ! grep -Eq "$findings" "$image.txt"; then
        echo "ok: $name passes without a finding that matters"
    else
        printf 'FAIL: %s: status %s\n' "$name" "$status"
        cat "$image.txt"
        failed=1
    fi
    "$MKENTRY_CHECK" --json "${@:3}" "$image" >"$image.json" || true
    sfdisk --json "$image" >"$image.sfdisk.json"
    # sfdisk names no PARTUUID; every other key and value must be its own.
    if python3 -c 'import json, sys
ours, theirs = (json.load(open(path))["partitiontable"] for path in sys.argv[1:])
for partition in ours["partitions"]:
    del partition["partuuid"]
sys.exit(any(ours[key] != theirs.get(key) for key in ours))' "$image.json" "$image.sfdisk.json"; then
        echo "ok: $name: the JSON table is sfdisk's, in the keys it shares"
    else
        printf 'FAIL: %s: the JSON table differs from sfdisk --json\n' "$name"
        diff "$image.json" "$image.sfdisk.json"
        failed=1
    fi
}
card() { rm -f "$1" && truncate -s 64M "$1"; }
three_logical() { # name, image: sfdisk too reads partitions 5, 6 and 7 from it
    if [ "$(sfdisk --json "$2" | grep -Ec '"node": ".*[567]"')" = 3 ]; then
        echo "ok: $1: sfdisk reads partitions 5 to 7"
    else
        echo "FAIL: $1: sfdisk does not read partitions 5 to 7"
        failed=1
    fi
}

card "$scratch/sfdisk.img"
sfdisk -q "$scratch/sfdisk.img" <<'END'
label: dos
start=2048, size=32768, type=c, bootable
start=34816, type=83
END
clean sfdisk "$scratch/sfdisk.img" --reserve 16-2047

# Boot, root, and an extended partition with three logical partitions.
card "$scratch/sfdisk-chain.img"
sfdisk -q "$scratch/sfdisk-chain.img" <<'END'
label: dos
start=2048, size=32768, type=c, bootable
start=34816, size=16384, type=83
start=51200, type=f
start=53248, size=16384, type=83
start=71680, size=8192, type=82
start=81920, type=83
END
clean "sfdisk, three logical partitions" "$scratch/sfdisk-chain.img" --reserve 16-2047
three_logical sfdisk "$scratch/sfdisk-chain.img"

card "$scratch/fdisk.img"
fdisk "$scratch/fdisk.img" >/dev/null <<'END'
o
n
p
1
2048
+16M
t
c
a
n
p
2
34816

w
END
clean fdisk "$scratch/fdisk.img" --reserve 16-2047

# fdisk's answers, one a line: the empty ones take the first sector it
# offers, and for the last partition the rest of the disk.
card "$scratch/fdisk-chain.img"
printf '%s\n' o n p 1 2048 +16M t c a n e 2 34816 '' n '' +16M n '' +8M n '' '' w |
    fdisk "$scratch/fdisk-chain.img" >/dev/null
clean "fdisk, three logical partitions" "$scratch/fdisk-chain.img" --reserve 16-2047
three_logical fdisk "$scratch/fdisk-chain.img"

card "$scratch/parted.img"
parted -s "$scratch/parted.img" mklabel msdos \
    mkpart primary fat32 1MiB 17MiB set 1 boot on set 1 lba on \
    mkpart primary ext4 17MiB 100% 2>/dev/null # parted misses udevadm in containers
clean parted "$scratch/parted.img" --reserve 16-2047

card "$scratch/parted-chain.img"
parted -s "$scratch/parted-chain.img" mklabel msdos \
    mkpart primary fat32 1MiB 17MiB set 1 boot on set 1 lba on \
    mkpart extended 17MiB 100% mkpart logical ext4 18MiB 34MiB \
    mkpart logical linux-swap 35MiB 43MiB mkpart logical ext4 44MiB 100% 2>/dev/null
clean "parted, three logical partitions" "$scratch/parted-chain.img" --reserve 16-2047
three_logical parted "$scratch/parted-chain.img"

# genimage ends the file after the last partition's data: check it for the
# card it will be written to.
mkdir -p "$scratch/genimage/in" "$scratch/genimage/root"
# A loader of whole sectors: the image ends where its data ends, and one
# that ends inside a sector is rightly warned about.
head -c 20480 /dev/zero >"$scratch/genimage/in/loader.bin"
# The card: the loader, a 16 MiB boot partition at 1 MiB, then what is
# given, with the hdimage lines given.
genimage_card() { # image, hdimage lines, partitions after boot
    local config=$scratch/genimage/$1.cfg
    cat >"$config" <<END
image $1 {
    hdimage {
        partition-table-type = "mbr"
        disk-signature = 0x5eed0001
$2
    }
    partition loader {
        in-partition-table = false
        image = "loader.bin"
        offset = 8K
    }
    partition boot {
        partition-type = 0x0c
        bootable = true
        offset = 1M
        size = 16M
    }
$3
}
END
    (cd "$scratch/genimage" && rm -rf tmp && genimage --config "$config" --inputpath in \
        --outputpath out --tmppath tmp --rootpath root >genimage.log 2>&1) ||
        { cat "$scratch/genimage/genimage.log"; exit 1; }
}
genimage_card board.img "" 'partition root { partition-type = 0x83
size = 47M }'
clean genimage "$scratch/genimage/out/board.img" --reserve 16-2047 --disk-size 64M
# The same card with its partitions past the first in an extended one.
genimage_card chain.img 'extended-partition = 2
align = 1M' 'partition rootfs { partition-type = 0x83
size = 16M }
partition swap { partition-type = 0x82
size = 8M }
partition data { partition-type = 0x83
size = 16M }'
clean "genimage, three logical partitions" "$scratch/genimage/out/chain.img" --reserve 16-2047 --disk-size 64M
three_logical genimage "$scratch/genimage/out/chain.img"

# GPT disks for the same card: a boot partition (EFI system, and legacy
# BIOS bootable for U-Boot's boot scan), root and data.
card "$scratch/sgdisk.img"
sgdisk -n1:2048:+16M -t1:ef00 -c1:boot -A1:set:2 -n2:0:+16M -t2:8300 -c2:root \
    -n3:0:0 -t3:8300 -c3:data "$scratch/sgdisk.img" >/dev/null
clean "sgdisk, GPT" "$scratch/sgdisk.img"

card "$scratch/sfdisk-gpt.img"
sfdisk -q "$scratch/sfdisk-gpt.img" <<'END'
label: gpt
start=2048, size=32768, type=U, name=boot, attrs=LegacyBIOSBootable
start=34816, size=32768, type=L, name=root
start=67584, type=L, name=data
END
clean "sfdisk, GPT" "$scratch/sfdisk-gpt.img"

card "$scratch/parted-gpt.img"
parted -s "$scratch/parted-gpt.img" mklabel gpt mkpart boot fat32 1MiB 17MiB set 1 esp on \
    mkpart root ext4 17MiB 33MiB mkpart data ext4 33MiB 100% 2>/dev/null
clean "parted, GPT" "$scratch/parted-gpt.img"

mkdir -p "$scratch/repart"
printf '[Partition]\nType=esp\nLabel=boot\nSizeMinBytes=16M\nSizeMaxBytes=16M\n' >"$scratch/repart/00-boot.conf"
printf '[Partition]\nType=root\nLabel=root\n' >"$scratch/repart/10-root.conf"
systemd-repart --empty=create --size=64M --dry-run=no --definitions="$scratch/repart" \
    "$scratch/repart.img" >/dev/null 2>&1
clean "systemd-repart, GPT" "$scratch/repart.img"

# genimage: the array where it belongs, and with gpt-location moved past a
# loader at 8 KiB that would overlap it, as for an Allwinner board.
genimage_gpt() { # image, hdimage lines, loader offset
    cat >"$scratch/genimage/$1.cfg" <<END
image $1 {
    hdimage {
        partition-table-type = "gpt"
        disk-uuid = "5eed0030-0000-4000-8000-000000000001"
$2
    }
    partition loader {
        in-partition-table = false
        image = "loader.bin"
        offset = $3
    }
    partition boot {
        partition-type-uuid = "U"
        bootable = true
        offset = 2M
        size = 16M
    }
    partition root {
        partition-type-uuid = "L"
        size = 16M
    }
}
END
    (cd "$scratch/genimage" && rm -rf tmp && genimage --config "$1.cfg" --inputpath in \
        --outputpath out --tmppath tmp --rootpath root >genimage.log 2>&1) ||
        { cat "$scratch/genimage/genimage.log"; exit 1; }
}
genimage_gpt gpt.img "" 1M
clean "genimage, GPT" "$scratch/genimage/out/gpt.img" --reserve 2048-2087
genimage_gpt gpt-moved.img "gpt-location = 1M" 8K
clean "genimage, GPT moved by gpt-location" "$scratch/genimage/out/gpt-moved.img" --reserve 16-55

# The hybrid example: the MBR's boot partition is the GPT's.
"$(dirname "$example")/make-hybrid-image.sh" "$scratch/hybrid.img"
clean "hybrid example image" "$scratch/hybrid.img"
if "$MKENTRY_CHECK" --json "$scratch/hybrid.img" | python3 -c 'import json, sys
report = json.load(sys.stdin)
boot = report["partitiontable"]["partitions"][0]
sys.exit(not any(slot["start"] == boot["start"] and slot["size"] == boot["size"] and
                 slot.get("bootable") for slot in report["hybrid"]))'; then
    echo "ok: the hybrid example's MBR boots the GPT's boot partition"
else
    echo "FAIL: the hybrid example's MBR does not hold the GPT's boot partition"
    failed=1
fi

exit $failed
