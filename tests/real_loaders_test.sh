#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
#
# mkentry-check on every boot loader file of Debian's U-Boot packages for
# Allwinner, Rockchip, i.MX 6 and TI boards, each written into a blank
# image where its board's boot ROM or SPL reads it, behind an MBR
# partition:
#
# - it lists the loader at that sector, of its family and kind, valid;
# - a partition that starts right after the file (its size from stat,
#   rounded up to a sector) passes, and one that starts a sector earlier
#   lies over the loader (loader_under_partition);
# - a header byte flipped makes the loader invalid (loader_invalid).
#
# The files that hold two stages (Allwinner's SPL and uImage, i.MX's SPL
# and U-Boot) end where the file ends too, so the same partitions tell.
# The packages are fetched with apt-get download into the cache and
# unpacked there, never installed.
#
# usage: real_loaders_test.sh CACHE_DIR MKENTRY MKENTRY_CHECK
set -euo pipefail
cache=$1 mkentry=$2 mkentry_check=$3

skip() { echo "skipped: $*" >&2; exit 77; }
for tool in apt-get dpkg-deb python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

# Each package unpacked whole, once, into a folder of its own.
mkdir -p "$cache"
unpacked() { # package, architecture
    local deb
    deb=$(find "$cache" -maxdepth 1 -name "$1_*_$2.deb" | head -n 1)
    if [ -z "$deb" ]; then
        (cd "$cache" && timeout 300 apt-get download "$1:$2" >/dev/null 2>&1) ||
            skip "cannot fetch $1:$2 (apt needs the $2 architecture: dpkg --add-architecture $2)"
        deb=$(find "$cache" -maxdepth 1 -name "$1_*_$2.deb" | head -n 1)
    fi
    if [ ! -d "${deb%.deb}.loaders" ]; then
        rm -rf "${deb%.deb}.new"
        dpkg-deb -x "$deb" "${deb%.deb}.new"
        mv "${deb%.deb}.new" "${deb%.deb}.loaders"
    fi
    echo "${deb%.deb}.loaders/usr/lib/u-boot"
}

# package, architecture, file name, the byte it is written at, the family
# and kind of its first stage ("-" where a file of U-Boot proper alone
# does not say the board's family), how many loaders it holds, and the
# byte of the file that is flipped: in the eGON header the checksum, in
# Rockchip's RC4-coded header init_offset, in the IVT boot_data.start, in
# the TI TOC the first item's offset, in a FIT the FDT's structure offset,
# in a uImage a byte of the name that the header's CRC covers.
cases="\
u-boot-sunxi armhf u-boot-sunxi-with-spl.bin 8192 allwinner egon 2 12
u-boot-sunxi arm64 sunxi-spl.bin 8192 allwinner egon 1 12
u-boot-sunxi arm64 u-boot-sunxi-with-spl.fit.itb 40960 - fit 1 11
u-boot-rockchip armhf idbloader.img 32768 rockchip rockchip-v1 1 12
u-boot-rockchip armhf u-boot.img 8388608 - uimage 1 32
u-boot-rockchip arm64 idbloader.img 32768 rockchip rockchip-v1 1 12
u-boot-rockchip arm64 u-boot.itb 8388608 - fit 1 11
u-boot-rockchip arm64 u-boot.img 8388608 - fit 1 11
u-boot-imx armhf SPL 1024 imx6 imx-ivt 1 32
u-boot-imx armhf u-boot-dtb.imx 1024 imx6 imx-ivt 1 32
u-boot-imx armhf u-boot-with-spl.imx 1024 imx6 imx-ivt 2 32
u-boot-imx armhf u-boot.img 70656 - by-magic 1 -
u-boot-omap armhf MLO 131072 ti mlo 1 3
u-boot-omap armhf u-boot.img 393216 - by-magic 1 -"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
image=$scratch/disk.img
disk_sectors=32768 # 16 MiB: room behind U-Boot proper at 8 MiB

# An MBR of one partition, from the given sector to the disk's end.
table() { # first sector
    dd if=/dev/zero of="$image" bs=1 seek=446 count=64 conv=notrunc status=none
    "$mkentry" --type 0x83 --begin "$1" --size $((disk_sectors - $1)) |
        dd of="$image" bs=1 seek=446 conv=notrunc status=none
    "$mkentry" --magic | dd of="$image" bs=1 skip=16 seek=510 count=2 conv=notrunc status=none
}
report() { # file, name of its JSON report
    local status=0
    "$mkentry_check" --json "$image" >"$1.$2.json" || status=$?
    echo "$status" >"$1.$2.status"
}

# Each file, in a blank image with a partition right after it, one a
# sector earlier, and then with its byte flipped: the reports go into the
# scratch folder, one line for each file into the list of what they must
# say.
n=0
while read -r package arch name offset family kind count flip; do
    dir=$(unpacked "$package" "$arch")
    while read -r file; do
        this_kind=$kind this_flip=$flip
        if [ "$kind" = by-magic ]; then
            # A U-Boot proper the boards' SPL reads as a FIT or a uImage.
            case $(od -An -tx1 -N4 "$file" | tr -d ' ') in
            d00dfeed) this_kind=fit this_flip=11 ;;
            27051956) this_kind=uimage this_flip=32 ;;
            esac
        fi
        first=$((offset / 512))
        after=$((first + ($(stat -c %s "$file") + 511) / 512))
        n=$((n + 1))
        rm -f "$image"
        truncate -s $((disk_sectors * 512)) "$image"
        dd if="$file" of="$image" bs=512 seek="$first" conv=notrunc status=none
        table "$after"
        report "$scratch/$n" after
        table $((after - 1))
        report "$scratch/$n" early
        table "$after"
        byte=$(od -An -tu1 -j$((offset + this_flip)) -N1 "$image")
        printf '%b' "\\x$(printf %02x $((byte ^ 0xff)))" |
            dd of="$image" bs=1 seek=$((offset + this_flip)) conv=notrunc status=none
        report "$scratch/$n" flipped
        echo "$scratch/$n $first $family $this_kind $count $after $package:$arch ${file#"$dir"/}" >>"$scratch/list"
    done < <(find "$dir" -type f -name "$name" | LC_ALL=C sort)
done <<<"$cases"

# What the three reports of each file say against what they must: "ok:"
# or "FAIL:" with the first thing that is wrong.
python3 - "$scratch/list" <<'EOF'
import json, sys

def read(path, name):
    status = int(open(f"{path}.{name}.status").read())
    report = json.load(open(f"{path}.{name}.json"))
    rules = [f["rule"] for f in report["findings"] if f["rule"].startswith("loader_")]
    return status, report, rules

def problem(path, first, family, kind, count, after):
    status, report, rules = read(path, "after")
    if "loaders" not in report:
        return "mkentry-check finds no loaders"
    loaders = sorted(report["loaders"], key=lambda loader: loader["first"])
    if len(loaders) != count:
        return f"{len(loaders)} loaders listed, not {count}: {loaders}"
    head = loaders[0]
    if (head["first"], head["offset"]) != (first, first * 512):
        return f"the loader starts at sector {head['first']}, byte {head['offset']}, not {first}"
    if head["kind"] != kind or family not in ("-", head["family"]):
        return f"the loader is {head['family']} {head['kind']}, not {family} {kind}"
    if not all(loader["valid"] is True for loader in loaders):
        return f"a loader is not valid: {loaders}"
    if loaders[-1]["last"] != after - 1:
        return f"the loader ends at sector {loaders[-1]['last']}, not {after - 1}"
    if status != 0 or rules:
        return f"a partition from sector {after} gives status {status}, {rules}"
    status, report, rules = read(path, "early")
    if status != 1 or "loader_under_partition" not in rules:
        return f"a partition from sector {after - 1} gives status {status}, {rules}"
    status, report, rules = read(path, "flipped")
    flipped = [loader["valid"] for loader in report.get("loaders", []) if loader["first"] == first]
    if status != 1 or "loader_invalid" not in rules or flipped != [False]:
        return f"the flipped header gives status {status}, {rules}, valid {flipped}"
    return None

passed = failed = 0
for line in open(sys.argv[1]):
    path, first, family, kind, count, after, package, board = line.split()
    wrong = problem(path, int(first), family, kind, int(count), int(after))
    if wrong == "mkentry-check finds no loaders":
        # No file can pass then: one line says so, not one for each.
        print(f'FAIL: mkentry-check finds no loaders: its --json report of {package} {board} has no "loaders"')
        sys.exit(1)
    if wrong:
        print(f"FAIL: {package} {board}: {wrong}")
        failed += 1
    else:
        print(f"ok: {package} {board} at sector {first}, ending before sector {after}")
        passed += 1
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed or not passed else 0)
EOF
