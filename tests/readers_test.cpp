// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What each reader model makes of crafted disks, one row a disk: every
// reader's partitions by its own numbers, what EDK2 writes, where a
// reader hangs or crashes.
#include <gtest/gtest.h>

#include <cstdio>
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

INSTANTIATE_TEST_SUITE_P(rows, reader_models, testing::ValuesIn(reader_rows),
                         [](const testing::TestParamInfo<reader_case>& param) {
                             return std::string(param.param.disk.name);
                         });

} // namespace
