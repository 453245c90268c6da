// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Each rule at its limit: the table one sector (or one value) inside it,
// with no finding, and one past it, with the finding.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "check_rows.h"
#include "gpt/gpt_rules.h"
#include "table.h"

namespace {

constexpr sector_range around_2048_and_4095[] = {{2047, 2048}, {4095, 4096}};
constexpr sector_range around_data5[] = {{36863, 36864}, {69631, 69632}};
constexpr sector_range around_boot[] = {{2047, 2048}, {34815, 34816}};
constexpr sector_range around_the_gpt[] = {{0, 1}, {33, 34}, {131038, 131039}, {131070, 131071}};
constexpr sector_range around_the_arrays_in_4096[] = {{5, 6}, {16378, 16379}};
constexpr sector_range backup_array_range[] = {{131039, 131070}};
constexpr sector_range sector_2[] = {{2, 2}};

// An extended slot that ends 30720 sectors before the disk does.
const slot_bytes extended_to_100351 = {0, 0x0f, 34816, 65536};
const slot_bytes protective_4k = {0, 0xee, 1, 16383};

// A full array of 128 partitions of 1 MiB on a disk of 130 MiB, not in
// the order of their sectors: entry k lies at MiB 37 k mod 128 + 1 (entry
// 45 at MiB 2), entry 0, the boot partition, at MiB 1.
constexpr std::uint64_t full_disk_sectors = 266240;
const slot_bytes protective_full = {0, 0xee, 1, full_disk_sectors - 1};
constexpr test_disk full_disk = {full_disk_sectors};

gpt_bytes full_array()
{
    gpt_bytes gpt{.sectors = full_disk_sectors};
    for (std::uint64_t k = 0; k < 128; ++k) {
        const std::uint64_t first = 2048 * ((37 * k) % 128 + 1);
        gpt.partitions.push_back({k == 0 ? esp : linux_data, first, first + 2047,
                                  k == 0 ? attribute_legacy_bootable : 0});
    }
    return gpt;
}

gpt_bytes full_array_with(std::size_t entry, gpt_partition_bytes partition)
{
    gpt_bytes gpt = full_array();
    gpt.partitions[entry] = partition;
    return gpt;
}

// The extended slot of the chain alone, in a slot of its own.
table_case extended_in(const char* name, std::uint8_t type, std::size_t slot)
{
    std::vector<slot_bytes> slots(slot);
    slots.back() = {0, type, 34816, 96256};
    table_case row = chain(name, 0, {}, {ebr5, ebr6}, slots);
    row.listed_past_slots = {{{5, 36864, 32768}, {6, 71680, 59392}}};
    return row;
}

table_case listing(table_case row, std::vector<listed> made)
{
    row.listed_past_slots = std::move(made);
    return row;
}

table_case quoting(table_case row)
{
    row.quoted = true;
    return row;
}

table_case reserving(table_case row, std::span<const sector_range> reserved)
{
    row.disk.reserved = reserved;
    return row;
}

// EBRs 4096 sectors apart from sector 34816, the extended slot's first,
// the first of them the index'th there: each with the partition in entry 1
// (a zero entry for none) and a link to the next in entry 2, but the last
// where it ends the chain.
std::vector<ebr_bytes> ebr_run(std::uint32_t index, std::uint32_t count, slot_bytes partition,
                               bool last_links)
{
    std::vector<ebr_bytes> run;
    for (std::uint32_t i = index; i < index + count; ++i) {
        run.push_back({34816 + 4096ULL * i, {partition, {0, 0x05, 4096 * (i + 1), 4096}}});
    }
    if (!last_links) {
        run.back().entries.pop_back();
    }
    return run;
}

std::vector<ebr_bytes> joined(std::vector<ebr_bytes> one, const std::vector<ebr_bytes>& two)
{
    one.insert(one.end(), two.begin(), two.end());
    return one;
}

const slot_bytes part_2048 = {0, 0x83, 2048, 2048};
const slot_bytes long_extended = {0, 0x0f, 34816, 2000000};

void set_u64(std::vector<std::uint8_t>& header, std::size_t at, std::uint64_t value)
{
    put_le(header, at, value, 8);
}

const table_case boundary_cases[] = {
    // The last sector an MBR can name, and sector 1.
    {"ends_one_sector_past_the_last_mbr_sector",
     {{0, 0x83, 2048, 4294965249}},
     disk_8_tib,
     1,
     {{rule::past_last_mbr_sector, 1}}},
    {"starts_at_sector_1", {{0, 0x83, 1, 2047}}, disk, 0, {{rule::unaligned, 1}}},
    // One sector is a partition.
    listing(chain("one_sector_slot_and_logical", 0, {}, {{4096, {{0, 0x83, 2048, 1}}}},
                  {{0, 0x83, 2048, 1}, {0, 0x0f, 4096, 4096}}),
            {{5, 6144, 1}}),
    // 1 MiB, one sector either side.
    {"unaligned_one_sector_either_side_of_1_mib",
     {{0, 0x83, 2047, 1}, {0, 0x83, 2048, 1}, {0, 0x83, 2049, 1}},
     disk,
     0,
     {{rule::unaligned, 1}, {rule::unaligned, 3}}},
    {"unaligned_one_sector_either_side_of_1_mib_in_4096_byte_sectors",
     {{0, 0x83, 255, 1}, {0, 0x83, 256, 1}, {0, 0x83, 257, 1}},
     disk_4k,
     0,
     {{rule::unaligned, 1}, {rule::unaligned, 3}}},
    // Reserved ranges that take in one sector of each end.
    {"slot_over_reserved_sectors_by_one_at_either_end",
     {{0, 0x83, 2048, 2048}},
     {131072, 512, around_2048_and_4095},
     1,
     {{rule::over_reserved, 1, 0, 0, {2048, 2048}}, {rule::over_reserved, 1, 0, 0, {4095, 4095}}}},
    chain("logical_over_reserved_sectors_by_one_at_either_end", 1,
          {{rule::over_reserved, 2, 0, 0, {36863, 36864}},
           {rule::over_reserved, 2, 0, 0, {69631, 69632}},
           {rule::over_reserved, 5, 34816, 0, {36864, 36864}},
           {rule::over_reserved, 5, 34816, 0, {69631, 69631}}},
          {{34816, {data5}}}, {boot, extended}, {131072, 512, around_data5}),

    // A logical partition at the end of its extended slot and of the disk.
    chain("logical_ends_on_the_extended_slots_last_sector", 0, {},
          {{34816, {{0, 0x83, 2048, 63488}}}}, {boot, extended_to_100351}),
    chain("logical_one_sector_past_the_extended_slot", 1,
          {{rule::logical_outside, 5, 34816, 0, {36864, 100352}}},
          {{34816, {{0, 0x83, 2048, 63489}}}}, {boot, extended_to_100351}),
    chain("logical_one_sector_past_the_disk", 1,
          {{rule::past_disk_end, 2, 0, 0, {34816, 131072}},
           {rule::past_disk_end, 6, 69632, 0, {71680, 131072}}},
          {ebr5, {69632, {{0, 0x82, 2048, 59393}}}}, {boot, {0, 0x0f, 34816, 96257}}),
    chain("logical_one_sector_past_its_ebr", 0, {{rule::unaligned, 5, 34816}},
          {{34816, {{0, 0x83, 1, 32768}, link6}}, ebr6}),
    // The first EBR's partition over the next EBR: EDK2 sees the link
    // overlap it, and writing it destroys the chain.
    chain("logical_over_the_next_ebr_by_one_sector", 1,
          {{rule::link_over_partition, 5, 34816, 0, {69632, 69632}},
           {rule::logical_over_ebr, 5, 34816, 0, {69632, 69632}}},
          {{34816, {{0, 0x83, 2048, 32769}, link6}}, ebr6}),

    // Links to the last sector of the extended slot and of the disk, and
    // one past; an EBR of no entries ends the chain.
    listing(chain("link_to_the_extended_slots_last_sector", 0, {},
                  {{34816, {data5, {0, 0x05, 65535, 1}}}, {100351, {}}},
                  {boot, extended_to_100351}),
            {{5, 36864, 32768}}),
    chain("link_one_sector_past_the_extended_slot", 1,
          {{rule::link_outside, 5, 34816, 0, {100352, 100352}}},
          {{34816, {data5, {0, 0x05, 65536, 1}}}, {100352, {}}}, {boot, extended_to_100351}),
    chain("first_link_one_sector_past_the_extended_slot", 1,
          {{rule::first_link_past_extended, 5, 34816, 0, {69632, 100352}}},
          {{34816, {data5, {0, 0x05, 34816, 30721}}}, {69632, {{0, 0x82, 2048, 28672}}}},
          {boot, extended_to_100351}),
    listing(chain("link_to_the_disks_last_sector", 0, {},
                  {{34816, {data5, {0, 0x05, 96255, 1}}}, {131071, {}}}),
            {{5, 36864, 32768}}),
    chain("link_one_sector_past_the_disk", 1,
          {{rule::past_disk_end, 2, 0, 0, {34816, 131072}},
           {rule::link_past_disk_end, 5, 34816, 0, {131072, 131072}}},
          {{34816, {data5, {0, 0x05, 96256, 1}}}}, {boot, {0, 0x0f, 34816, 96257}}),

    // Each extended type in each slot.
    extended_in("extended_05_in_slot_1", 0x05, 1),
    extended_in("extended_0f_in_slot_1", 0x0f, 1),
    extended_in("extended_85_in_slot_1", 0x85, 1),
    extended_in("extended_05_in_slot_3", 0x05, 3),
    extended_in("extended_0f_in_slot_3", 0x0f, 3),
    extended_in("extended_85_in_slot_3", 0x85, 3),
    extended_in("extended_05_in_slot_4", 0x05, 4),
    extended_in("extended_0f_in_slot_4", 0x0f, 4),
    extended_in("extended_85_in_slot_4", 0x85, 4),
    // The links' types: 0f is followed as 05 is; Linux makes a partition of
    // a link of type 00 and ends the chain.
    chain("link_of_type_0f", 0, {}, {{34816, {data5, {0, 0x0f, 34816, 61440}}}, ebr6}),
    listing(chain("link_of_type_00", 1, {{rule::link_not_extended, 5, 34816}},
                  {{34816, {data5, {0, 0x00, 34816, 61440}}}, ebr6}),
            {{5, 36864, 32768}, {6, 69632, 61440}}),

    // Findings of an EBR's later entries. GRUB holds every entry's flag,
    // used or not, to 00 or 80.
    quoting(chain(
        "bad_boot_flag_on_the_link", 1,
        {{.what = rule::ebr_bad_boot_flag, .part = 5, .ebr = 34816, .entry = 2, .value = 0x01}},
        {{34816, {data5, {0x01, 0x05, 34816, 61440}}}, ebr6})),
    quoting(chain(
        "bad_boot_flag_in_an_empty_entry_3", 1,
        {{.what = rule::ebr_bad_boot_flag, .part = 5, .ebr = 34816, .entry = 3, .value = 0x01}},
        {{34816, {data5, link6, {0x01, 0, 0, 0}}}, ebr6})),
    chain("flag_80_in_an_empty_entry_4", 0, {},
          {{34816, {data5, link6, {}, {0x80, 0, 0, 0}}}, ebr6}),
    // Linux makes a partition of entry 4 only within the link that led to
    // its EBR.
    quoting(listing(chain("entry_4_ends_on_its_links_last_sector", 1,
                          {{.what = rule::ebr_extra_entry, .part = 6, .ebr = 69632, .entry = 4}},
                          {{34816, {data5, {0, 0x05, 34816, 30720}}},
                           {69632, {{}, {}, {}, {0, 0x83, 2048, 28672}}}}),
                    {{5, 36864, 32768}, {6, 71680, 28672}})),
    quoting(listing(chain("entry_4_one_sector_past_its_link", 1,
                          {{.what = rule::ebr_extra_entry, .ebr = 69632, .entry = 4}},
                          {{34816, {data5, {0, 0x05, 34816, 30720}}},
                           {69632, {{}, {}, {}, {0, 0x83, 2048, 28673}}}}),
                    {{5, 36864, 32768}})),

    // Loops and long chains.
    chain("link_back_to_the_middle_ebr", 1, {{rule::chain_loop, 7, 86016, 0, {69632, 86015}}},
          {{34816, {data5, {0, 0x05, 34816, 30720}}},
           {69632, {{0, 0x82, 2048, 14336}, {0, 0x05, 51200, 20480}}},
           {86016, {{0, 0x83, 2048, 18432}, {0, 0x05, 34816, 16384}}}}),
    // Partition 255 is the last Linux makes; the next EBR's is
    // chain_longer_than_linux_reads.
    chain("chain_of_251_logicals", 0, {}, ebr_run(0, 251, part_2048, false), {boot, long_extended},
          disk_8_tib),
    // 256 EBRs, the most the walk reads: 6 without a partition, 250 with.
    chain("chain_of_256_ebrs", 1,
          {{rule::ebr_without_partition, 0, 34816},
           {rule::ebr_without_partition, 0, 38912},
           {rule::ebr_without_partition, 0, 43008},
           {rule::ebr_without_partition, 0, 47104},
           {rule::ebr_without_partition, 0, 51200},
           {rule::ebr_without_partition, 0, 55296}},
          joined(ebr_run(0, 6, {}, true), ebr_run(6, 250, part_2048, false)), {boot, long_extended},
          disk_8_tib),

    // The GPT's entries at the disk's end and at the arrays.
    gpt_row("gpt_entry_one_sector_past_the_disk", 1,
            {{.what = rule::gpt_over_partition, .other = 2, .sectors = {131071, 131071}},
             {.what = rule::gpt_over_partition, .other = 2, .sectors = {131039, 131070}},
             {rule::gpt_entry_outside_usable, 2, 0, 0, {34816, 131072}},
             {rule::past_disk_end, 2, 0, 0, {34816, 131072}}},
            {.partitions = {three[0], {linux_data, 34816, 131072}}}),
    gpt_row("gpt_reversed_entry_from_the_last_sector", 1, {{rule::gpt_entry_reversed, 2}},
            {.partitions = {three[0], {linux_data, 131071, 131070}}}),
    gpt_row("gpt_reversed_entry_from_one_past_the_disk", 1,
            {{rule::gpt_entry_reversed, 2}, {rule::past_disk_end, 2, 0, 0, {131071, 131072}}},
            {.partitions = {three[0], {linux_data, 131072, 131071}}}),
    listing(gpt_row("gpt_one_sector_partition", 0, {},
                    {.partitions = {{esp, 2048, 2048, attribute_legacy_bootable}}}),
            {{1, 2048, 1}}),
    gpt_row("gpt_partition_from_the_first_usable_sector", 0, {{rule::unaligned, 1}},
            {.partitions = {{esp, 34, 34815, attribute_legacy_bootable}}}),
    gpt_row("gpt_partition_over_the_arrays_last_sector", 1,
            {{.what = rule::gpt_over_partition, .other = 1, .sectors = {33, 33}},
             {rule::gpt_entry_outside_usable, 1, 0, 0, {33, 34815}},
             {rule::unaligned, 1}},
            {.partitions = {{esp, 33, 34815, attribute_legacy_bootable}}}),
    // The same from the second entry, the first lying further on.
    gpt_row("gpt_second_entry_over_the_arrays_last_sector", 1,
            {{.what = rule::gpt_over_partition, .other = 2, .sectors = {33, 33}},
             {rule::gpt_entry_outside_usable, 2, 0, 0, {33, 34815}},
             {rule::unaligned, 2}},
            {.partitions = {three[1], {esp, 33, 34815, attribute_legacy_bootable}}}),
    gpt_row("gpt_partition_over_the_backup_arrays_first_sector", 1,
            {{.what = rule::gpt_over_partition, .other = 2, .sectors = {131039, 131039}},
             {rule::gpt_entry_outside_usable, 2, 0, 0, {34816, 131039}}},
            {.partitions = {three[0], {linux_data, 34816, 131039}}}),
    gpt_row("gpt_entries_overlap_by_one_sector", 1, {{rule::overlap, 1, 0, 2, {34816, 34816}}},
            {.partitions = {{esp, 2048, 34816, attribute_legacy_bootable}, three[1]}}),
    // Out of the array's order the partitions are held to each other all the
    // same: the first and the third share a sector, the second lies before
    // both; touching without sharing one is no overlap.
    gpt_row("gpt_entries_out_of_order_overlap_by_one_sector", 1,
            {{rule::overlap, 1, 0, 3, {67584, 67584}}},
            {.partitions = {{linux_data, 67584, 100351}, three[0], {linux_data, 34816, 67584}}}),
    gpt_row("gpt_full_array_out_of_order", 0, {{rule::gpt_entry_past_56, 57}}, full_array(),
            {protective_full}, full_disk),
    gpt_row("gpt_full_array_first_into_the_next_by_one_sector", 1,
            {{rule::overlap, 1, 0, 46, {4096, 4096}}, {rule::gpt_entry_past_56, 57}},
            full_array_with(0, {esp, 2048, 4096, attribute_legacy_bootable}), {protective_full},
            full_disk),
    gpt_row("gpt_full_array_unique_guid_twice", 0,
            {{rule::gpt_guid, 100, 0, 3}, {rule::gpt_entry_past_56, 57}},
            full_array_with(99, {linux_data, 2048 * (37 * 99 % 128 + 1),
                                 2048 * (37 * 99 % 128 + 1) + 2047, 0, "", 0, 3}),
            {protective_full}, full_disk),
    gpt_row("gpt_entries_out_of_order_touching", 0, {},
            {.partitions = {{linux_data, 67584, 100351}, three[0], {linux_data, 34816, 67583}}}),
    reserving(gpt_row("gpt_entry_over_reserved_sectors_by_one_at_either_end", 1,
                      {{rule::over_reserved, 1, 0, 0, {2048, 2048}},
                       {rule::over_reserved, 1, 0, 0, {34815, 34815}}},
                      {.partitions = {three[0]}}),
              around_boot),
    // Header, array, backup header, backup array.
    reserving(gpt_row("gpt_headers_and_arrays_over_reserved_sectors_by_one", 1,
                      {{.what = rule::over_reserved, .sectors = {1, 1}},
                       {.what = rule::over_reserved, .sectors = {33, 33}},
                       {.what = rule::over_reserved, .sectors = {131071, 131071}},
                       {.what = rule::over_reserved, .sectors = {131039, 131039}},
                       {.what = rule::over_reserved, .sectors = {131070, 131070}}},
                      {.partitions = {three[0]}}),
              around_the_gpt),

    // The header's usable range and array.
    gpt_row(
        "gpt_last_usable_over_the_backup_array", 0,
        {{.what = rule::gpt_array_placement, .sectors = {131039, 131070}}},
        {.partitions = three,
         .edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 131039); },
         .edit_backup = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 131039); }}),
    gpt_row(
        "gpt_last_usable_on_the_disks_last_sector", 0,
        {{.what = rule::gpt_array_placement, .sectors = {131039, 131070}}},
        {.partitions = three,
         .edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 131071); },
         .edit_backup = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 131071); }}),
    // U-Boot and EDK2 take the backup.
    listing(
        gpt_row("gpt_last_usable_one_past_the_disk", 1,
                {{.what = rule::gpt_primary_invalid,
                  .other = u_boot_makes_some | edk2_makes_some | grub_makes_some,
                  .sectors = {1, 1},
                  .field = gpt_field::last_usable}},
                {.partitions = three,
                 .edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 131072); }}),
        {{1, 2048, 32768}, {2, 34816, 32768}, {3, 67584, 63455}}),
    gpt_row("gpt_usable_range_of_one_sector", 0, {{rule::gpt_no_boot_partition}},
            {.edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 34); },
             .edit_backup = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 34); }}),
    gpt_row(
        "gpt_usable_range_reversed", 1,
        {{.what = rule::gpt_primary_invalid, .sectors = {1, 1}, .field = gpt_field::usable_range}},
        {.edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 33); },
         .edit_backup = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 33); }}),
    gpt_row("gpt_first_usable_on_the_arrays_last_sector", 0,
            {{.what = rule::gpt_array_placement, .sectors = {2, 33}}},
            {.partitions = three,
             .edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 40, 33); },
             .edit_backup = [](std::vector<std::uint8_t>& header) { set_u64(header, 40, 33); }}),
    gpt_row("gpt_array_of_4_mib", 0, {},
            {.partitions = {{esp, 10240, 34815, attribute_legacy_bootable}}, .entry_count = 32768}),
    // The array moved to the disk's end, its first usable sector kept.
    gpt_row("gpt_array_ends_on_the_disks_last_sector", 1,
            {{.what = rule::gpt_backup_invalid,
              .sectors = {131071, 131071},
              .field = gpt_field::signature},
             {.what = rule::gpt_over_partition, .sectors = {131071, 131071}},
             {.what = rule::gpt_array_placement, .sectors = {131040, 131071}}},
            {.partitions = three,
             .entries_lba = 131040,
             .backup = false,
             .edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 40, 34); }}),
    gpt_row("gpt_array_one_sector_past_the_disk", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::array_place}},
            {.partitions = three,
             .entries_lba = 131041,
             .backup = false,
             .edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 40, 34); }}),
    // A header size from 92 to the sector's.
    gpt_row("gpt_header_of_91_bytes", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = u_boot_makes_some | edk2_makes_some | grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::header_size}},
            {.partitions = three,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 12, 91); }}),
    quoting(gpt_row("gpt_header_of_512_bytes", 0, {{.what = rule::gpt_header_size, .value = 512}},
                    {.partitions = three,
                     .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 12, 512); }})),
    gpt_row("gpt_header_of_513_bytes", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = u_boot_makes_some | edk2_makes_some | grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::header_size}},
            {.partitions = three,
             .damage = [](std::vector<std::uint8_t>& header) { set_u32(header, 12, 513); }}),

    // The backup and its own fields.
    gpt_row("gpt_alternate_lba_one_past_the_disk", 0,
            {{.what = rule::gpt_backup_flawed,
              .sectors = {131072, 131072},
              .field = gpt_field::alternate_lba}},
            {.partitions = three,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 32, 131072); }}),
    gpt_row("gpt_backup_one_sector_before_the_end", 0,
            {{.what = rule::ee_size, .part = 1, .sectors = {1, 131072}},
             {.what = rule::gpt_backup_not_at_end, .sectors = {131071, 131071}}},
            {three}, {protective}, {131073}),
    gpt_row(
        "gpt_backup_my_lba_wrong", 1,
        {{.what = rule::gpt_backup_invalid,
          .sectors = {131071, 131071},
          .field = gpt_field::my_lba}},
        {.partitions = three,
         .edit_backup = [](std::vector<std::uint8_t>& header) { set_u32(header, 24, 131070); }}),
    gpt_row("gpt_backup_alternate_lba_wrong", 0,
            {{.what = rule::gpt_backup_differs, .sectors = {131071, 131071}}},
            {.partitions = three,
             .edit_backup = [](std::vector<std::uint8_t>& header) { set_u32(header, 32, 2); }}),
    gpt_row("gpt_backup_entries_crc_wrong", 1,
            {{.what = rule::gpt_backup_invalid,
              .sectors = {131071, 131071},
              .field = gpt_field::array_crc}},
            {.partitions = three, .damaged_backup_entry_byte = 300}),
    // EDK2 takes a backup that breaks only Linux's rules, and writes
    // nothing: header sizes of 91 and of 1, a usable range reversed.
    gpt_row("gpt_backup_header_of_91_bytes", 0,
            {{.what = rule::gpt_backup_flawed,
              .sectors = {131071, 131071},
              .field = gpt_field::header_size}},
            {.partitions = three,
             .edit_backup = [](std::vector<std::uint8_t>& header) { set_u32(header, 12, 91); }}),
    gpt_row("gpt_backup_header_of_1_byte", 0,
            {{.what = rule::gpt_backup_flawed,
              .sectors = {131071, 131071},
              .field = gpt_field::header_size}},
            {.partitions = three,
             .edit_backup = [](std::vector<std::uint8_t>& header) { set_u32(header, 12, 1); }}),
    gpt_row("gpt_backup_header_of_0_bytes", 1,
            {{.what = rule::gpt_backup_invalid,
              .sectors = {131071, 131071},
              .field = gpt_field::header_size}},
            {.partitions = three,
             .damage_backup = [](std::vector<std::uint8_t>& header) { set_u32(header, 12, 0); }}),
    gpt_row("gpt_backup_usable_range_reversed", 0,
            {{.what = rule::gpt_backup_flawed,
              .sectors = {131071, 131071},
              .field = gpt_field::usable_range}},
            {.partitions = three,
             .edit_backup = [](std::vector<std::uint8_t>& header) { set_u64(header, 48, 33); }}),
    // An alternate LBA of 0 names the MBR: EDK2 writes its backup there.
    quoting(gpt_row(
        "gpt_alternate_lba_0", 1,
        {{.what = rule::gpt_backup_invalid, .sectors = {0, 0}, .field = gpt_field::signature}},
        {.partitions = three,
         .edit = [](std::vector<std::uint8_t>& header) { set_u64(header, 32, 0); }})),
    // A valid backup's own size and revision.
    quoting(gpt_row(
        "gpt_backup_header_of_512_bytes", 0, {{.what = rule::gpt_header_size, .value = 512}},
        {.partitions = three,
         .edit_backup = [](std::vector<std::uint8_t>& header) { set_u32(header, 12, 512); }})),
    quoting(
        gpt_row("gpt_backup_revision_1_1", 0, {{.what = rule::gpt_revision, .value = 0x00010001}},
                {.partitions = three,
                 .edit_backup =
                     [](std::vector<std::uint8_t>& header) { set_u32(header, 8, 0x00010001); }})),
    gpt_row("gpt_backup_crc_wrong", 1,
            {{.what = rule::gpt_backup_invalid,
              .sectors = {131071, 131071},
              .field = gpt_field::header_crc}},
            {.partitions = three,
             .damage_backup = [](std::vector<std::uint8_t>& header) { header[60] ^= 1; }}),

    // Sector sizes: a 4096-byte GPT's array is 4 sectors; a GPT laid out
    // for other sectors than the disk's is found by its signature.
    listing(gpt_row("gpt_in_4096_byte_sectors", 0, {},
                    {.partitions = {{esp, 256, 4351, attribute_legacy_bootable}},
                     .sectors = 16384,
                     .sector_size = 4096},
                    {protective_4k}, disk_4k),
            {{1, 256, 4096}}),
    reserving(gpt_row("gpt_arrays_of_4_sectors_in_4096_byte_sectors", 1,
                      {{.what = rule::over_reserved, .sectors = {5, 5}},
                       {.what = rule::over_reserved, .sectors = {16379, 16379}}},
                      {.partitions = {{esp, 256, 4351, attribute_legacy_bootable}},
                       .sectors = 16384,
                       .sector_size = 4096},
                      {protective_4k}, disk_4k),
              around_the_arrays_in_4096),
    quoting(gpt_row("gpt_of_1024_byte_sectors", 1, {{.what = rule::gpt_sector_size, .value = 1024}},
                    {.partitions = {{esp, 1024, 17407, attribute_legacy_bootable}},
                     .sectors = 65536,
                     .sector_size = 1024})),
    quoting(gpt_row("gpt_of_2048_byte_sectors", 1, {{.what = rule::gpt_sector_size, .value = 2048}},
                    {.partitions = {{esp, 512, 8703, attribute_legacy_bootable}},
                     .sectors = 32768,
                     .sector_size = 2048})),
    quoting(gpt_row("gpt_of_512_byte_sectors_on_a_4096_byte_disk", 1,
                    {{.what = rule::gpt_sector_size, .value = 512}}, {three}, {protective_4k},
                    disk_4k)),

    // U-Boot's boot scan looks at partitions 1 to 29; its lookups stop at
    // entry 128.
    gpt_row("gpt_bootable_partition_29", 0, {},
            {.partitions = {{linux_data, 2048, 34815, attribute_legacy_bootable, "", 28}}}),
    // Attribute bit 1 on the one partition EDK2 or U-Boot's boot scan
    // would boot from, and on one of two.
    quoting(gpt_row("gpt_only_esp_hidden", 1,
                    {{.what = rule::gpt_hidden_boot, .part = 1, .value = 1}},
                    {.partitions = {{esp, 2048, 34815, attribute_no_block_io, "boot"},
                                    {linux_data, 34816, 67583}}})),
    gpt_row("gpt_one_of_two_esps_hidden", 0, {{rule::gpt_hidden, 1}},
            {.partitions = {{esp, 2048, 34815, attribute_no_block_io, "boot"},
                            {esp, 34816, 67583, 0, "boot2"}}}),
    gpt_row("gpt_only_boot_scan_partition_hidden", 1, {{rule::gpt_hidden_boot, 1}},
            {.partitions = {{linux_data, 2048, 34815,
                             attribute_legacy_bootable | attribute_no_block_io},
                            {linux_data, 34816, 67583}}}),
    // U-Boot built with 32-bit block numbers counts a disk's blocks modulo
    // 2^32.
    gpt_row("gpt_disk_of_2_to_the_32_sectors_less_one", 0, {},
            {.partitions = three, .sectors = 4294967295}, {{0, 0xee, 1, 4294967294}}, {4294967295}),
    quoting(gpt_row("gpt_disk_of_2_to_the_32_sectors", 1,
                    {{.what = rule::gpt_blocks_past_32_bits, .value = 4294967296}},
                    {.partitions = three, .sectors = 4294967296}, {{0, 0xee, 1, 4294967295}},
                    {4294967296})),
    // U-Boot for sunxi finds partitions by name or UUID up to 56.
    gpt_row("gpt_entry_56", 0, {},
            {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 55}}}),
    gpt_row("gpt_entry_57", 0, {{rule::gpt_entry_past_56, 57}},
            {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 56}}}),
    listing(gpt_row("gpt_entry_128", 0, {{rule::gpt_entry_past_56, 128}},
                    {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 127}}}),
            {{1, 2048, 32768}, {128, 34816, 32768}}),
    gpt_row("gpt_entry_129_of_256", 0, {{rule::gpt_entry_past_128, 129}},
            {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 128}}, .entry_count = 256}),
    listing(gpt_row("gpt_entry_255_of_256", 0, {{rule::gpt_entry_past_128, 255}},
                    {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 254}},
                     .entry_count = 256}),
            {{1, 2048, 32768}, {255, 34816, 32768}}),
    // Linux makes no partition of entry 256, however few are used before it.
    listing(gpt_row("gpt_entry_256_of_256", 1, {{rule::gpt_entry_past_255, 256}},
                    {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 255}},
                     .entry_count = 256}),
            {{1, 2048, 32768}}),

    // Faults a checker could have, each a row that tells it apart.
    // Entry 3 too is bounded by its link, as entry 4 is.
    listing(chain("entry_3_one_sector_past_its_link", 1,
                  {{.what = rule::ebr_extra_entry, .ebr = 69632}},
                  {{34816, {data5, {0, 0x05, 34816, 30720}}},
                   {69632, {{}, {}, {0, 0x83, 2048, 28673}}}}),
            {{5, 36864, 32768}}),
    // An entry 3 inside a later link that reaches past the extended slot,
    // but itself past the slot: Linux makes none of it.
    listing(chain("entry_3_past_the_extended_slot_inside_its_link", 1,
                  {{rule::ebr_extra_entry, 7, 83968}},
                  {ebr5,
                   {69632, {{0, 0x82, 2048, 12288}, {0, 0x05, 49152, 200000}}},
                   {83968, {{0, 0x83, 2048, 12288}, {}, {0, 0x83, 16384, 40000}}}}),
            {{5, 36864, 32768}, {6, 71680, 12288}, {7, 86016, 12288}}),
    // A link in entry 1 and nothing in entry 2 is no partition, not a link
    // before one.
    chain("ebr_with_a_link_in_entry_1_alone", 1, {{rule::ebr_without_partition, 0, 34816}},
          {{34816, {link6}}, ebr6}),
    chain("ebr_with_a_link_of_size_0_in_entry_1", 1,
          {{rule::link_size_zero, 0, 34816}, {rule::ebr_without_partition, 0, 34816}},
          {{34816, {{0, 0x05, 2048, 0}}}}),
    // A link of size 0 is not followed.
    listing(chain("link_of_size_0_not_followed", 1, {{rule::link_size_zero, 5, 34816}},
                  {{34816, {data5, {0, 0x05, 34816, 0}}}, ebr6}),
            {{5, 36864, 32768}}),
    // Nothing is walked from an extended slot of size 0 or at sector 0.
    listing(chain("extended_slot_of_size_0", 1, {{rule::size_zero, 2}}, {ebr5, ebr6},
                  {boot, {0, 0x0f, 34816, 0}}),
            {}),
    listing(chain("extended_slot_at_sector_0", 1, {{rule::starts_at_zero, 1}}, {ebr5, ebr6},
                  {{0, 0x0f, 0, 2048}, boot}),
            {}),
    // Three partitions out of disk order: the last is named with the
    // earlier one that starts last, not the first that starts after it.
    chain("logical_named_with_the_earlier_that_starts_last", 0, {{rule::out_of_order, 7, 55296, 6}},
          {{34816, {{0, 0x83, 36864, 4096}, {0, 0x05, 10240, 20480}}},
           {45056, {{0, 0x83, 43008, 4096}, {0, 0x05, 20480, 10240}}},
           {55296, {{0, 0x83, 2048, 4096}}}}),
    // A hybrid slot as large as a GPT partition that starts elsewhere.
    gpt_row(
        "hybrid_slot_the_size_of_a_partition_elsewhere", 0,
        {{rule::ee_not_first, 2}, {rule::hybrid}, {rule::hybrid_mismatch, 1, 0, 0, {4096, 36863}}},
        {three}, {{0x80, 0x0c, 4096, 32768}, {0, 0xee, 1, 2047}}),
    // A GPT disk of two sectors: the primary is read, and lies past it.
    [] {
        table_case row = gpt_row("gpt_disk_of_two_sectors", 1,
                                 {{.what = rule::gpt_primary_invalid,
                                   .sectors = {1, 1},
                                   .field = gpt_field::last_usable}},
                                 {three}, {{0, 0xee, 1, 1}}, {2});
        row.patches.resize(1);
        return row;
    }(),

    // A Minix slot past the disk is not read; one whose entry 1 is not of
    // type 81 holds no table, whatever its other entries.
    {.name = "minix_slot_past_the_disk",
     .slots = {{0, 0x81, 200704, 8192}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::past_disk_end, 1, 0, 0, {200704, 208895}}},
     .listed_past_slots = {{}}},
    {.name = "minix_table_needs_type_81_in_entry_1",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 0,
     .findings = {},
     .ebrs = {{2048, {{0, 0x83, 4096, 2048}, {0, 0x81, 6144, 2048}}}},
     .listed_past_slots = {{}}},
    // Linux makes no Minix subpartition past partition 255.
    [] {
        table_case row = chain("minix_past_partition_255", 0, {}, ebr_run(0, 251, part_2048, false),
                               {boot, long_extended, {0, 0x81, 2035712, 8192}}, disk_8_tib);
        row.ebrs.push_back({2035712, {{0, 0x81, 2037760, 2048}}});
        return row;
    }(),
    // An invalid backup's array is no structure of the GPT to keep clear.
    reserving(
        gpt_row("gpt_invalid_backups_array_not_kept_clear", 1,
                {{.what = rule::gpt_backup_invalid,
                  .sectors = {131071, 131071},
                  .field = gpt_field::header_crc}},
                {.partitions = three,
                 .damage_backup = [](std::vector<std::uint8_t>& header) { header[60] ^= 1; }}),
        backup_array_range),
    // An array of one sector at sector 0, over the MBR.
    gpt_row("gpt_array_over_the_mbr", 1,
            {{.what = rule::gpt_over_partition, .sectors = {0, 0}},
             {.what = rule::gpt_array_placement, .sectors = {0, 0}}},
            {.partitions = three, .entry_count = 4, .entries_lba = 0}),
    // The backup's array after its header, both past the last usable sector.
    [] {
        table_case row = gpt_row(
            "gpt_backup_array_after_its_header", 0,
            {{.what = rule::gpt_array_placement, .sectors = {131040, 131071}},
             {.what = rule::gpt_backup_not_at_end, .sectors = {131039, 131039}}},
            {.partitions = three,
             .edit = [](std::vector<std::uint8_t>& header) { put_le(header, 32, 131039, 8); },
             .edit_backup =
                 [](std::vector<std::uint8_t>& header) {
                     put_le(header, 24, 131039, 8);
                     put_le(header, 72, 131040, 8);
                 }});
        row.patches[2].offset = std::uint64_t{131040} * 512;
        row.patches[3].offset = std::uint64_t{131039} * 512;
        return row;
    }(),
    // A second ee entry elsewhere: the first is at sector 1.
    gpt_row("gpt_second_ee_entry_not_at_sector_1", 0, {{rule::ee_not_first, 2, 0, 1}}, {three},
            {protective, {0, 0xee, 4096, 100}}),
    // A GPT left behind on a disk of 4096-byte sectors.
    [] {
        table_case row = {"stale_gpt_in_4096_byte_sectors",
                          {{0, 0x83, 256, 4096}},
                          disk_4k,
                          0,
                          {{rule::stale_gpt}}};
        row.patches = {
            gpt_image({.partitions = {{esp, 256, 4351}}, .sectors = 16384, .sector_size = 4096})
                .front()};
        return row;
    }(),
    // A valid backup with another usable range, or the right array behind
    // the wrong CRC.
    gpt_row(
        "gpt_backup_of_another_usable_range", 0,
        {{.what = rule::gpt_backup_differs, .sectors = {131071, 131071}}},
        {.partitions = three,
         .edit_backup = [](std::vector<std::uint8_t>& header) { put_le(header, 48, 131037, 8); }}),
    gpt_row("gpt_backup_entries_crc_field_wrong", 1,
            {{.what = rule::gpt_backup_invalid,
              .sectors = {131071, 131071},
              .field = gpt_field::array_crc}},
            {.partitions = three,
             .edit_backup = [](std::vector<std::uint8_t>& header) { header[88] ^= 1; }}),
    // Boot code in a first EBR without entries: still an empty extended
    // partition.
    [] {
        table_case row = listing(chain("first_ebr_with_boot_code_only", 0, {}, {}), {});
        row.patches = {{34816 * 512 + 440, {0x12}}};
        return row;
    }(),
    // Entry 3 from the extended partition's first sector is inside it.
    listing(chain("entry_3_at_the_extended_slots_first_sector", 1,
                  {{rule::ebr_extra_entry, 5, 34816},
                   {rule::logical_at_ebr, 6, 34816},
                   {rule::out_of_order, 6, 34816, 5}},
                  {{34816, {data5, {}, {0, 0x83, 0, 2048}}}}),
            {{5, 36864, 32768}, {6, 34816, 2048}}),
    // A logical partition over slot 4, and a Minix table in slot 4.
    chain("logical_over_slot_4", 1,
          {{rule::overlap, 2, 0, 4, {100000, 109999}},
           {rule::overlap, 6, 69632, 4, {100000, 109999}},
           {rule::unaligned, 4}},
          {ebr5, ebr6}, {boot, extended, {}, {0, 0x83, 100000, 10000}}),
    {.name = "minix_in_slot_4",
     .slots = {{}, {}, {}, {0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 4, 0, 5}},
     .ebrs = {{2048, {{0, 0x81, 4096, 2048}}}},
     .listed_past_slots = {{{5, 4096, 2048}}}},
    // A Minix slot of size 0 holds no table; a subpartition at sector 0
    // has no EBR to start at.
    {.name = "minix_slot_of_size_0",
     .slots = {{0, 0x81, 2048, 0}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::size_zero, 1}},
     .ebrs = {{2048, {{0, 0x81, 4096, 2048}}}},
     .listed_past_slots = {{}}},
    {.name = "minix_subpartition_at_sector_0",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 1, 0, 5}},
     .ebrs = {{2048, {{0, 0x81, 0, 2048}}}},
     .listed_past_slots = {{{5, 0, 2048}}}},
    // A hybrid's ee entry may cover its other entries, in any slot.
    gpt_row("hybrid_ee_over_the_other_entry", 0, {{rule::ee_not_first, 2}, {rule::hybrid}}, {three},
            {{0x80, 0x0c, 2048, 32768}, protective}),
    // A GPT disk of one sector: no header is read, none past the disk.
    gpt_row("gpt_disk_of_one_sector", 1,
            {{.what = rule::gpt_primary_invalid, .sectors = {1, 1}, .field = gpt_field::signature}},
            {three}, {{0, 0xee, 1, 0}}, {1}),
    // A backup whose array differs from the primary's in its first byte
    // alone, behind the primary's CRC.
    [] {
        table_case row = gpt_row("gpt_backup_array_differs_in_its_first_byte", 1,
                                 {{.what = rule::gpt_backup_invalid,
                                   .sectors = {131071, 131071},
                                   .field = gpt_field::array_crc}},
                                 {three});
        row.patches[2].bytes[0] ^= 1;
        return row;
    }(),
    // Only an entry 1 with a type is a partition a first link may lie over.
    chain("first_link_over_a_type_00_entry", 1,
          {{rule::logical_type_zero, 5, 34816},
           {rule::logical_over_ebr, 5, 34816, 0, {69632, 69632}},
           {rule::overlap, 6, 69632, 5, {71680, 76863}}},
          {{34816, {{0, 0x00, 2048, 40000}, link6}}, ebr6}),
    // An extended slot that starts on the disk's end is not walked.
    listing(chain("extended_slot_from_the_disks_end", 1,
                  {{rule::past_disk_end, 2, 0, 0, {131072, 133119}}}, {},
                  {boot, {0, 0x0f, 131072, 2048}}),
            {}),
    // Two logical partitions of one first sector: not out of order.
    chain("logicals_of_one_first_sector", 1,
          {{rule::link_over_partition, 5, 34816, 0, {36864, 38911}},
           {rule::overlap, 6, 35840, 5, {36864, 38911}}},
          {{34816, {{0, 0x83, 2048, 2048}, {0, 0x05, 1024, 4096}}},
           {35840, {{0, 0x83, 1024, 2048}}}}),
    // Three partitions, the second before the first and the third before
    // both: each is named with the one that starts last.
    chain("logicals_named_with_the_one_that_starts_last", 0,
          {{rule::out_of_order, 6, 45056, 5}, {rule::out_of_order, 7, 55296, 5}},
          {{34816, {{0, 0x83, 53248, 4096}, {0, 0x05, 10240, 20480}}},
           {45056, {{0, 0x83, 26624, 4096}, {0, 0x05, 20480, 10240}}},
           {55296, {{0, 0x83, 2048, 4096}}}}),
    // A Minix subpartition may reach past its slot, and lie over an EBR.
    {.name = "minix_subpartition_past_its_slot",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 1, 0, 5}},
     .ebrs = {{2048, {{0, 0x81, 4096, 8192}}}},
     .listed_past_slots = {{{5, 4096, 8192}}}},
    {.name = "minix_subpartition_over_the_first_ebr",
     .slots = {boot, {0, 0x0f, 34816, 65536}, {0, 0x81, 100352, 30720}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 3, 0, 6},
                  {rule::logical_over_ebr, 6, 0, 0, {34816, 34816}},
                  {rule::out_of_order, 6, 0, 5}},
     .ebrs = {{34816, {data5}}, {100352, {{0, 0x81, 34816, 1024}}}},
     .listed_past_slots = {{{5, 36864, 32768}, {6, 34816, 1024}}}},

    // Only a slot of type 81 holds a Minix table, and all four of its
    // entries count.
    {.name = "minix_table_in_a_linux_slot",
     .slots = {{0, 0x83, 2048, 8192}},
     .disk = disk,
     .status = 0,
     .findings = {},
     .ebrs = {{2048, {{0, 0x81, 4096, 2048}}}},
     .listed_past_slots = {{}}},
    {.name = "minix_table_of_four_entries",
     .slots = {{0, 0x81, 2048, 10240}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 1, 0, 5}},
     .ebrs = {{2048,
               {{0, 0x81, 4096, 2048},
                {0, 0x81, 6144, 2048},
                {0, 0x81, 8192, 2048},
                {0, 0x81, 10240, 2048}}}},
     .listed_past_slots = {{{5, 4096, 2048}, {6, 6144, 2048}, {7, 8192, 2048}, {8, 10240, 2048}}}},
    // Of two earlier slots that start alike, the first is named; slot 4
    // counts among the bootable ones.
    {"out_of_order_names_the_first_of_two_that_start_alike",
     {{0, 0x83, 4096, 2048}, {0, 0x83, 4096, 2048}, {0, 0x83, 2048, 2048}},
     disk,
     1,
     {{rule::overlap, 1, 0, 2, {4096, 6143}}, {rule::out_of_order, 3, 0, 1}}},
    {"bootable_slots_1_and_4",
     {{0x80, 0x0c, 2048, 2048}, {}, {}, {0x80, 0x83, 4096, 2048}},
     disk,
     0,
     {{rule::several_bootable, 4, 0, 1}}},

    // A backup of another first usable sector.
    gpt_row("gpt_backup_of_another_first_usable_sector", 0,
            {{.what = rule::gpt_backup_differs, .sectors = {131071, 131071}}},
            {.partitions = three,
             .edit_backup = [](std::vector<std::uint8_t>& header) { put_le(header, 40, 35, 8); }}),
    // Of two earlier logicals that start alike, the first is named.
    chain("logical_named_with_the_first_of_two_that_start_alike", 1,
          {{rule::link_over_partition, 5, 34816, 0, {36864, 38911}},
           {rule::overlap, 6, 35840, 5, {36864, 38911}},
           {rule::out_of_order, 7, 35328, 5},
           {rule::unaligned, 7, 35328}},
          {{34816, {{0, 0x83, 2048, 2048}, {0, 0x05, 1024, 4096}}},
           {35840, {{0, 0x83, 1024, 2048}, {0, 0x05, 512, 1024}}},
           {35328, {{0, 0x83, 256, 256}}}}),
    // A logical partition over slot 1.
    chain("logical_over_slot_1", 1,
          {{rule::overlap, 1, 0, 2, {100000, 109999}},
           {rule::overlap, 6, 69632, 1, {100000, 109999}},
           {rule::unaligned, 1},
           {rule::out_of_order, 2, 0, 1}},
          {ebr5, ebr6}, {{0, 0x83, 100000, 10000}, extended}),
    // A signature whose first byte is wrong: no chain is walked.
    [] {
        table_case row = listing(
            chain("first_signature_byte_wrong", 1, {{rule::no_signature}}, {ebr5, ebr6}), {});
        row.signature = {0, 0xaa};
        return row;
    }(),

    // Beside a GPT, a used slot's flag is read as an MBR's is.
    gpt_row("hybrid_slot_with_flag_01", 1,
            {{rule::bad_boot_flag, 1}, {rule::ee_not_first, 2}, {rule::hybrid}}, {three},
            {{0x01, 0x0c, 2048, 32768}, {0, 0xee, 1, 2047}}),

    // A reserved sector on the array's first: the header beside it is clear.
    reserving(gpt_row("gpt_reserved_sector_2", 1,
                      {{.what = rule::over_reserved, .sectors = {2, 2}}}, {three}),
              sector_2),
    // An array of 64 entries at sector 2, before the first usable sector:
    // 8 KiB, under the 16 KiB UEFI asks for.
    gpt_row("gpt_array_of_64_entries", 0, {{.what = rule::gpt_array_placement, .sectors = {2, 17}}},
            {.partitions = three, .entry_count = 64}),
    // Two partitions without a unique GUID: each has none, neither the
    // other's.
    gpt_row("gpt_two_partitions_without_a_unique_guid", 0,
            {{rule::gpt_guid, 1}, {rule::gpt_guid, 2}},
            {.partitions = {{esp, 2048, 34815, attribute_legacy_bootable, "", 0, no_unique_guid},
                            {linux_data, 34816, 67583, 0, "", 0, no_unique_guid}}}),
    // The ee entry in slot 4.
    gpt_row("gpt_ee_in_slot_4", 0, {{rule::ee_not_first, 4}}, {three}, {{}, {}, {}, protective}),
    // A valid backup of another array.
    gpt_row("gpt_backup_of_another_array", 0,
            {{.what = rule::gpt_backup_differs, .sectors = {131071, 131071}}},
            {.partitions = three, .changed_backup_entry_byte = 300}),

    // A Minix slot from the disk's end is not read; a Minix table needs its
    // 55 aa.
    {.name = "minix_slot_from_the_disks_end",
     .slots = {{0, 0x81, 131072, 8192}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::past_disk_end, 1, 0, 0, {131072, 139263}}},
     .listed_past_slots = {{}}},
    {.name = "minix_table_without_its_signature",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 0,
     .findings = {},
     .ebrs = {{2048, {{0, 0x81, 4096, 2048}}, {0, 0}}},
     .listed_past_slots = {{}}},
    // The signature's bytes the wrong way round.
    {"signature_bytes_swapped",
     {{0, 0x83, 2048, 2048}},
     disk,
     1,
     {{rule::no_signature}},
     {0xaa, 0x55}},

    // Linux counts a Minix table in 512-byte sectors on any disk.
    {.name = "minix_subpartitions_in_4096_byte_sectors",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk_4k,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 1, 0, 5}},
     .ebrs = {{2048, {{0, 0x81, 32768, 16384}}}},
     .listed_past_slots = {{{5, 4096, 2048}}}},
};

} // namespace

std::span<const table_case> boundary_rows() { return boundary_cases; }

namespace {

class boundaries : public testing::TestWithParam<table_case> {};

TEST_P(boundaries, status_and_findings) { expect_row(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, boundaries, testing::ValuesIn(boundary_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

} // namespace
