// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What each reader model makes of crafted disks, one row a disk: every
// reader's partitions by its own numbers, what EDK2 writes, where a
// reader hangs or crashes.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "check_rows.h"
#include "readers/readers.h"

namespace {

// "scheme number@start+size ... writes first-last fails how", in the
// reader's own order.
std::string described(const reader_view& view)
{
    constexpr std::array<const char*, 4> schemes = {"none", "dos", "gpt", "cdrom"};
    std::string text = schemes[static_cast<std::size_t>(view.scheme)];
    std::array<char, 96> part{};
    for (std::size_t i = 0; i < view.count; ++i) {
        const made_partition& made = view.partitions[i];
        if (made.nested != 0) {
            std::snprintf(part.data(), part.size(), " %u.%u@%llu+%llu", made.number, made.nested,
                          static_cast<unsigned long long>(made.start),
                          static_cast<unsigned long long>(made.size));
        } else {
            std::snprintf(part.data(), part.size(), " %u@%llu+%llu", made.number,
                          static_cast<unsigned long long>(made.start),
                          static_cast<unsigned long long>(made.size));
        }
        text.append(part.data());
    }
    if (view.not_kept != 0) {
        std::snprintf(part.data(), part.size(), " +%zu", view.not_kept);
        text.append(part.data());
    }
    for (std::size_t i = 0; i < view.write_count; ++i) {
        std::snprintf(part.data(), part.size(), " writes %llu-%llu",
                      static_cast<unsigned long long>(view.writes[i].sectors.first),
                      static_cast<unsigned long long>(view.writes[i].sectors.last));
        text.append(part.data());
    }
    if (view.fails != reader_fails::none) {
        text.append(view.fails == reader_fails::hangs ? " hangs" : " crashes");
    }
    return text;
}

struct reader_case {
    table_case disk;
    std::array<const char*, board_count> views; // Linux, U-Boot, EDK2, GRUB
};

void PrintTo(const reader_case& row, std::ostream* out) { *out << row.disk.name; }

const ebr_bytes ebr_back_to_itself = {69632, {swap6, {0, 0x05, 34816, 4096}}};
const ebr_bytes empty_ebr_to_itself = {34816, {{0, 0x05, 0, 4096}}};
const slot_bytes boot_4k = {0x80, 0x0c, 256, 4096};
const slot_bytes extended_4k = {0, 0x0f, 4352, 8192};
const ebr_bytes ebr_4k = {4352, {{0, 0x83, 256, 2048}}};

void flip_crc(std::vector<std::uint8_t>& header) { header[16] ^= 1; }

const reader_case reader_rows[] = {
    {chain("two_logicals", 0, {}, {ebr5, ebr6}),
     {"dos 1@2048+32768 2@34816+2 5@36864+32768 6@71680+59392",
      "dos 1@2048+32768 2@34816+96256 5@36864+32768 6@71680+59392",
      "dos 1@2048+32768 2@34816+96256 2.1@36864+32768 2.2@71680+59392",
      "dos 1@2048+32768 5@36864+32768 6@71680+59392"}},
    // One logical sector is node enough where sectors are 4096 bytes.
    {chain("logical_in_4096_byte_sectors", 0, {}, {ebr_4k}, {boot_4k, extended_4k}, disk_4k),
     {"dos 1@256+4096 2@4352+1 5@4608+2048", "dos 1@256+4096 2@4352+8192 5@4608+2048",
      "dos 1@256+4096 2@4352+8192 2.1@4608+2048", "dos 1@256+4096 5@4608+2048"}},
    // A link back to its own EBR: Linux makes the partition again until
    // number 255, U-Boot until its nesting limit (neither checked here);
    // EDK2 never leaves the loop; GRUB makes it once more before its check
    // sees the loop.
    {chain("link_back_to_its_own_ebr", 1, {}, {ebr5, ebr_back_to_itself}),
     {"", "", "dos 1@2048+32768 2@34816+96256 2.1@36864+32768 2.2@71680+59392 hangs",
      "dos 1@2048+32768 5@36864+32768 6@71680+59392 7@71680+59392"}},
    // An EBR with no partition whose link leads back to it: U-Boot
    // recurses until its stack runs out.
    {chain("empty_ebr_linked_to_itself", 1, {}, {empty_ebr_to_itself}),
     {"dos 1@2048+32768 2@34816+2", "dos 1@2048+32768 2@34816+96256 crashes",
      "dos 1@2048+32768 2@34816+96256 hangs", "dos 1@2048+32768"}},
    // A primary whose CRC is wrong: Linux makes nothing, U-Boot takes the
    // backup, EDK2 writes a new primary and its entries from it, GRUB
    // reads the primary anyway.
    {gpt_row("primary_crc_wrong", 1, {}, {.partitions = three, .damage = flip_crc}),
     {"none", "gpt 1@2048+32768 2@34816+32768 3@67584+63455",
      "gpt 1@2048+32768 2@34816+32768 3@67584+63455 writes 1-33",
      "gpt 1@2048+32768 2@34816+32768 3@67584+63455"}},
    // No backup: EDK2 writes one, its entries past the last usable sector
    // and the header in the last.
    {gpt_row("no_backup", 1, {}, {.partitions = three, .backup = false}),
     {"gpt 1@2048+32768 2@34816+32768 3@67584+63455",
      "gpt 1@2048+32768 2@34816+32768 3@67584+63455",
      "gpt 1@2048+32768 2@34816+32768 3@67584+63455 writes 131039-131071",
      "gpt 1@2048+32768 2@34816+32768 3@67584+63455"}},
    // Entries out of order but apart: EDK2 compares every pair, and finds
    // no overlap.
    {gpt_row("entries_out_of_order", 0, {},
             {.partitions = {{linux_data, 34816, 67583},
                             {esp, 2048, 34815, attribute_legacy_bootable, "boot"}}}),
     {"gpt 1@34816+32768 2@2048+32768", "gpt 1@34816+32768 2@2048+32768",
      "gpt 1@34816+32768 2@2048+32768", "gpt 1@34816+32768 2@2048+32768"}},
    // One sector shared by two entries in order: EDK2 makes neither, and
    // so uses no scheme; the others make both.
    {gpt_row("entries_share_a_sector", 1, {},
             {.partitions = {{esp, 2048, 34816, attribute_legacy_bootable, "boot"},
                             {linux_data, 34816, 67583}}}),
     {"gpt 1@2048+32769 2@34816+32768", "gpt 1@2048+32769 2@34816+32768", "none",
      "gpt 1@2048+32769 2@34816+32768"}},
    // The third overlaps the first only: EDK2 makes the second alone.
    {gpt_row("third_over_the_first", 1, {},
             {.partitions = {{esp, 2048, 4095, attribute_legacy_bootable, "boot"},
                             {linux_data, 8192, 16383},
                             {linux_data, 4000, 6143}}}),
     {"", "", "gpt 2@8192+8192", ""}},
    // A header of 18 bytes, its CRC over them right: Linux wants 92, U-Boot
    // and EDK2 take a CRC over any size up to the sector's, with its CRC
    // field cut short.
    {gpt_row(
         "primary_header_of_18_bytes", 1, {},
         {.partitions = three, .edit = [](std::vector<std::uint8_t>& header) { header[12] = 18; }}),
     {"none", "gpt 1@2048+32768 2@34816+32768 3@67584+63455",
      "gpt 1@2048+32768 2@34816+32768 3@67584+63455",
      "gpt 1@2048+32768 2@34816+32768 3@67584+63455"}},
    // Attribute bit 1: EDK2 makes no partition of the entry.
    {gpt_row("os_specific_entry", 0, {},
             {.partitions = {{esp, 2048, 34815, 2, "boot"}, {linux_data, 34816, 67583}}}),
     {"gpt 1@2048+32768 2@34816+32768", "gpt 1@2048+32768 2@34816+32768", "gpt 2@34816+32768",
      "gpt 1@2048+32768 2@34816+32768"}},
};

class reader_models : public testing::TestWithParam<reader_case> {};

TEST_P(reader_models, make)
{
    const reader_case& row = GetParam();
    const checked_table table = check_row(row.disk);
    for (const board which : boards) {
        const char* want = row.views[static_cast<std::size_t>(which)];
        if (*want != '\0') {
            EXPECT_EQ(described(view_of(table.readers, which)), want)
                << "reader " << static_cast<int>(which);
        }
    }
}

// A chain of 12 EBRs 2 MiB apart, each sector as often as it is read from
// the disk: the checks and the four models share one read of each.
struct counted_disk {
    const table_case* row;
    std::map<std::uint64_t, int> reads;
};

const char* read_counted(const void* memory, std::uint64_t offset, std::span<std::uint8_t> out)
{
    auto& disk = *static_cast<counted_disk*>(const_cast<void*>(memory));
    for (std::uint64_t at = offset / 512; at <= (offset + out.size() - 1) / 512; ++at) {
        ++disk.reads[at];
    }
    return read_row(disk.row, offset, out);
}

table_case twelve_logicals()
{
    std::vector<ebr_bytes> ebrs;
    for (std::uint32_t i = 0; i < 12; ++i) {
        std::vector<slot_bytes> entries = {{0, 0x83, 2048, 2048}};
        if (i + 1 < 12) {
            entries.push_back({0, 0x05, 4096 * (i + 1), 4096});
        }
        ebrs.push_back({34816 + std::uint64_t{4096} * i, entries});
    }
    return chain("twelve_logicals", 0, {}, ebrs,
                 {{0x80, 0x0c, 2048, 32768}, {0, 0x0f, 34816, 49152}});
}

TEST(reader_models, share_one_read_of_each_table)
{
    const table_case row = twelve_logicals();
    counted_disk disk{&row, {}};
    const disk_geometry geometry = {geometry_problem::none, 512, row.disk.sectors, 0};
    const checked_table table = check_table(sector_of(row.slots, row.identifier, row.signature),
                                            geometry, {}, {read_counted, &disk});
    EXPECT_EQ(view_of(table.readers, board::u_boot).count, 14U);
    for (std::uint64_t i = 0; i < 12; ++i) {
        EXPECT_EQ(disk.reads[34816 + 4096 * i], 1) << "EBR " << i;
    }
}

// The MBR read from the disk rather than given: the models hold it while
// they follow its chain, each table read once for all four. The second
// EBR sits at sector 89, in the slot of the models' table memo that
// sector 0 would take, and its second entry, read as the MBR's slot 2,
// would be a partition 2.
TEST(reader_models, hold_the_mbr_while_they_read_the_chain)
{
    const table_case row = chain(
        "mbr_read_from_the_disk", 0, {},
        {{40, {{0, 0x83, 1, 40}, {0, 0x05, 49, 100}}}, {89, {{0, 0x83, 1, 50}, {0, 0x83, 60, 20}}}},
        {{0, 0x0f, 40, 1000}});
    counted_disk disk{&row, {}};
    const model_disk model = {
        {geometry_problem::none, 512, row.disk.sectors, 0}, {read_counted, &disk}, nullptr};
    reader_views views;
    read_as_each(model, views);
    EXPECT_EQ(described(view_of(views, board::linux_kernel)),
              "dos 1@40+2 5@41+40 6@90+50 7@149+20");
    EXPECT_EQ(described(view_of(views, board::u_boot)), "dos 1@40+1000 5@41+40 6@90+50 7@149+20");
    EXPECT_EQ(described(view_of(views, board::edk2)), "dos 1@40+1000 1.1@41+40 1.2@90+50");
    EXPECT_EQ(described(view_of(views, board::grub)), "dos 5@41+40 6@90+50 7@149+20");
    EXPECT_EQ(disk.reads[0], 1);
    EXPECT_EQ(disk.reads[89], 1);
}

INSTANTIATE_TEST_SUITE_P(rows, reader_models, testing::ValuesIn(reader_rows),
                         [](const testing::TestParamInfo<reader_case>& param) {
                             return std::string(param.param.disk.name);
                         });

} // namespace
