#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# mkentry-check as a user runs it: status and streams for each option and
# for each kind of input it cannot read ("files"), and on block devices,
# which need root for loop devices ("devices").
# usage: check_cli_test.sh files|devices COMMAND...
# COMMAND runs mkentry-check: its path, after an emulator in cross builds.
set -uo pipefail
mode=$1
shift
check=("${@:1:$#-1}" "$(realpath "${*: -1}")")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Others may enter, so that a file of its own is what refuses nobody.
chmod 755 "$scratch"
cd "$scratch" || exit 1
failed=0

put() { # image, offset, bytes as printf octal escapes
    # shellcheck disable=SC2059 # the bytes are the format
    printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
entry() { # flag, type, first sector, size: printf octal escapes of the 16 bytes
    printf '\\%03o\\377\\377\\377\\%03o\\377\\377\\377' "$1" "$2"
    local value shift
    for value in "$3" "$4"; do
        for shift in 0 8 16 24; do printf '\\%03o' $(((value >> shift) & 255)); done
    done
}
# Slot 1 runs one sector past the end of the 1 MiB disk: sectors 2048-2048.
truncate -s 1M bad.img
put bad.img 446 '\0\377\377\377\203\377\377\377\0\10\0\0\1\0\0\0'
put bad.img 510 '\125\252'

expect() { # command words, then the status, a line standard output must
    # hold (none: it must be empty) and standard error's first line
    local -a words=("${@:1:$#-3}")
    local want_status=${*: -3:1} want_out=${*: -2:1} want_err=${*: -1}
    local status=0
    "${words[@]}" >out.txt 2>err.txt || status=$?
    local err
    err=$(head -n 1 err.txt)
    if [ "$status" = "$want_status" ] && [ "$err" = "$want_err" ] &&
        if [ -z "$want_out" ]; then [ ! -s out.txt ]; else grep -Fxq -- "$want_out" out.txt; fi; then
        echo "ok: ${words[*]@Q}"
    else
        printf 'FAIL: %s\n  want: %s | %s | %s\n  got:  %s | %s | %s\n' "${words[*]@Q}" \
            "$want_status" "$want_out" "$want_err" "$status" "$(head -n 1 out.txt)" "$err"
        failed=1
    fi
}
usage="Usage: mkentry-check [OPTION]... IMAGE"
past_end="error: slot 1 ends at sector 2048, past the end of the disk (sectors 0-2047): Linux cuts it at the disk's end, or drops it if it starts past it; EDK2 rejects the whole MBR and makes no partition at all; U-Boot and GRUB make it as written and fail to read its end."
not_disk="not a disk image (shorter than one 512-byte sector)"

files() {
    head -c 100 /dev/zero >short.img
    head -c 511 /dev/zero >511.img
    mkdir dir.img
    touch unreadable.img
    chmod 000 unreadable.img
    mkfifo fifo.img
    # 100 bytes past the last whole sector: still 2048 sectors.
    cp bad.img plus100.img
    truncate -s +100 plus100.img

    expect "${check[@]}" bad.img 1 "$past_end" ""
    expect "${check[@]}" -q bad.img 1 "" ""
    expect "${check[@]}" plus100.img 1 "disk: 2048 sectors of 512 bytes" ""
    expect "${check[@]}" plus100.img 1 "warning: the image is 1048676 bytes, not a whole number of 512-byte sectors: its last 100 bytes are not part of the disk, and Raspberry Pi Imager refuses such a file." ""
    expect "${check[@]}" --quiet short.img 2 "" "mkentry-check: short.img: $not_disk"
    expect "${check[@]}" 511.img 2 "" "mkentry-check: 511.img: $not_disk"
    # stat says 0 bytes, yet it reads.
    expect "${check[@]}" /proc/version 2 "" "mkentry-check: /proc/version: $not_disk"
    # Its first sector does not read (nothing is mapped at address 0), so
    # its size of 0 is never looked at.
    expect "${check[@]}" /proc/self/mem 2 "" "mkentry-check: /proc/self/mem: Input/output error"
    expect "${check[@]}" missing.img 2 "" "mkentry-check: missing.img: No such file or directory"
    expect "${check[@]}" dir.img 2 "" "mkentry-check: dir.img: Is a directory"
    expect "${check[@]}" fifo.img 2 "" "mkentry-check: fifo.img: not a disk image file or a block device"
    # Root reads any file: read it as nobody.
    if [ "$(id -u)" = 0 ]; then
        expect setpriv --reuid=nobody --regid=nogroup --clear-groups "${check[@]}" "$scratch/unreadable.img" 2 "" \
            "mkentry-check: $scratch/unreadable.img: Permission denied"
    else
        expect "${check[@]}" unreadable.img 2 "" "mkentry-check: unreadable.img: Permission denied"
    fi
    # A name's control bytes are escaped: one line, no escape sequence.
    expect "${check[@]}" $'new\nline\e[31m.img' 2 "" 'mkentry-check: new\nline\033[31m.img: No such file or directory'
    # C1 control codes too, raw and in UTF-8 (0x9b is an escape sequence's
    # start on some terminals); other UTF-8 passes.
    expect "${check[@]}" $'\x9b[31m\xc2\x9b\xc3\xa9\xd1\x80.img' 2 "" \
        'mkentry-check: \233[31m\302\233éр.img: No such file or directory'
    # A name that would fill the buffer, escaped, is shortened; the reason stays.
    printf -v huge '\1%.0s' {1..100000}
    printf -v kept '\\001%.0s' {1..512}
    expect "${check[@]}" "$huge" 2 "" "mkentry-check: $kept...$kept: File name too long"
    expect "${check[@]}" -h 0 "$usage" ""
    # A usage error is one line, and a pointer to --help.
    expect "${check[@]}" 2 "" "mkentry-check: missing IMAGE"
    expect "${check[@]}" bad.img short.img 2 "" "mkentry-check: extra operand 'short.img'"
    expect "${check[@]}" -x bad.img 2 "" "${check[-1]}: invalid option -- 'x'"
    if [ "$(sed -n '2,$p' err.txt)" = "Try 'mkentry-check --help' for more information." ]; then
        echo "ok: a usage error points to --help"
    else
        echo "FAIL: a usage error says more than one line and the pointer to --help:"
        cat err.txt
        failed=1
    fi
    # Output that cannot be written is trouble, not a verdict.
    # shellcheck disable=SC2016 # $@ is for the inner shell to expand
    expect sh -c '"$@" bad.img >/dev/full' sh "${check[@]}" 2 "" "mkentry-check: standard output: No space left on device"
    # shellcheck disable=SC2016
    expect sh -c '"$@" -h >/dev/full' sh "${check[@]}" 2 "" "mkentry-check: standard output: No space left on device"

    # The picture: beside the report, alone with -q, instead of it with -;
    # the status is the report's; a file that cannot be written is trouble.
    svg_head='<?xml version="1.0" encoding="UTF-8"?>'
    expect "${check[@]}" --svg bad.svg bad.img 1 "$past_end" ""
    expect head -n 1 bad.svg 0 "$svg_head" ""
    expect "${check[@]}" -q --svg=quiet.svg bad.img 1 "" ""
    expect tail -n 1 quiet.svg 0 "</svg>" ""
    expect "${check[@]}" --svg - bad.img 1 "$svg_head" ""
    if grep -q '^error:' out.txt; then
        echo "FAIL: --svg - wrote the report beside the picture"
        failed=1
    fi
    expect "${check[@]}" --svg - --disk-size 2M bad.img 0 "</svg>" ""
    expect "${check[@]}" --svg dir.img bad.img 2 "" "mkentry-check: dir.img: Is a directory"
    expect "${check[@]}" --svg bad.img bad.img 2 "" "mkentry-check: --svg: 'bad.img' is IMAGE itself"
    # shellcheck disable=SC2016 # $@ is for the inner shell to expand
    expect sh -c '"$@" -q --svg /dev/full bad.img' sh "${check[@]}" 2 "" "mkentry-check: /dev/full: No space left on device"
    # The same disk and name give the same bytes.
    "${check[@]}" -q --svg again.svg bad.img
    if cmp -s bad.svg again.svg; then
        echo "ok: the same picture twice"
    else
        echo "FAIL: two pictures of one disk differ"
        failed=1
    fi

    # The disk it will be written to, its sector size, reserved sectors.
    expect "${check[@]}" --disk-size 2M bad.img 0 "disk: 4096 sectors of 512 bytes, as given by --disk-size" ""
    expect "${check[@]}" --disk-size=1048576 bad.img 1 "$past_end" ""
    expect "${check[@]}" --disk-size 1048575 bad.img 1 "disk: 2047 sectors of 512 bytes, as given by --disk-size" ""
    expect "${check[@]}" --disk-size 511 bad.img 2 "" "mkentry-check: --disk-size: '511' is less than one sector"
    expect "${check[@]}" --disk-size 1X bad.img 2 "" \
        "mkentry-check: --disk-size: '1X' is not a size in bytes, or in K, M, G or T of them"
    expect "${check[@]}" --disk-size 16777216T bad.img 2 "" \
        "mkentry-check: --disk-size: '16777216T' is not a size in bytes, or in K, M, G or T of them"
    expect "${check[@]}" --sector-size 4096 bad.img 1 "disk: 256 sectors of 4096 bytes" ""
    expect "${check[@]}" --sector-size 2048 bad.img 1 "disk: 512 sectors of 2048 bytes" ""
    expect "${check[@]}" --sector-size 1000 bad.img 2 "" \
        "mkentry-check: --sector-size: '1000' is not 512, 1024, 2048 or 4096"
    expect "${check[@]}" --disk-size 2M --reserve 16-2047 --reserve 2048-2048 bad.img 1 \
        "error: slot 1 lies over reserved sectors 2048-2048: writing it destroys what they hold." ""
    expect "${check[@]}" --reserve 2048-18446744073709551615 bad.img 1 \
        "error: slot 1 lies over reserved sectors 2048-2048: writing it destroys what they hold." ""
    eight=()
    for range in 1-1 2-2 3-3 4-4 5-5 6-6 7-7 8-8; do eight+=(--reserve "$range"); done
    expect "${check[@]}" "${eight[@]}" bad.img 1 "$past_end" ""
    expect "${check[@]}" "${eight[@]}" --reserve 9-9 bad.img 2 "" \
        "mkentry-check: --reserve: '9-9' is one range too many: 8 at most"
    expect "${check[@]}" --reserve 10-5 bad.img 2 "" \
        "mkentry-check: --reserve: '10-5' is not FIRST-LAST, sectors with FIRST not above LAST"
    expect "${check[@]}" --reserve 10 bad.img 2 "" \
        "mkentry-check: --reserve: '10' is not FIRST-LAST, sectors with FIRST not above LAST"
    # A warning (identifier 0) fails only with --strict.
    expect "${check[@]}" --strict --disk-size 2M bad.img 1 \
        "warning: disk identifier is 00000000: libblkid then gives no partition a PARTUUID, so /dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the kernel's root=PARTUUID=00000000-01 still works); write one at byte 440." ""
    # A clean table passes --strict, its report the same.
    truncate -s 2M clean.img
    put clean.img 440 '\1\0\355\136'
    put clean.img 446 "$(entry 0 0x83 2048 2048)"
    put clean.img 510 '\125\252'
    cat >clean.want <<'EOF'
disk: 4096 sectors of 512 bytes
disk identifier: 5eed0001
part boot type      first    sectors       last partuuid
   1   00   83       2048       2048       4095 5eed0001-01
   2   00   00          0          0          -
   3   00   00          0          0          -
   4   00   00          0          0          -
EOF
    expect "${check[@]}" --strict clean.img 0 "   1   00   83       2048       2048       4095 5eed0001-01" ""
    if diff -u clean.want out.txt; then echo "ok: --strict clean.img, whole"; else failed=1; fi
    # A sector past what off_t reaches does not read: the backup GPT header
    # at the last sector of a disk of 2^64 - 1 bytes, where sector 1 holds
    # no primary.
    cp bad.img ee.img
    put ee.img 446 "$(entry 0 0xee 1 2047)"
    expect "${check[@]}" --disk-size 18446744073709551615 ee.img 2 "" \
        "mkentry-check: ee.img: cannot read the GPT header at sector 36028797018963966: Value too large for defined data type"
    # Past the end of an image cut inside a table sector, --disk-size reads
    # zeros: the first EBR loses its signature, and a GPT's array, its CRC
    # taken of zeros, reads whole.
    truncate -s $((2048 * 512 + 470)) cut_ebr.img
    put cut_ebr.img 440 '\1\0\355\136'
    put cut_ebr.img 446 "$(entry 0 0x0f 2048 6144)"
    put cut_ebr.img 510 '\125\252'
    put cut_ebr.img $((2048 * 512 + 446)) "$(entry 0 0x83 2048 4096)"
    expect "${check[@]}" --disk-size 4M cut_ebr.img 1 \
        "error: EBR at sector 2048 (in extended slot 1): no 55 aa signature at byte 510 (found 00 00): every reader ends the chain there." ""
    python3 - <<'EOF'
import struct, zlib
mbr = bytearray(512)
mbr[446:462] = bytes([0, 255, 255, 255, 0xee, 255, 255, 255]) + struct.pack("<II", 1, 4095)
mbr[510:512] = b"\x55\xaa"
# For a disk of 4096 sectors: its array at sectors 2-33, its backup at 4095.
header = bytearray(b"EFI PART" + struct.pack("<III4xQQQQ", 0x10000, 92, 0, 1, 4095, 34, 4062)
                   + bytes.fromhex("3000ed5e000000408000000000000001")
                   + struct.pack("<QIII", 2, 128, 128, zlib.crc32(bytes(16384))))
header[16:20] = struct.pack("<I", zlib.crc32(header))
with open("cut_gpt.img", "wb") as f:
    f.write(mbr + header + bytes(1000 - 512 - len(header)))
EOF
    expect "${check[@]}" --disk-size 2M cut_gpt.img 1 \
        "error: the backup GPT header at sector 4095: no EFI PART signature: EDK2 writes a new backup there, Linux warns." ""
    expect "${check[@]}" --json bad.img 1 '      "label": "dos",' ""
    expect "${check[@]}" --json -q bad.img 1 "" ""
    # Valid JSON for a name of any bytes.
    cp bad.img $'odd"\e\377name.img'
    "${check[@]}" --json $'odd"\e\377name.img' >odd.json
    if python3 -c 'import json, sys; json.load(open(sys.argv[1], encoding="utf-8"))' odd.json; then
        echo "ok: JSON for an odd name parses"
    else
        echo "FAIL: JSON for an odd name does not parse"
        failed=1
    fi

    # A chain past what Linux reads, under a long name: its JSON report is
    # larger than the buffer, and must still leave whole.
    python3 - <<'EOF'
with open("long.img", "wb") as f:
    f.truncate(2048 * 600 * 512)
    entry = lambda kind, first, size: bytes([0, 255, 255, 255, kind, 255, 255, 255]) + \
        first.to_bytes(4, "little") + size.to_bytes(4, "little")
    for sector, entries in [(0, [entry(0x0f, 2048, 2048 * 599)])] + [
            (2048 * (1 + i), [entry(0x83, 1024, 1024), entry(0x05, 2048 * (i + 1), 2048)])
            for i in range(598)]:
        f.seek(sector * 512 + 440)
        f.write(b"\1\0\355\136\0\0" + b"".join(entries))
        f.seek(sector * 512 + 510)
        f.write(b"\x55\xaa")
EOF
    long_dir=$(printf 'd%.0s' {1..250})/$(printf 'e%.0s' {1..250})/$(printf 'f%.0s' {1..250})
    mkdir -p "$long_dir"
    mv long.img "$long_dir/"
    expect "${check[@]}" "$long_dir/long.img" 1 \
        "error: EBR at sector 516096 (in extended slot 1): the chain goes on past partition 255 or 256 EBRs, more than Linux reads." ""
    "${check[@]}" --json "$long_dir/long.img" >long.json
    if python3 -c 'import json, sys
report = json.load(open(sys.argv[1]))
sys.exit(len(report["partitiontable"]["partitions"]) != 252 or len(report["findings"]) != 252)' long.json; then
        echo "ok: a JSON report of $(wc -c <long.json) bytes, whole"
    else
        echo "FAIL: the long JSON report is not whole"
        failed=1
    fi

    # Sparse images larger than 32 bits of bytes and of 512-byte sectors,
    # as the boards' 32-bit build must read them too.
    truncate -s 5G 5g.img
    put 5g.img 440 '\1\0\355\136'
    put 5g.img 446 '\0\377\377\377\203\377\377\377\0\10\0\0\0\370\237\0'
    put 5g.img 510 '\125\252'
    cat >5g.want <<'EOF'
disk: 10485760 sectors of 512 bytes
disk identifier: 5eed0001
part boot type      first    sectors       last partuuid
   1   00   83       2048   10483712   10485759 5eed0001-01
   2   00   00          0          0          -
   3   00   00          0          0          -
   4   00   00          0          0          -
EOF
    truncate -s 3T 3t.img
    put 3t.img 440 '\1\0\355\136'
    put 3t.img 446 '\0\377\377\377\203\377\377\377\0\10\0\0\0\370\377\377'
    put 3t.img 462 '\0\377\377\377\203\377\377\377\0\0\0\0\0\0\0\1'
    put 3t.img 510 '\125\252'
    cat >3t.want <<'EOF'
disk: 6442450944 sectors of 512 bytes
disk identifier: 5eed0001
part boot type      first    sectors       last partuuid
   1   00   83       2048 4294965248 4294967295 5eed0001-01
   2   00   83          0   16777216   16777215 5eed0001-02
   3   00   00          0          0          -
   4   00   00          0          0          -
reader: EDK2 makes none
error: slot 2 starts at sector 0, over the partition table itself.
error: slot 1 overlaps slot 2 (sectors 2048-16777215): writing one destroys the other, and EDK2 rejects the whole MBR.
warning: slot 1 ends at sector 4294967295, the last an MBR can name: 7-Zip adds first sector and size in 32 bits, gets 0 and rejects the table.
warning: slot 2 (sector 0) starts before slot 1 (sector 2048): 7-Zip rejects partitions out of disk order.
EOF
    # A chain of two EBRs in 4096-byte sectors: each EBR is read at its
    # sector's first byte, in the disk's own sector size.
    truncate -s 64M chain.img
    put chain.img 440 '\42\0\355\136'
    put chain.img 446 "$(entry 128 0x0c 256 4096)$(entry 0 0x0f 4352 12032)"
    put chain.img 510 '\125\252'
    put chain.img $((4352 * 4096 + 446)) "$(entry 0 0x83 256 4096)$(entry 0 0x05 4352 7680)"
    put chain.img $((4352 * 4096 + 510)) '\125\252'
    put chain.img $((8704 * 4096 + 446)) "$(entry 0 0x82 256 7424)"
    put chain.img $((8704 * 4096 + 510)) '\125\252'
    cat >chain.want <<'EOF'
disk: 16384 sectors of 4096 bytes
disk identifier: 5eed0022
part boot type      first    sectors       last partuuid               ebr
   1   80   0c        256       4096       4351 5eed0022-01
   2   00   0f       4352      12032      16383 5eed0022-02
   3   00   00          0          0          -
   4   00   00          0          0          -
   5   00   83       4608       4096       8703 5eed0022-05           4352
   6   00   82       8960       7424      16383 5eed0022-06           8704
EOF
    # In 512-byte sectors the first EBR is elsewhere, and holds nothing: an
    # extended partition with no logical partition yet.
    expect "${check[@]}" chain.img 0 "   2   00   0f       4352      12032      16383 5eed0022-02" ""
    for size in 5g 3t chain; do
        options=()
        [ $size = chain ] && options=(--sector-size 4096)
        "${check[@]}" "${options[@]}" "$size.img" >"$size.txt"
        if diff -u "$size.want" "$size.txt"; then echo "ok: $size.img"; else failed=1; fi
    done
}

devices() {
    # Loop devices need losetup and root; in CI everything is there, so 77
    # fails.
    if ! command -v losetup >/dev/null; then
        echo "skipped: losetup is not installed (Debian's package mount)"
        exit 77
    fi
    if ! losetup --find >/dev/null 2>&1; then
        echo "skipped: no loop device to be had (needs root)"
        exit 77
    fi
    # The kernel gives the size: the same report as the image behind it.
    device=$(losetup --read-only --find --show bad.img) || exit 1
    "${check[@]}" bad.img >file.txt
    expect "${check[@]}" "$device" 1 "$past_end" ""
    losetup -d "$device"
    if cmp -s file.txt out.txt; then echo "ok: $device reports as the image behind it"; else
        echo "FAIL: $device and the image behind it differ:"
        diff file.txt out.txt
        failed=1
    fi

    # 4096-byte sectors: slot 2 fits the disk in 512-byte sectors, not in
    # the device's own.
    truncate -s 64M 4k.img
    put 4k.img 440 '\1\0\355\136'
    put 4k.img 446 '\0\377\377\377\014\377\377\377\0\1\0\0\0\20\0\0'
    put 4k.img 462 '\0\377\377\377\203\377\377\377\0\21\0\0\0\0\1\0'
    put 4k.img 510 '\125\252'
    expect "${check[@]}" 4k.img 0 "disk: 131072 sectors of 512 bytes" ""
    device=$(losetup --read-only --sector-size 4096 --find --show 4k.img) || exit 1
    expect "${check[@]}" "$device" 1 \
        "error: slot 2 ends at sector 69887, past the end of the disk (sectors 0-16383): Linux cuts it at the disk's end, or drops it if it starts past it; EDK2 rejects the whole MBR and makes no partition at all; U-Boot and GRUB make it as written and fail to read its end." ""
    expect "${check[@]}" "$device" 1 "disk: 16384 sectors of 4096 bytes" ""
    expect "${check[@]}" --sector-size 512 "$device" 2 "" \
        "mkentry-check: $device: --sector-size 512 was given, but its sectors are 4096 bytes"
    expect "${check[@]}" --disk-size 1000 "$device" 2 "" "mkentry-check: --disk-size: '1000' is less than one sector"
    losetup -d "$device"
}

case $mode in
files) files ;;
devices) devices ;;
*) echo "usage: check_cli_test.sh files|devices COMMAND..." >&2; exit 2 ;;
esac
exit $failed
