#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# mkentry-check --soc on cards as the tools write them: FAT file systems
# by mkfs.fat, their files by mtools, tables by sfdisk and sgdisk. Each
# case checks the status and a line of the report, word for word.
# usage: soc_cli_test.sh COMMAND...
# COMMAND runs mkentry-check: its path, after an emulator in cross builds.
set -uo pipefail
check=("${@:1:$#-1}" "$(realpath "${*: -1}")")
for tool in mkfs.fat mcopy sfdisk sgdisk; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed"
        exit 77
    fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failed=0

expect() { # command words, then the status and a line standard output must hold
    local -a words=("${@:1:$#-2}")
    local want_status=${*: -2:1} want_out=${*: -1}
    local status=0
    "${words[@]}" >out.txt 2>err.txt || status=$?
    if [ "$status" = "$want_status" ] && grep -Fxq -- "$want_out" out.txt err.txt; then
        echo "ok: ${words[*]@Q}"
    else
        printf 'FAIL: %s\n  want: %s | %s\n  got:  %s\n%s\n' "${words[*]@Q}" \
            "$want_status" "$want_out" "$status" "$(cat out.txt err.txt)"
        failed=1
    fi
}

# A FAT of 64 MiB holding the given files: FAT32, or FAT16 with -F 16.
fat() { # image, mkfs.fat options, files...
    local image=$1 options=$2
    shift 2
    rm -f "$image"
    truncate -s 64M "$image"
    # shellcheck disable=SC2086 # the options are words
    mkfs.fat $options "$image" >/dev/null
    : >file
    for name in "$@"; do mcopy -i "$image" file "::$name"; done
}
# A 128 MiB card of an sfdisk script, its first partition's FAT at 1 MiB.
card() { # image, fat image, sfdisk script
    rm -f "$1"
    truncate -s 128M "$1"
    printf '%b' "$3" | sfdisk -q "$1" || exit 1
    dd if="$2" of="$1" bs=1M seek=1 conv=notrunc status=none
}

fat pi.fat "-F 32 -s 1" bootcode.bin start.elf start4.elf MLO
fat nostart.fat "-F 32 -s 1" bootcode.bin
fat mlo16.fat "-F 16" MLO
mbr='label: dos\nlabel-id: 0x5eed0001\n'
card pi.img pi.fat "${mbr}start=2048, size=131072, type=c, bootable\nstart=133120, type=83\n"
card ef.img pi.fat "${mbr}start=2048, size=131072, type=ef\n"
card nostart.img nostart.fat "${mbr}start=2048, size=131072, type=c\n"
card two.img pi.fat "${mbr}start=2048, size=131072, type=c, bootable\nstart=133120, type=6, bootable\n"
card none.img pi.fat "${mbr}start=2048, size=131072, type=c\n"
card gpt.img pi.fat 'label: gpt\nstart=2048, size=131072, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B\n'
# The array moved to sector 2048, past an i.MX 6 loader at 1 KiB.
truncate -s 128M moved.img
sgdisk -j 2048 -n 1:4096:+32M moved.img >/dev/null || exit 1
cp mlo16.fat floppy.img

rpi_rom="the Raspberry Pi 0-3 ROM"
expect "${check[@]}" --soc rpi pi.img 0 \
    "rom: $rpi_rom loads bootcode.bin from slot 1 (found), start.elf from slot 1 (found)"
expect "${check[@]}" --soc rpi ef.img 1 \
    "error: slot 1 is of type ef: $rpi_rom loads its files only from a first slot of type 0b or 0c."
expect "${check[@]}" --soc rpi gpt.img 1 \
    "error: the MBR is protective only: $rpi_rom reads only the MBR, and finds no FAT partition in it."
expect "${check[@]}" --soc rpi nostart.img 1 \
    "error: slot 1 holds no file start.elf in the root directory of its FAT file system: $rpi_rom loads it from there."
expect "${check[@]}" --soc=rpi4 gpt.img 0 \
    "rom: the Raspberry Pi 4 boot loader loads start4.elf from partition 1 (found)"
expect "${check[@]}" --soc am335x pi.img 0 "rom: the AM335x ROM loads MLO from slot 1 (found)"
expect "${check[@]}" --soc am335x two.img 1 \
    "error: slot 2 is an active FAT partition as slot 1 is: the AM335x ROM boots from no FAT partition when more than one is active."
expect "${check[@]}" --soc am335x none.img 1 \
    "error: no slot is an active FAT12, FAT16 or FAT32 partition, and no MLO lies in the raw sectors: the AM335x ROM loads MLO from the root directory of the one active FAT partition of the MBR."
expect "${check[@]}" --soc am335x floppy.img 0 \
    "rom: the AM335x ROM loads MLO from the superfloppy (found)"
expect "${check[@]}" --soc am335x floppy.img 0 \
    "superfloppy: a FAT16 file system at sector 0, of 32695 clusters, and no partition table"
expect "${check[@]}" --soc amlogic gpt.img 1 \
    "error: the primary GPT header lies in sector 1, where the Amlogic ROM reads its loader: a card for it takes an MBR, whose entries the loader leaves alone."
# These cards hold no loader of the ROM's own.
expect "${check[@]}" --soc amlogic pi.img 1 \
    "error: no first-stage loader lies where the Amlogic ROM looks for one (sector 1): the board does not start."
expect "${check[@]}" --soc imx6 gpt.img 1 \
    "error: the primary GPT entry array (sectors 2-33) lies over byte 1024, where the i.MX 5/6/7 ROM reads the loader's IVT: the array must move past the loader, as sgdisk -j or genimage's gpt-location moves it."
expect "${check[@]}" --soc imx6 moved.img 1 \
    "error: no first-stage loader lies where the i.MX 5/6/7 ROM looks for one (byte 1024): the board does not start."
expect "${check[@]}" --soc rockchip pi.img 1 "rom: the Rockchip ROM loads its loader from raw sectors"
# Without --soc no ROM is named, and the superfloppy's boot sector is no table.
expect "${check[@]}" --strict floppy.img 0 \
    "superfloppy: a FAT16 file system at sector 0, of 32695 clusters, and no partition table"
expect "${check[@]}" --soc --json pi.img 2 \
    "mkentry-check: --soc: '--json' is not allwinner, rockchip, imx6, imx8m, am335x, rpi, rpi4 or amlogic"
expect "${check[@]}" --soc RPI pi.img 2 \
    "mkentry-check: --soc: 'RPI' is not allwinner, rockchip, imx6, imx8m, am335x, rpi, rpi4 or amlogic"
# The picture's ROM row: the files over the partition they are loaded
# from, a ? after one that is not there; without --soc, no such row.
expect "${check[@]}" --soc rpi -q --svg - pi.img 0 \
    '<text x="362" y="15">loads bootcode.bin, start.elf</text>'
expect "${check[@]}" --soc rpi -q --svg - nostart.img 1 \
    '<text x="362" y="15">loads bootcode.bin, start.elf?</text>'
if "${check[@]}" -q --svg - pi.img | grep -Fq '>ROM</text>'; then
    echo "FAIL: a ROM row without --soc"
    failed=1
else
    echo "ok: no ROM row without --soc"
fi
"${check[@]}" --soc rpi --json pi.img >pi.json
if grep -Fxq '      "rom": {"soc": "rpi", "loads": [{"file": "bootcode.bin", "table": "mbr", "partition": 1, "found": true}, {"file": "start.elf", "table": "mbr", "partition": 1, "found": true}]}' pi.json &&
    python3 -c 'import json,sys; json.load(open(sys.argv[1]))' pi.json; then
    echo "ok: the JSON's rom reader"
else
    echo "FAIL: the JSON's rom reader"
    cat pi.json
    failed=1
fi
exit $failed
