#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
"""Turns a real reader's console into lines of tests/readers/real.tsv.

tests/readers/label.sh runs it on each boot's console log.

usage: label.py READER LOG STATUS IMAGE...
READER is linux, u-boot, edk2 or grub; the IMAGEs are the names of the
disks in the order the reader numbers them (Linux: as its disk serials
d00, d01...; U-Boot: virtio 0, 1...; EDK2: PCI slots 3, 4...; GRUB: hd0,
hd1...). STATUS is console.py's exit status: 124 (time ran out) makes
each disk the log says nothing of "fails hangs", another status but 0
"fails crashes".

Prints "image reader scheme number start size" lines, tab-separated,
in 512-byte sectors; "image reader none - - -" for a disk read with no
partition.
"""
import re
import sys
from fractions import Fraction

ESCAPE = re.compile(rb"\x1b\[[0-9;?]*[A-Za-z]")


def clean(data):
    return ESCAPE.sub(b"", data).replace(b"\r", b"").decode("utf-8", "replace")


def linux(text, images):
    found = {}
    for name, serial in re.findall(r"^== disk (\S+) serial (\S+)$", text, re.M):
        index = int(serial[1:])
        found[index] = []
        # Only the GPT parser gives a partition a name (PARTNAME in its
        # uevent), and every GPT partition of the images has one.
        for number, start, size, partname in re.findall(
                rf"^== part {name}p?(\d+) start (\d+) size (\d+) name (.*)$", text, re.M):
            found[index].append(("gpt" if partname else "dos", number, int(start), int(size)))
    return found


def u_boot(text, images):
    found = {}
    parts = re.split(r"^=> (?=part list virtio )", text, flags=re.M)[1:]
    for count, part in enumerate(parts):
        # Device numbers are hexadecimal.
        index = int(re.match(r"part list virtio ([0-9a-f]+)", part).group(1), 16)
        if count == len(parts) - 1 and not re.search(r"^=> ", part, re.M):
            continue  # cut short
        kind = re.search(r"Partition Type: (\w+)", part)
        rows = []
        if kind and kind.group(1) == "DOS":
            for number, start, size in re.findall(r"^\s+(\d+)\t(\d+)\s+(\d+)\s", part, re.M):
                rows.append(("dos", number, int(start), int(size)))
        elif kind and kind.group(1) == "EFI":
            for number, first, last in re.findall(r"^\s+(\d+)\t0x([0-9a-f]+)\t0x([0-9a-f]+)\t", part, re.M):
                # The size as U-Boot computes it, in 64 bits: a reversed
                # entry wraps.
                size = (int(last, 16) - int(first, 16) + 1) % 2**64
                rows.append(("gpt", number, int(first, 16), size))
        elif kind and kind.group(1) == "ISO":
            # part_iso.c's boot entries: start and count in 512-byte sectors.
            for number, start, size in re.findall(r"^\s+(\d+)\s+(\d+)\s+(\d+)\s+512 ", part, re.M):
                rows.append(("cdrom", number, int(start), int(size)))
        elif kind:
            rows.append((kind.group(1).lower(), "?", 0, 0))
        found[index] = rows
    return found


def edk2(text, images):
    found = {}
    _, _, table = text.rpartition("Shell> map -r")
    if "Shell> " not in table:
        return found
    for line in table.split("Shell> ")[0].splitlines():
        match = re.match(r"\s*PciRoot\(0x0\)/Pci\(0x([0-9A-F]+),0x0\)(.*)$", line.strip(), re.I)
        if not match:
            continue
        index = int(match.group(1), 16) - 3
        rows = found.setdefault(index, [])
        nodes = re.findall(r"(HD|CDROM)\(([^)]*)\)", match.group(2))
        if not nodes:
            continue
        numbers = []
        for node, fields in nodes:
            fields = fields.split(",")
            numbers.append(fields[0])
        node, fields = nodes[-1][0], nodes[-1][1].split(",")
        if node == "HD":
            scheme = {"MBR": "dos", "GPT": "gpt"}.get(fields[1], fields[1].lower())
            start, size = fields[3], fields[4]
        elif len(fields) == 3:
            scheme, start, size = "cdrom", fields[1], fields[2]
        else:
            # The Shell shows an El Torito image by its boot entry alone:
            # where it lies is not known.
            rows.append(("cdrom", ".".join(str(int(n, 0)) for n in numbers), "?", "?"))
            continue
        rows.append((scheme, ".".join(str(int(n, 0)) for n in numbers), int(start, 16), int(size, 16)))
    return found


def grub(text, images):
    found = {}
    text = " ".join(text.split())  # its console wraps lines at 80 columns
    for index in re.findall(r"Device hd(\d+):", text):
        found[int(index)] = []
    for index, scheme, number, start, size in re.findall(
            r"Partition hd(\d+),((?:[a-z]+\d+,)*[a-z]+)(\d+): .*?Partition start at ([0-9.]+)\s*KiB"
            r" - Total size ([0-9.]+)\s*KiB", text):
        parts = scheme.split(",")
        name = {"msdos": "dos", "gpt": "gpt"}.get(parts[-1], parts[-1])
        found.setdefault(int(index), []).append(
            (name, number, int(Fraction(start) * 2), int(Fraction(size) * 2)))
    return found


def main(argv):
    if len(argv) < 5:
        sys.stderr.write(__doc__)
        return 2
    reader, log, status, images = argv[1], argv[2], int(argv[3]), argv[4:]
    with open(log, "rb") as f:
        text = clean(f.read())
    found = {"linux": linux, "u-boot": u_boot, "edk2": edk2, "grub": grub}[reader](text, images)
    for index, image in enumerate(images):
        if index not in found:
            if status:
                print(f"{image}\t{reader}\tfails\t{'hangs' if status == 124 else 'crashes'}")
            else:
                print(f"{image}\t{reader}\tfails\tnot listed")
            continue
        rows = found[index]
        if not rows:
            print(f"{image}\t{reader}\tnone\t-\t-\t-")
        for scheme, number, start, size in sorted(
                rows, key=lambda r: [int(n) if n.isdigit() else 0 for n in str(r[1]).split(".")]):
            print(f"{image}\t{reader}\t{scheme}\t{number}\t{start}\t{size}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
