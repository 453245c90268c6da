#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The mkentry developers
# SPDX-License-Identifier: MIT
"""Tests of label.py on console excerpts copied from the real readers.

Each excerpt is what the reader printed (trimmed) in a run of
tests/readers/label.sh; the expected lines are written down from it.

usage: python3 -m unittest tests/readers/label_test.py  (or run it)
"""
import os
import subprocess
import sys
import tempfile
import unittest

LABEL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "label.py")


def label(reader, console, status, *images):
    with tempfile.NamedTemporaryFile("wb", suffix=".log") as log:
        log.write(console.encode())
        log.flush()
        result = subprocess.run([sys.executable, LABEL, reader, log.name, str(status), *images],
                                check=True, capture_output=True, text=True)
    return result.stdout.splitlines()


class Readers(unittest.TestCase):
    def test_linux_names_disks_by_serial_and_gpt_by_name(self):
        console = ("== disk vda serial d01\r\n"
                   "== part vda1 start 2048 size 2048 name \r\n"
                   "== part vda2 start 4096 size 2\r\n"  # no name field: not a row
                   "== disk vdb serial d00\r\n"
                   "== part vdb1 start 2048 size 2048 name one\r\n"
                   "== disk vdc serial d02\r\n")
        self.assertEqual(label("linux", console, 0, "g", "m", "blank"), [
            "g\tlinux\tgpt\t1\t2048\t2048",
            "m\tlinux\tdos\t1\t2048\t2048",
            "blank\tlinux\tnone\t-\t-\t-",
        ])

    def test_u_boot_device_numbers_are_hexadecimal(self):
        console = ("=> part list virtio 11\r\n\r\n"
                   "Partition Map for VirtIO device 17  --   Partition Type: DOS\r\n\r\n"
                   "Part\tStart Sector\tNum Sectors\tUUID\t\tType\r\n"
                   "  1\t2048      \t2048      \t5eed0002-01\t83\r\n"
                   "  5\t6144      \t0         \t5eed0002-05\t83\r\n"
                   "=> part list virtio 12\r\n"
                   "## Unknown partition table type 0\r\n"
                   "=> part list virtio 13\r\n\r\n"
                   "Partition Map for VirtIO device 19  --   Partition Type: EFI\r\n\r\n"
                   "Part\tStart LBA\tEnd LBA\t\tName\r\n"
                   "  3\t0x00001fff\t0x00001800\t\"three\"\r\n"
                   "\tattrs:\t0x0000000000000000\r\n"
                   "=> poweroff\r\n")
        images = [f"i{n}" for n in range(0x14)]
        self.assertEqual(label("u-boot", console, 0, *images)[-4:], [
            "i17\tu-boot\tdos\t1\t2048\t2048",
            "i17\tu-boot\tdos\t5\t6144\t0",
            "i18\tu-boot\tnone\t-\t-\t-",
            "i19\tu-boot\tgpt\t3\t8191\t18446744073709549570",  # wrapped, as U-Boot sums it in 64 bits
        ])

    def test_el_torito_boot_entries(self):
        u_boot = ("=> part list virtio b\r\n\r\n"
                  "Partition Map for VirtIO device 11  --   Partition Type: ISO\r\n\r\n"
                  "Part   Start     Sect x Size Type\r\n"
                  "  1     3016        4    512 U-Boot\r\n"
                  "  2      136     2880    512 U-Boot\r\n"
                  "=> poweroff\r\n")
        self.assertEqual(label("u-boot", u_boot, 0, *[f"i{n}" for n in range(12)])[-2:], [
            "i11\tu-boot\tcdrom\t1\t3016\t4",
            "i11\tu-boot\tcdrom\t2\t136\t2880",
        ])
        edk2 = ("Shell> map -r\r\nMapping table\r\n"
                "          PciRoot(0x0)/Pci(0x3,0x0)/CDROM(0x0)\r\n"
                "          PciRoot(0x0)/Pci(0x3,0x0)/CDROM(0x1)\r\n"
                "Shell> reset -s\r\n")
        self.assertEqual(label("edk2", edk2, 0, "iso"), [
            "iso\tedk2\tcdrom\t0\t?\t?",
            "iso\tedk2\tcdrom\t1\t?\t?",
        ])

    def test_edk2_nests_logical_partitions_and_reads_map_r_alone(self):
        console = ("     BLK9: Alias(s):\r\n"  # the table the Shell prints as it starts
                   "          PciRoot(0x0)/Pci(0x3,0x0)/HD(9,MBR,0x0,0x1,0x1)\r\n"
                   "Shell> map -r\r\nMapping table\r\n"
                   "          PciRoot(0x0)/Pci(0x3,0x0)\r\n"
                   "          PciRoot(0x0)/Pci(0x3,0x0)/HD(2,MBR,0x5EED0002,0x1000,0x2000)\r\n"
                   "          PciRoot(0x0)/Pci(0x3,0x0)/HD(2,MBR,0x5EED0002,0x1000,0x2000)/"
                   "HD(1,MBR,0x00000000,0x1800,0x800)\r\n"
                   "          PciRoot(0x0)/Pci(0x4,0x0)\r\n"
                   "          PciRoot(0x0)/Pci(0x5,0x0)/HD(3,GPT,5EED0030-0000-4000-8000-"
                   "000000000023,0x1800,0x800)\r\n"
                   "Shell> reset -s\r\n")
        self.assertEqual(label("edk2", console, 0, "a", "b", "c", "d"), [
            "a\tedk2\tdos\t2\t4096\t8192",
            "a\tedk2\tdos\t2.1\t6144\t2048",
            "b\tedk2\tnone\t-\t-\t-",
            "c\tedk2\tgpt\t3\t6144\t2048",
            "d\tedk2\tfails\tnot listed",
        ])

    def test_grub_lines_wrapped_at_80_columns(self):
        console = ("\x1b[37m\x1b[40mDevice hd0: No known filesystem detected - Sector size 512B - Total size\r\n"
                   "8192KiB\r\n"
                   "        Partition hd0,msdos5: No known filesystem detected - Partition start at\r\n"
                   "3072KiB - Total size 0KiB\r\n"
                   "        Partition hd0,gpt3: No known filesystem detected - Partition start at\r\n"
                   "4095.5KiB - Total size 1.5KiB\r\n"
                   "Device hd1: No known filesystem detected - Sector size 512B - Total size\r\n"
                   "8192KiB\r\n")
        self.assertEqual(label("grub", console, 0, "a", "b"), [
            "a\tgrub\tgpt\t3\t8191\t3",
            "a\tgrub\tdos\t5\t6144\t0",
            "b\tgrub\tnone\t-\t-\t-",
        ])

    def test_a_reader_that_did_not_finish(self):
        self.assertEqual(label("edk2", "BdsDxe: loading\r\n", 124, "a"), ["a\tedk2\tfails\thangs"])
        self.assertEqual(label("linux", "Kernel panic\r\n", 1, "a"), ["a\tlinux\tfails\tcrashes"])


if __name__ == "__main__":
    unittest.main()
