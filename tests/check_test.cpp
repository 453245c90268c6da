// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table rules: crafted sectors, each with a disk size, and the status
// and the findings, word for word, that mkentry-check gives for them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "geometry.h"
#include "report.h"
#include "rules.h"

namespace {

struct slot_bytes {
    std::uint8_t flag = 0;
    std::uint8_t type = 0;
    std::uint32_t first = 0;
    std::uint32_t size = 0;
};

// One EBR of a chain: its sector and its entries, as mkentry writes them.
struct ebr_bytes {
    std::uint64_t sector;
    std::vector<slot_bytes> entries;
    std::array<std::uint8_t, 2> signature = {0x55, 0xaa};
};

struct table_case {
    const char* name;
    std::vector<slot_bytes> slots; // slot 1 first; the rest stay zero
    disk_limits disk;
    int status;
    std::vector<std::string> findings; // in the order they are printed
    std::array<std::uint8_t, 2> signature = {0x55, 0xaa};
    std::uint32_t identifier = 0x5eed0001;
    std::vector<ebr_bytes> ebrs;  // every other sector reads as zeros
    std::uint64_t unreadable = 0; // a sector whose read fails, if not 0
    bool endless = false;         // an EBR every 4096 sectors from 34816 on, each to the next
};

constexpr disk_limits disk = {131072}; // 64 MiB
constexpr disk_limits disk_4k = {16384, 4096};
constexpr disk_limits disk_8_tib = {std::uint64_t{1} << 34};
constexpr sector_range loader[] = {{16, 2047}, {4096, 4099}};
constexpr disk_limits with_loader = {131072, 512, loader};
constexpr disk_limits ends_inside_a_sector = {2048, 512, {}, 1048676};
constexpr sector_range to_the_last_sector[] = {{6000, UINT64_MAX}};
constexpr disk_limits reserved_to_the_last_sector = {131072, 512, to_the_last_sector};
constexpr sector_range one_sector[] = {{40000, 40000}};

const slot_bytes boot = {0x80, 0x0c, 2048, 32768};
const slot_bytes extended = {0, 0x0f, 34816, 96256};
const slot_bytes data5 = {0, 0x83, 2048, 32768};
const slot_bytes link6 = {0, 0x05, 34816, 61440};
const slot_bytes swap6 = {0, 0x82, 2048, 59392};
const ebr_bytes ebr5 = {34816, {data5, link6}};
const ebr_bytes ebr6 = {69632, {swap6}};

// A row of a chain: boot in slot 1 and the extended partition in slot 2
// of the 64 MiB disk, unless other slots or another disk are given.
table_case chain(const char* name, int status, std::vector<std::string> findings,
                 std::vector<ebr_bytes> ebrs, std::vector<slot_bytes> slots = {boot, extended},
                 disk_limits on = disk)
{
    return {name,       std::move(slots), on, status, std::move(findings), {0x55, 0xaa},
            0x5eed0001, std::move(ebrs)};
}

const table_case table_cases[] = {
    {"clean",
     {{0x80, 0x0c, 2048, 32768}, {0, 0x82, 34816, 16384}, {0, 0x83, 51200, 79872}},
     disk,
     0,
     {}},
    {"last_sector_is_the_disks", {{0, 0x83, 2048, 129024}}, disk, 0, {}},
    {"no_signature",
     {{0, 0x83, 2048, 2048}},
     disk,
     1,
     {"error: no 55 aa signature at byte 510 (found 00 00): readers see no partition table\n"},
     {0, 0}},
    {"second_signature_byte_wrong",
     {{0, 0x83, 2048, 2048}},
     disk,
     1,
     {"error: no 55 aa signature at byte 510 (found 55 00): readers see no partition table\n"},
     {0x55, 0}},
    {"bad_flag_in_an_empty_slot",
     {{}, {}, {}, {0x01, 0, 0, 0}},
     disk,
     1,
     {"error: slot 4 has boot flag 01, not 00 or 80: Linux and GRUB then read no partition at "
      "all\n"}},
    {"flag_81_in_a_used_slot_ff_in_an_empty_one",
     {{0x81, 0x83, 2048, 2048}, {}, {0xff, 0, 0, 0}},
     disk,
     1,
     {"error: slot 1 has boot flag 81, not 00 or 80: Linux and GRUB then read no partition at "
      "all\n",
      "error: slot 3 has boot flag ff, not 00 or 80: Linux and GRUB then read no partition at "
      "all\n"}},
    {"used_with_size_0", {{0, 0x83, 2048, 0}}, disk, 1, {"error: slot 1 has type 83 but size 0\n"}},
    {"starts_at_0",
     {{0, 0x0c, 0, 2048}},
     disk,
     1,
     {"error: slot 1 starts at sector 0, over the partition table itself\n"}},
    {"one_sector_past_the_end",
     {{0, 0x83, 2048, 129025}},
     disk,
     1,
     {"error: slot 1 ends at sector 131072, past the end of the disk (sectors 0-131071)\n"}},
    {"ends_on_the_last_sector_an_mbr_names",
     {{0, 0x83, 2048, 4294965248}},
     disk_8_tib,
     0,
     {"warning: slot 1 ends at sector 4294967295, the last an MBR can name: 7-Zip adds first "
      "sector and size in 32 bits, gets 0 and rejects the table\n"}},
    {"ends_one_sector_before_it", {{0, 0x83, 2048, 4294965247}}, disk_8_tib, 0, {}},
    {"ends_past_it",
     {{0, 0x83, 4294965248, 4096}},
     disk_8_tib,
     1,
     {"error: slot 1 ends at sector 4294969343, past sector 4294967295 (2^32 - 1), the last an "
      "MBR can name: readers with 32-bit sector numbers cannot reach past it\n"}},
    {"past_the_end_in_4096_byte_sectors",
     {{0, 0x0c, 256, 4096}, {0, 0x83, 4352, 131072}},
     disk_4k,
     1,
     {"error: slot 2 ends at sector 135423, past the end of the disk (sectors 0-16383)\n"}},
    {"alignment_in_4096_byte_sectors",
     {{0, 0x83, 256, 1024}, {0, 0x83, 1280, 256}, {0, 0x83, 1600, 100}},
     disk_4k,
     0,
     {"warning: slot 3 starts at sector 1600, not on a 1 MiB boundary (a multiple of 256)\n"}},
    {"errors_before_warnings",
     {{0, 0x83, 1000, 1048}, {0, 0x83, 2048, 131072}},
     disk,
     1,
     {"error: slot 2 ends at sector 133119, past the end of the disk (sectors 0-131071)\n",
      "warning: slot 1 starts at sector 1000, not on a 1 MiB boundary (a multiple of 2048)\n"}},
    {"same_first_sector",
     {{0, 0x83, 2048, 2048}, {0, 0x83, 2048, 4096}},
     disk,
     1,
     {"error: slot 1 overlaps slot 2 (sectors 2048-4095)\n"}},
    {"reserved_ranges_kept_clear",
     {{0, 0x83, 2048, 2048}, {0, 0x83, 6144, 2048}},
     with_loader,
     0,
     {}},
    {"slots_over_reserved_ranges",
     {{0, 0x83, 1024, 4096}, {0, 0x83, 6144, 2048}},
     with_loader,
     1,
     {"error: slot 1 lies over reserved sectors 1024-2047\n",
      "error: slot 1 lies over reserved sectors 4096-4099\n",
      "warning: slot 1 starts at sector 1024, not on a 1 MiB boundary (a multiple of 2048)\n"}},
    {"reserved_up_to_sector_2_to_the_64_minus_1",
     {{0, 0x83, 2048, 4096}, {0, 0x83, 8192, 2048}},
     reserved_to_the_last_sector,
     1,
     {"error: slot 1 lies over reserved sectors 6000-6143\n",
      "error: slot 2 lies over reserved sectors 8192-10239\n"}},
    {"overlap_by_one_sector",
     {{0, 0x83, 2048, 2048}, {0, 0x83, 4095, 2049}},
     disk,
     1,
     {"error: slot 1 overlaps slot 2 (sectors 4095-4095)\n",
      "warning: slot 2 starts at sector 4095, not on a 1 MiB boundary (a multiple of "
      "2048)\n"}},
    {"overlap_across_an_empty_slot",
     {{0, 0x83, 2048, 8192}, {}, {0, 0x0c, 6144, 2048}},
     disk,
     1,
     {"error: slot 1 overlaps slot 3 (sectors 6144-8191)\n"}},
    {"out_of_order",
     {{0, 0x83, 4096, 2048}, {0, 0x83, 2048, 2048}},
     disk,
     0,
     {"warning: slot 2 (sector 2048) starts before slot 1 (sector 4096): 7-Zip rejects "
      "partitions out of disk order\n"}},
    {"three_out_of_order",
     {{0, 0x83, 8192, 2048}, {0, 0x83, 2048, 2048}, {0, 0x83, 4096, 2048}, {0, 0x83, 6144, 2048}},
     disk,
     0,
     {"warning: slot 2 (sector 2048) starts before slot 1 (sector 8192): 7-Zip rejects "
      "partitions out of disk order\n",
      "warning: slot 3 (sector 4096) starts before slot 1 (sector 8192): 7-Zip rejects "
      "partitions out of disk order\n",
      "warning: slot 4 (sector 6144) starts before slot 1 (sector 8192): 7-Zip rejects "
      "partitions out of disk order\n"}},
    {"order_ignores_type_00",
     {{0, 0x00, 8192, 2048}, {0, 0x83, 2048, 2048}},
     disk,
     0,
     {"warning: slot 1 has type 00 but size 2048: Linux uses it, UEFI ignores it\n"}},
    {"gpt_protective",
     {{0, 0xee, 1, 131071}},
     disk,
     1,
     {"error: slot 1 has type ee (GPT protective): Linux reads no partition from this table; for a "
      "GPT "
      "disk, check the GPT with a GPT tool such as sgdisk -v\n",
      "warning: slot 1 starts at sector 1, not on a 1 MiB boundary (a multiple of 2048)\n"}},
    {"two_bootable",
     {{0x80, 0x0c, 2048, 2048}, {0x80, 0x83, 4096, 2048}},
     disk,
     0,
     {"warning: slot 2 is marked bootable, and so is slot 1\n"}},
    {"two_bootable_after_slot_1",
     {{0, 0x0c, 2048, 2048}, {0x80, 0x83, 4096, 2048}, {0x80, 0x83, 6144, 2048}},
     disk,
     0,
     {"warning: slot 3 is marked bootable, and so is slot 2\n"}},
    // A chain as a build script writes it: boot, then an extended slot of
    // two logical partitions, each EBR 2048 sectors before its partition.
    chain("chain", 0, {}, {ebr5, ebr6}),
    chain("chain_of_type_05", 0, {}, {ebr5, ebr6}, {boot, {0, 0x05, 34816, 96256}}),
    chain("extended_slot_without_a_logical", 0, {}, {{34816, {}}}),
    {"ebr_without_signature",
     {boot, extended},
     disk,
     1,
     {"error: partition 5 (EBR at sector 34816): no 55 aa signature at byte 510 (found 00 00): "
      "every reader ends the chain there\n"}},
    chain(
        "second_ebr_without_signature", 1,
        {"error: partition 6 (EBR at sector 69632): no 55 aa signature at byte 510 (found 55 00): "
         "every reader ends the chain there\n"},
        {ebr5, {69632, {swap6}, {0x55, 0}}}),
    chain("link_to_its_own_ebr", 1,
          {"error: partition 5 (EBR at sector 34816): the link points back to the EBR at sector "
           "34816: "
           "the chain loops; Linux and U-Boot make its partitions again and again, EDK2 hangs\n"},
          {{34816, {data5, {0, 0x05, 0, 2048}}}}),
    chain("link_back_to_an_earlier_ebr", 1,
          {"error: partition 6 (EBR at sector 69632): the link points back to the EBR at sector "
           "34816: "
           "the chain loops; Linux and U-Boot make its partitions again and again, EDK2 hangs\n"},
          {ebr5, {69632, {swap6, {0, 0x05, 0, 61440}}}}),
    chain(
        "logical_written_as_absolute", 1,
        {"error: partition 6 (EBR at sector 69632) lies at sectors 141312-200703, outside the "
         "extended partition in slot 2 (sectors 34816-131071): EDK2 ends the chain there\n",
         "error: partition 6 (EBR at sector 69632) ends at sector 200703, past the end of the disk "
         "(sectors 0-131071)\n"},
        {ebr5, {69632, {{0, 0x82, 71680, 59392}}}}),
    chain(
        "link_counted_from_its_own_ebr", 1,
        {"error: partition 7 (EBR at sector 65536): no 55 aa signature at byte 510 (found 00 00): "
         "every reader ends the chain there\n",
         "error: partition 5 (EBR at sector 34816) lies over the EBR at sector 65536: writing it "
         "destroys the chain\n"},
        {{34816, {data5, {0, 0x05, 34816, 30720}}},
         {69632, {{0, 0x82, 2048, 28672}, {0, 0x05, 30720, 30720}}},
         {100352, {{0, 0x83, 2048, 28672}}}}),
    chain(
        "link_of_type_83", 1,
        {"error: partition 5 (EBR at sector 34816): entry 2, the link, has type 83, not 05 or 0f: "
         "Linux makes it a partition, EDK2 ends the chain there\n"},
        {{34816, {data5, {0, 0x83, 34816, 61440}}}}),
    chain("link_of_size_0", 1,
          {"error: partition 5 (EBR at sector 34816): entry 2 is a link of size 0: Linux ends the "
           "chain there\n"},
          {{34816, {data5, {0, 0x05, 34816, 0}}}, ebr6}),
    chain(
        "link_of_type_85", 1,
        {"error: partition 5 (EBR at sector 34816): the link has type 85: EDK2 follows only 05 and "
         "0f and ends the chain there\n"},
        {{34816, {data5, {0, 0x85, 34816, 61440}}}, ebr6}),
    chain("slot_of_type_85", 1,
          {"error: slot 2 has extended type 85: EDK2 follows only 05 and 0f, so UEFI sees none of "
           "its "
           "logical partitions\n"},
          {ebr5, ebr6}, {boot, {0, 0x85, 34816, 96256}}),
    chain(
        "partition_in_entry_3", 1,
        {"error: partition 6 (EBR at sector 69632): entry 3 is used: EDK2 reads only entry 1, the "
         "partition, and entry 2, the link\n"},
        {ebr5, {69632, {{}, {}, swap6}}}),
    chain(
        "link_before_the_partition", 1,
        {"error: partition 5 (EBR at sector 34816): entry 1 is a link (type 05) and entry 2 holds "
         "the partition: EDK2 follows entry 1 and skips the partition\n"},
        {{34816, {link6, data5}}, ebr6}),
    chain(
        "ebr_with_a_link_and_no_partition", 1,
        {"error: partition 5 (EBR at sector 34816): a link but no partition in entry 1: EDK2 ends "
         "the chain there, before the partitions after it\n"},
        {{34816, {{}, link6}}, ebr6}),
    chain("logical_of_size_0", 1,
          {"error: partition 5 (EBR at sector 34816) has type 83 but size 0: Linux makes no "
           "partition "
           "of it, U-Boot and GRUB make one and number the rest differently, EDK2 ends the chain "
           "there\n"},
          {{34816, {{0, 0x83, 2048, 0}, link6}}, ebr6}),
    chain("logical_of_type_00", 1,
          {"error: partition 5 (EBR at sector 34816) has type 00 but size 32768: Linux makes it a "
           "partition, U-Boot and GRUB do not and number the partitions after it differently\n"},
          {{34816, {{0, 0x00, 2048, 32768}, link6}}, ebr6}),
    chain("logical_at_its_own_ebr", 1,
          {"error: partition 5 (EBR at sector 34816) starts at its own EBR (first sector 0): its "
           "contents overwrite the chain\n"},
          {{34816, {{0, 0x83, 0, 32768}, link6}}, ebr6}),
    chain(
        "logical_over_a_slot", 1,
        {"error: slot 2 overlaps slot 3 (sectors 100000-109999)\n",
         "error: partition 6 (EBR at sector 69632) overlaps slot 3 (sectors 100000-109999)\n",
         "warning: slot 3 starts at sector 100000, not on a 1 MiB boundary (a multiple of 2048)\n"},
        {ebr5, ebr6}, {boot, extended, {0, 0x83, 100000, 10000}}),
    chain("logicals_overlap", 1,
          {"error: partition 5 (EBR at sector 34816): the link's sectors take in sectors "
           "69632-76863 of the partition: EDK2 reads the first EBR as an MBR, rejects it and "
           "makes no logical partition\n",
           "error: partition 5 (EBR at sector 34816) lies over the EBR at sector 69632: writing it "
           "destroys the chain\n",
           "error: partition 6 (EBR at sector 69632) overlaps partition 5 (sectors 71680-76863)\n"},
          {{34816, {{0, 0x83, 2048, 40000}, link6}}, ebr6}),
    chain("logical_over_reserved_sectors", 1,
          {"error: slot 2 lies over reserved sectors 40000-40000\n",
           "error: partition 5 (EBR at sector 34816) lies over reserved sectors 40000-40000\n"},
          {ebr5, ebr6}, {boot, extended}, {131072, 512, one_sector}),
    chain(
        "bad_boot_flag_in_an_ebr", 1,
        {"error: partition 5 (EBR at sector 34816): entry 1 has boot flag 01, not 00 or 80: U-Boot "
         "skips the entry, GRUB reads no partition from there on\n"},
        {{34816, {{0x01, 0x83, 2048, 32768}, link6}}, ebr6}),
    chain(
        "two_extended_slots", 1,
        {"error: slot 3 is a second extended partition, after slot 2: U-Boot and GRUB follow only "
         "the first one's chain\n"},
        {{34816, {data5}}, {100352, {{0, 0x83, 2048, 28672}}}},
        {boot, {0, 0x0f, 34816, 65536}, {0, 0x05, 100352, 30720}}),
    // Only the first EBR's link must fit: EDK2 reads that EBR as an MBR.
    chain("later_link_longer_than_the_extended_slot", 0, {},
          {ebr5,
           {69632, {{0, 0x82, 2048, 12288}, {0, 0x05, 49152, 200000}}},
           {83968, {{0, 0x83, 2048, 12288}}}}),
    chain("first_link_longer_than_the_extended_slot", 1,
          {"error: partition 5 (EBR at sector 34816): the link points to sectors 69632-269631, "
           "past the end of the extended partition in slot 2 (sectors 34816-131071): EDK2 reads "
           "the first EBR as an MBR, rejects it and makes no logical partition\n"},
          {{34816, {data5, {0, 0x05, 34816, 200000}}}, ebr6}),
    chain("first_link_over_its_partition", 1,
          {"error: partition 5 (EBR at sector 34816): the link's sectors take in sectors "
           "88064-120831 of the partition: EDK2 reads the first EBR as an MBR, rejects it and "
           "makes no logical partition\n",
           "warning: partition 6 (EBR at sector 69632) starts at sector 71680, before partition 5 "
           "(sector 88064): 7-Zip rejects partitions out of disk order\n"},
          {{34816, {{0, 0x83, 53248, 32768}, link6}}, {69632, {{0, 0x82, 2048, 14336}}}}),
    chain(
        "link_outside_the_extended_slot", 1,
        {"error: partition 5 (EBR at sector 34816): the link points to sectors 104816-106863, "
         "outside the extended partition in slot 2 (sectors 34816-100351): EDK2 ends the chain "
         "there\n",
         "error: partition 6 (EBR at sector 104816): no 55 aa signature at byte 510 (found 00 00): "
         "every reader ends the chain there\n"},
        {{34816, {data5, {0, 0x05, 70000, 2048}}}}, {boot, {0, 0x0f, 34816, 65536}}),
    chain(
        "link_past_the_disk", 1,
        {"error: partition 5 (EBR at sector 34816): the link points to sectors "
         "4295002111-4295002111, outside the extended partition in slot 2 (sectors 34816-131071): "
         "EDK2 ends the chain there\n",
         "error: partition 5 (EBR at sector 34816): the link points to sector 4295002111, past the "
         "end of the disk (sectors 0-131071)\n"},
        {{34816, {data5, {0, 0x05, 4294967295, 1}}}}),
    chain("logicals_out_of_disk_order", 0,
          {"warning: partition 6 (EBR at sector 69632) starts at sector 71680, before partition 5 "
           "(sector 88064): 7-Zip rejects partitions out of disk order\n"},
          {{34816, {{0, 0x83, 53248, 32768}, {0, 0x05, 34816, 16384}}},
           {69632, {{0, 0x82, 2048, 14336}}}}),
    chain("unaligned_logical", 0,
          {"warning: partition 5 (EBR at sector 34816) starts at sector 34879, not on a 1 MiB "
           "boundary (a multiple of 2048)\n"},
          {{34816, {{0, 0x83, 63, 32768}, link6}}, ebr6}),
    {"ebr_unreadable", {boot, extended}, disk, 0, {}, {0x55, 0xaa}, 0x5eed0001, {ebr5}, 69632},
    // An EBR every 4096 sectors, each with a partition and a link to the
    // next: Linux stops at partition 255.
    {"chain_longer_than_linux_reads",
     {boot, {0, 0x0f, 34816, 2000000}},
     disk_8_tib,
     1,
     {"error: partition 256 (EBR at sector 1062912): the chain goes on past partition 255 or 256 "
      "EBRs, more than Linux reads\n"},
     {0x55, 0xaa},
     0x5eed0001,
     {},
     0,
     true},
    {"no_disk_identifier",
     {{0, 0x83, 2048, 2048}},
     disk,
     0,
     {"warning: disk identifier is 00000000: libblkid then gives no partition a PARTUUID, so "
      "/dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the kernel's "
      "root=PARTUUID=00000000-01 still works); write one at byte 440\n"},
     {0x55, 0xaa},
     0},
    {"image_ends_inside_a_sector",
     {{0, 0x83, 1024, 1024}},
     ends_inside_a_sector,
     0,
     {"warning: slot 1 starts at sector 1024, not on a 1 MiB boundary (a multiple of 2048)\n",
      "warning: the image is 1048676 bytes, not a whole number of 512-byte sectors: its last "
      "100 bytes are not part of the disk, and Raspberry Pi Imager refuses such a file\n"}},
    {"type_00_with_a_size",
     {{0, 0x00, 2048, 2048}},
     disk,
     0,
     {"warning: slot 1 has type 00 but size 2048: Linux uses it, UEFI ignores it\n"}},
    {"unused_slot_keeps_its_first_sector", {{0, 0x00, 12345, 0}}, disk, 0, {}},
    {"empty_table_needs_no_identifier", {}, disk, 0, {}, {0x55, 0xaa}, 0},
};

sector_bytes sector_of(const std::vector<slot_bytes>& slots, std::uint32_t identifier,
                       std::array<std::uint8_t, 2> signature)
{
    sector_bytes sector{};
    for (std::size_t i = 0; i < slots.size(); ++i) {
        partition_entry entry;
        entry.boot_flag = slots[i].flag;
        entry.part_type = slots[i].type;
        entry.lba_begin = slots[i].first;
        entry.lba_size = slots[i].size;
        const entry_bytes bytes = encode_entry(entry);
        std::copy(bytes.begin(), bytes.end(), sector.begin() + 446 + 16 * static_cast<long>(i));
    }
    for (std::size_t i = 0; i < 4; ++i) {
        sector[440 + i] = static_cast<std::uint8_t>(identifier >> (8 * i));
    }
    sector[510] = signature[0];
    sector[511] = signature[1];
    return sector;
}

sector_bytes sector_of(const table_case& row)
{
    return sector_of(row.slots, row.identifier, row.signature);
}

// The disk of a row, held in memory: its EBRs, zeros elsewhere.
const char* read_row_sector(const void* memory, std::uint64_t sector, sector_bytes& out)
{
    const auto& row = *static_cast<const table_case*>(memory);
    if (sector >= row.disk.sectors) {
        ADD_FAILURE() << "sector " << sector << " is past the disk";
    }
    if (sector == row.unreadable) {
        return "Input/output error";
    }
    out = {};
    if (row.endless) {
        const auto next = static_cast<std::uint32_t>(sector - 34816 + 4096);
        out = sector_of({{0, 0x83, 2048, 2048}, {0, 0x05, next, 4096}}, 0, {0x55, 0xaa});
    }
    for (const ebr_bytes& ebr : row.ebrs) {
        if (ebr.sector == sector) {
            out = sector_of(ebr.entries, 0, ebr.signature);
        }
    }
    return nullptr;
}

checked_table check_row(const table_case& row)
{
    return check_table(sector_of(row), row.disk, {read_row_sector, &row});
}

// A failing row is named, not dumped byte by byte.
void PrintTo(const table_case& row, std::ostream* out) { *out << row.name; }

class table : public testing::TestWithParam<table_case> {};

TEST_P(table, status_and_findings)
{
    const table_case& row = GetParam();
    const checked_table checked = check_row(row);
    std::vector<std::string> findings;
    for (std::size_t i = 0; i < finding_count(checked); ++i) {
        text line;
        format_finding(line, checked, nth_finding(checked, i));
        findings.emplace_back(line.view());
    }
    EXPECT_EQ(findings, row.findings);
    EXPECT_EQ(fails(checked, false) ? 1 : 0, row.status);
    EXPECT_EQ(checked.failure.sector, row.unreadable);
    EXPECT_EQ(checked.failure.reason != nullptr, row.unreadable != 0);
}

INSTANTIATE_TEST_SUITE_P(rows, table, testing::ValuesIn(table_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// Linux numbers partitions on past the four slots, and forms PARTUUIDs
// with the number in hex.
TEST(report, logical_partitions_listed_with_their_ebr)
{
    const table_case& endless = *std::find_if(std::begin(table_cases), std::end(table_cases),
                                              [](const table_case& row) { return row.endless; });
    text out;
    format_report(out, check_row(endless), size_source::image);
    EXPECT_NE(out.view().find("\npart boot type      first    sectors       last partuuid      "
                              "         ebr\n   1   80   0c       2048      32768      34815 "
                              "5eed0001-01\n"),
              std::string::npos);
    EXPECT_NE(out.view().find("\n  10   00   83      57344       2048      59391 5eed0001-0a     "
                              "     55296\n"),
              std::string::npos);
    EXPECT_NE(out.view().find("\n 255   00   83    1060864       2048    1062911 5eed0001-ff     "
                              "   1058816\n"),
              std::string::npos);
}

// The manual page lists every rule under its JSON name, in its section.
TEST(manual, lists_every_rule_with_its_severity)
{
    std::ifstream file(MKENTRY_CHECK_MAN_PAGE);
    const std::string page{std::istreambuf_iterator<char>(file), {}};
    const std::size_t warnings = page.find(".SS Warnings\n");
    ASSERT_NE(warnings, std::string::npos);
    for (const rule_info& row : rule_table) {
        const std::size_t at = page.find(".TP\n.B " + std::string(row.name) + "\n");
        ASSERT_NE(at, std::string::npos) << row.name;
        EXPECT_EQ(at > warnings, row.level == severity::warning) << row.name;
    }
}

// The disk's sector size and size from the options, the image's or the
// device's size and the device's own sector size.
struct geometry_case {
    const char* name;
    geometry_options asked;
    std::uint64_t size_bytes;
    std::uint32_t device_sector_size;
    disk_geometry settled;
};

constexpr geometry_problem fine = geometry_problem::none;
const geometry_case geometry_cases[] = {
    {"image_file", {}, 1048576, 0, {fine, 512, 2048, 0}},
    {"image_in_4096_byte_sectors", {4096}, 1048576, 0, {fine, 4096, 256, 0}},
    {"image_ends_inside_a_sector", {}, 1048676, 0, {fine, 512, 2048, 1048676}},
    {"part_sector_in_4096", {4096}, 1049600, 0, {fine, 4096, 256, 1049600}},
    {"disk_size_for_a_short_image", {0, 67108864, true}, 20971520, 0, {fine, 512, 131072, 0}},
    {"disk_size_rounded_down", {0, 1048575, true}, 1048576, 0, {fine, 512, 2047, 0}},
    {"disk_size_below_a_sector",
     {4096, 4095, true},
     1048576,
     0,
     {geometry_problem::disk_size_too_small, 4096, 0, 0}},
    {"image_shorter_than_a_sector",
     {},
     511,
     0,
     {geometry_problem::shorter_than_a_sector, 512, 0, 0}},
    {"shorter_than_its_4096_byte_sector",
     {4096},
     4095,
     0,
     {geometry_problem::shorter_than_a_sector, 4096, 0, 0}},
    {"device_sectors", {}, 67108864, 4096, {fine, 4096, 16384, 0}},
    {"device_sectors_given_alike", {4096}, 67108864, 4096, {fine, 4096, 16384, 0}},
    {"device_sectors_differ",
     {512},
     67108864,
     4096,
     {geometry_problem::sector_size_differs, 512, 0, 0}},
    {"device_disk_size_in_its_sectors",
     {0, 1000, true},
     67108864,
     4096,
     {geometry_problem::disk_size_too_small, 4096, 0, 0}},
    {"device_of_a_partial_sector_size", {}, 67109000, 512, {fine, 512, 131072, 0}},
    {"largest_disk_size", {512, UINT64_MAX, true}, 1048576, 0, {fine, 512, 36028797018963967, 0}},
};

void PrintTo(const geometry_case& row, std::ostream* out) { *out << row.name; }

class geometry : public testing::TestWithParam<geometry_case> {};

TEST_P(geometry, settled)
{
    const geometry_case& row = GetParam();
    const disk_geometry got = settle_geometry(row.asked, row.size_bytes, row.device_sector_size);
    EXPECT_EQ(got.problem, row.settled.problem);
    EXPECT_EQ(got.sector_size, row.settled.sector_size);
    EXPECT_EQ(got.sectors, row.settled.sectors);
    EXPECT_EQ(got.partial_image_bytes, row.settled.partial_image_bytes);
}

INSTANTIATE_TEST_SUITE_P(rows, geometry, testing::ValuesIn(geometry_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// The JSON report whole: sfdisk --json's table, then the findings; a name
// with a quote, a control byte and a byte that is not UTF-8.
TEST(json, report_in_sfdisk_form)
{
    const table_case row = {
        "",   {{0x80, 0x0c, 2048, 32768}, {0, 0x83, 30720, 2048}, {0, 0x05, 65536, 65536}},
        disk, 1,
        {},   {0x55, 0xaa},
        0,    {{65536, {{0, 0x83, 2048, 63488}}}}};
    text out;
    format_json(out, check_row(row),
                "a\"b\x1b\xff"
                "c7");
    EXPECT_EQ(out.view(), R"json({
   "partitiontable": {
      "label": "dos",
      "id": "0x00000000",
      "device": "a\"b\u001b\ufffdc7",
      "unit": "sectors",
      "sectorsize": 512,
      "partitions": [
         {
            "node": "a\"b\u001b\ufffdc7p1",
            "start": 2048,
            "size": 32768,
            "type": "c",
            "partuuid": "00000000-01",
            "bootable": true
         },{
            "node": "a\"b\u001b\ufffdc7p2",
            "start": 30720,
            "size": 2048,
            "type": "83",
            "partuuid": "00000000-02"
         },{
            "node": "a\"b\u001b\ufffdc7p3",
            "start": 65536,
            "size": 65536,
            "type": "5",
            "partuuid": "00000000-03"
         },{
            "node": "a\"b\u001b\ufffdc7p5",
            "start": 67584,
            "size": 63488,
            "type": "83",
            "partuuid": "00000000-05"
         }
      ]
   },
   "findings": [
      {
         "severity": "error",
         "slots": [1, 2],
         "rule": "overlap",
         "message": "slot 1 overlaps slot 2 (sectors 30720-32767)"
      },
      {
         "severity": "warning",
         "slots": [],
         "rule": "no_disk_identifier",
         "message": "disk identifier is 00000000: libblkid then gives no partition a PARTUUID, so /dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the kernel's root=PARTUUID=00000000-01 still works); write one at byte 440"
      }
   ]
}
)json");
}

} // namespace
