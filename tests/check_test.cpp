// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table rules: crafted sectors, each with a disk size, and the status
// and the findings, word for word, that mkentry-check gives for them.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report.h"
#include "table_check.h"

namespace {

struct slot_bytes {
    std::uint8_t flag = 0;
    std::uint8_t type = 0;
    std::uint32_t first = 0;
    std::uint32_t size = 0;
};

struct table_case {
    const char* name;
    std::vector<slot_bytes> slots; // slot 1 first; the rest stay zero
    std::uint64_t disk_sectors;
    int status;
    std::vector<std::string> findings;
    bool signature = true;
};

constexpr std::uint64_t disk = 131072; // 64 MiB

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
     false},
    {"bad_flag_in_an_empty_slot",
     {{}, {}, {}, {0x01, 0, 0, 0}},
     disk,
     1,
     {"error: slot 4 has boot flag 01, not 00 or 80: Linux and GRUB then read no partition at "
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
    {"sum_reaches_2_to_the_32",
     {{0, 0x83, 2048, 4294965248}},
     std::uint64_t{1} << 33,
     1,
     {"error: slot 1 has first sector + size = 4294967296, more than 32 bits hold\n"}},
    {"sum_just_below_2_to_the_32", {{0, 0x83, 2048, 4294965247}}, std::uint64_t{1} << 33, 0, {}},
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
     1,
     {"error: slot 2 (sector 2048) starts before slot 1 (sector 4096): the slots with a type "
      "must be in ascending order\n"}},
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
    {"extended",
     {{0, 0x0f, 2048, 2048}},
     disk,
     0,
     {"warning: slot 1 has extended type 0f: the logical partitions inside it are not checked\n"}},
    {"type_00_with_a_size",
     {{0, 0x00, 2048, 2048}},
     disk,
     0,
     {"warning: slot 1 has type 00 but size 2048: Linux uses it, UEFI ignores it\n"}},
    {"unused_slot_keeps_its_first_sector", {{0, 0x00, 12345, 0}}, disk, 0, {}},
};

class table : public testing::TestWithParam<table_case> {};

TEST_P(table, status_and_findings)
{
    const table_case& row = GetParam();
    sector_bytes sector{};
    for (std::size_t i = 0; i < row.slots.size(); ++i) {
        partition_entry entry;
        entry.boot_flag = row.slots[i].flag;
        entry.part_type = row.slots[i].type;
        entry.lba_begin = row.slots[i].first;
        entry.lba_size = row.slots[i].size;
        const entry_bytes bytes = encode_entry(entry);
        std::copy(bytes.begin(), bytes.end(), sector.begin() + 446 + 16 * static_cast<long>(i));
    }
    if (row.signature) {
        sector[510] = 0x55;
        sector[511] = 0xaa;
    }

    const table_check check = check_table(sector, row.disk_sectors);
    std::vector<std::string> findings;
    for (std::size_t i = 0; i < check.finding_count; ++i) {
        text line;
        format_finding(line, check.findings[i]);
        findings.emplace_back(line.data.data(), line.size);
    }
    std::sort(findings.begin(), findings.end());
    EXPECT_EQ(findings, row.findings);
    EXPECT_EQ(has_errors(check) ? 1 : 0, row.status);
}

INSTANTIATE_TEST_SUITE_P(rows, table, testing::ValuesIn(table_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

} // namespace
