// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The table rules: crafted sectors, each with a disk size, and the status
// and the findings mkentry-check gives for them: each finding's rule, the
// partition, EBR and other partition it names and the sectors it is about.
// The wording is kept in the golden reports below.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "arguments.h"
#include "report/escape.h"
#include "disk/geometry.h"
#include "report/report.h"
#include "rules/message.h"
#include "check_rows.h"
#include "gpt/gpt_rules.h"
#include "table.h"

namespace {

const table_case table_cases[] = {
    {"clean",
     {{0x80, 0x0c, 2048, 32768}, {0, 0x82, 34816, 16384}, {0, 0x83, 51200, 79872}},
     disk,
     0,
     {}},
    {"last_sector_is_the_disks", {{0, 0x83, 2048, 129024}}, disk, 0, {}},
    {"no_signature", {{0, 0x83, 2048, 2048}}, disk, 1, {{rule::no_signature, 0, 0, 0}}, {0, 0}},
    // A file that is no disk image, its "slots" the bytes of an EFI binary:
    // overlapping, past the disk, with bad boot flags, and none of them
    // held to a partition's rules.
    {"not_a_disk_image",
     {{0x4d, 0x5a, 0x90, 0x300000}, {0x03, 0x00, 0x04, 0xffff}, {0xb8, 0x40, 2048, 0x400000}},
     disk,
     1,
     {{rule::no_signature}},
     {0x0e, 0x1f}},
    {"second_signature_byte_wrong",
     {{0, 0x83, 2048, 2048}},
     disk,
     1,
     {{rule::no_signature, 0, 0, 0}},
     {0x55, 0}},
    {"bad_flag_in_an_empty_slot",
     {{}, {}, {}, {0x01, 0, 0, 0}},
     disk,
     1,
     {{rule::bad_boot_flag, 4, 0, 0}}},
    {"flag_81_in_a_used_slot_ff_in_an_empty_one",
     {{0x81, 0x83, 2048, 2048}, {}, {0xff, 0, 0, 0}},
     disk,
     1,
     {{rule::bad_boot_flag, 1, 0, 0}, {rule::bad_boot_flag, 3, 0, 0}}},
    {"used_with_size_0", {{0, 0x83, 2048, 0}}, disk, 1, {{rule::size_zero, 1, 0, 0}}},
    {"starts_at_0", {{0, 0x0c, 0, 2048}}, disk, 1, {{rule::starts_at_zero, 1, 0, 0}}},
    {"one_sector_past_the_end",
     {{0, 0x83, 2048, 129025}},
     disk,
     1,
     {{rule::past_disk_end, 1, 0, 0, {2048, 131072}}}},
    {"ends_on_the_last_sector_an_mbr_names",
     {{0, 0x83, 2048, 4294965248}},
     disk_8_tib,
     0,
     {{rule::ends_on_last_mbr_sector, 1, 0, 0}}},
    {"ends_one_sector_before_it", {{0, 0x83, 2048, 4294965247}}, disk_8_tib, 0, {}},
    {"ends_past_it",
     {{0, 0x83, 4294965248, 4096}},
     disk_8_tib,
     1,
     {{rule::past_last_mbr_sector, 1, 0, 0}}},
    {"past_the_end_in_4096_byte_sectors",
     {{0, 0x0c, 256, 4096}, {0, 0x83, 4352, 131072}},
     disk_4k,
     1,
     {{rule::past_disk_end, 2, 0, 0, {4352, 135423}}}},
    {"alignment_in_4096_byte_sectors",
     {{0, 0x83, 256, 1024}, {0, 0x83, 1280, 256}, {0, 0x83, 1600, 100}},
     disk_4k,
     0,
     {{rule::unaligned, 3, 0, 0}}},
    {"errors_before_warnings",
     {{0, 0x83, 1000, 1048}, {0, 0x83, 2048, 131072}},
     disk,
     1,
     {{rule::past_disk_end, 2, 0, 0, {2048, 133119}}, {rule::unaligned, 1, 0, 0}}},
    {"same_first_sector",
     {{0, 0x83, 2048, 2048}, {0, 0x83, 2048, 4096}},
     disk,
     1,
     {{rule::overlap, 1, 0, 2, {2048, 4095}}}},
    {"reserved_ranges_kept_clear",
     {{0, 0x83, 2048, 2048}, {0, 0x83, 6144, 2048}},
     with_loader,
     0,
     {}},
    {"slots_over_reserved_ranges",
     {{0, 0x83, 1024, 4096}, {0, 0x83, 6144, 2048}},
     with_loader,
     1,
     {{rule::over_reserved, 1, 0, 0, {1024, 2047}},
      {rule::over_reserved, 1, 0, 0, {4096, 4099}},
      {rule::unaligned, 1, 0, 0}}},
    {"reserved_up_to_sector_2_to_the_64_minus_1",
     {{0, 0x83, 2048, 4096}, {0, 0x83, 8192, 2048}},
     reserved_to_the_last_sector,
     1,
     {{rule::over_reserved, 1, 0, 0, {6000, 6143}}, {rule::over_reserved, 2, 0, 0, {8192, 10239}}}},
    {"overlap_by_one_sector",
     {{0, 0x83, 2048, 2048}, {0, 0x83, 4095, 2049}},
     disk,
     1,
     {{rule::overlap, 1, 0, 2, {4095, 4095}}, {rule::unaligned, 2, 0, 0}}},
    {"overlap_across_an_empty_slot",
     {{0, 0x83, 2048, 8192}, {}, {0, 0x0c, 6144, 2048}},
     disk,
     1,
     {{rule::overlap, 1, 0, 3, {6144, 8191}}}},
    {"out_of_order",
     {{0, 0x83, 4096, 2048}, {0, 0x83, 2048, 2048}},
     disk,
     0,
     {{rule::out_of_order, 2, 0, 1}}},
    {"three_out_of_order",
     {{0, 0x83, 8192, 2048}, {0, 0x83, 2048, 2048}, {0, 0x83, 4096, 2048}, {0, 0x83, 6144, 2048}},
     disk,
     0,
     {{rule::out_of_order, 2, 0, 1}, {rule::out_of_order, 3, 0, 1}, {rule::out_of_order, 4, 0, 1}}},
    {"order_ignores_type_00",
     {{0, 0x00, 8192, 2048}, {0, 0x83, 2048, 2048}},
     disk,
     0,
     {{rule::type_zero_used, 1, 0, 0}}},
    // A protective MBR with no GPT behind it.
    {"ee_entry_without_a_gpt",
     {{0, 0xee, 1, 131071}},
     disk,
     1,
     {{.what = rule::gpt_primary_invalid, .sectors = {1, 1}, .field = gpt_field::signature}}},
    {"two_bootable",
     {{0x80, 0x0c, 2048, 2048}, {0x80, 0x83, 4096, 2048}},
     disk,
     0,
     {{rule::several_bootable, 2, 0, 1}}},
    {"two_bootable_after_slot_1",
     {{0, 0x0c, 2048, 2048}, {0x80, 0x83, 4096, 2048}, {0x80, 0x83, 6144, 2048}},
     disk,
     0,
     {{rule::several_bootable, 3, 0, 2}}},
    // A chain as a build script writes it: boot, then an extended slot of
    // two logical partitions, each EBR 2048 sectors before its partition.
    chain("chain", 0, {}, {ebr5, ebr6}),
    chain("chain_of_type_05", 0, {}, {ebr5, ebr6}, {boot, {0, 0x05, 34816, 96256}}),
    chain("extended_slot_without_a_logical", 0, {}, {{34816, {}}}),
    // Made, with no logical partition yet: every reader reads it so.
    {"first_ebr_all_zeros", {boot, extended}, disk, 0, {}},
    chain("second_ebr_without_signature", 1, {{rule::ebr_no_signature, 0, 69632, 0}},
          {ebr5, {69632, {swap6}, {0x55, 0}}}),
    chain("link_to_its_own_ebr", 1, {{rule::chain_loop, 5, 34816, 0, {34816, 36863}}},
          {{34816, {data5, {0, 0x05, 0, 2048}}}}),
    chain("link_back_to_an_earlier_ebr", 1, {{rule::chain_loop, 6, 69632, 0, {34816, 96255}}},
          {ebr5, {69632, {swap6, {0, 0x05, 0, 61440}}}}),
    chain("logical_written_as_absolute", 1,
          {{rule::logical_outside, 6, 69632, 0, {141312, 200703}},
           {rule::past_disk_end, 6, 69632, 0, {141312, 200703}}},
          {ebr5, {69632, {{0, 0x82, 71680, 59392}}}}),
    chain("link_counted_from_its_own_ebr", 1,
          {{rule::ebr_no_signature, 0, 65536, 0},
           {rule::logical_over_ebr, 5, 34816, 0, {65536, 65536}}},
          {{34816, {data5, {0, 0x05, 34816, 30720}}},
           {69632, {{0, 0x82, 2048, 28672}, {0, 0x05, 30720, 30720}}},
           {100352, {{0, 0x83, 2048, 28672}}}}),
    chain("link_of_type_83", 1, {{rule::link_not_extended, 5, 34816, 0}},
          {{34816, {data5, {0, 0x83, 34816, 61440}}}}),
    chain("link_of_size_0", 1, {{rule::link_size_zero, 5, 34816, 0}},
          {{34816, {data5, {0, 0x05, 34816, 0}}}, ebr6}),
    chain("link_of_type_85", 1, {{rule::type_85, 5, 34816, 0}},
          {{34816, {data5, {0, 0x85, 34816, 61440}}}, ebr6}),
    // EDK2 reads every partition's first sector as an MBR: it makes the
    // partitions of an 85 slot whose links are 05.
    chain("slot_of_type_85", 0, {}, {ebr5, ebr6}, {boot, {0, 0x85, 34816, 96256}}),
    chain("partition_in_entry_3", 1, {{rule::ebr_extra_entry, 6, 69632, 0}},
          {ebr5, {69632, {{}, {}, swap6}}}),
    chain("link_before_the_partition", 1, {{rule::link_before_partition, 5, 34816, 0}},
          {{34816, {link6, data5}}, ebr6}),
    chain("ebr_with_a_link_and_no_partition", 1, {{rule::ebr_without_partition, 0, 34816, 0}},
          {{34816, {{}, link6}}, ebr6}),
    chain("logical_of_size_0", 1, {{rule::logical_size_zero, 0, 34816, 0}},
          {{34816, {{0, 0x83, 2048, 0}, link6}}, ebr6}),
    chain("logical_of_type_00", 1, {{rule::logical_type_zero, 5, 34816, 0}},
          {{34816, {{0, 0x00, 2048, 32768}, link6}}, ebr6}),
    chain("logical_at_its_own_ebr", 1, {{rule::logical_at_ebr, 5, 34816, 0}},
          {{34816, {{0, 0x83, 0, 32768}, link6}}, ebr6}),
    chain("logical_over_a_slot", 1,
          {{rule::overlap, 2, 0, 3, {100000, 109999}},
           {rule::overlap, 6, 69632, 3, {100000, 109999}},
           {rule::unaligned, 3, 0, 0}},
          {ebr5, ebr6}, {boot, extended, {0, 0x83, 100000, 10000}}),
    chain("logicals_overlap", 1,
          {{rule::link_over_partition, 5, 34816, 0, {69632, 76863}},
           {rule::logical_over_ebr, 5, 34816, 0, {69632, 69632}},
           {rule::overlap, 6, 69632, 5, {71680, 76863}}},
          {{34816, {{0, 0x83, 2048, 40000}, link6}}, ebr6}),
    chain("logical_over_reserved_sectors", 1,
          {{rule::over_reserved, 2, 0, 0, {40000, 40000}},
           {rule::over_reserved, 5, 34816, 0, {40000, 40000}}},
          {ebr5, ebr6}, {boot, extended}, {131072, 512, one_sector}),
    chain("bad_boot_flag_in_an_ebr", 1, {{rule::ebr_bad_boot_flag, 5, 34816, 0}},
          {{34816, {{0x01, 0x83, 2048, 32768}, link6}}, ebr6}),
    chain("two_extended_slots", 1, {{rule::two_extended, 3, 0, 2}},
          {{34816, {data5}}, {100352, {{0, 0x83, 2048, 28672}}}},
          {boot, {0, 0x0f, 34816, 65536}, {0, 0x05, 100352, 30720}}),
    // Only the first EBR's link must fit: EDK2 reads that EBR as an MBR.
    chain("later_link_longer_than_the_extended_slot", 0, {},
          {ebr5,
           {69632, {{0, 0x82, 2048, 12288}, {0, 0x05, 49152, 200000}}},
           {83968, {{0, 0x83, 2048, 12288}}}}),
    chain("first_link_longer_than_the_extended_slot", 1,
          {{rule::first_link_past_extended, 5, 34816, 0, {69632, 269631}}},
          {{34816, {data5, {0, 0x05, 34816, 200000}}}, ebr6}),
    chain("first_link_over_its_partition", 1,
          {{rule::link_over_partition, 5, 34816, 0, {88064, 120831}},
           {rule::out_of_order, 6, 69632, 5}},
          {{34816, {{0, 0x83, 53248, 32768}, link6}}, {69632, {{0, 0x82, 2048, 14336}}}}),
    chain("link_outside_the_extended_slot", 1,
          {{rule::link_outside, 5, 34816, 0, {104816, 106863}},
           {rule::ebr_no_signature, 0, 104816, 0}},
          {{34816, {data5, {0, 0x05, 70000, 2048}}}}, {boot, {0, 0x0f, 34816, 65536}}),
    chain("link_past_the_disk", 1,
          {{rule::link_outside, 5, 34816, 0, {4295002111, 4295002111}},
           {rule::link_past_disk_end, 5, 34816, 0, {4295002111, 4295002111}}},
          {{34816, {data5, {0, 0x05, 4294967295, 1}}}}),
    chain("logicals_out_of_disk_order", 0, {{rule::out_of_order, 6, 69632, 5}},
          {{34816, {{0, 0x83, 53248, 32768}, {0, 0x05, 34816, 16384}}},
           {69632, {{0, 0x82, 2048, 14336}}}}),
    chain("unaligned_logical", 0, {{rule::unaligned, 5, 34816, 0}},
          {{34816, {{0, 0x83, 63, 32768}, link6}}, ebr6}),
    {"ebr_unreadable", {boot, extended}, disk, 0, {}, {0x55, 0xaa}, 0x5eed0001, {ebr5}, 69632},
    // An EBR every 4096 sectors, each with a partition and a link to the
    // next: Linux stops at partition 255.
    {"chain_longer_than_linux_reads",
     {boot, {0, 0x0f, 34816, 2000000}},
     disk_8_tib,
     1,
     {{rule::chain_too_long, 0, 1062912, 0}},
     {0x55, 0xaa},
     0x5eed0001,
     {},
     0,
     true},
    {"no_disk_identifier",
     {{0, 0x83, 2048, 2048}},
     disk,
     0,
     {{rule::no_disk_identifier, 0, 0, 0}},
     {0x55, 0xaa},
     0},
    {"image_ends_inside_a_sector",
     {{0, 0x83, 1024, 1024}},
     ends_inside_a_sector,
     0,
     {{rule::unaligned, 1, 0, 0}, {rule::partial_sector, 0, 0, 0}}},
    {"type_00_with_a_size", {{0, 0x00, 2048, 2048}}, disk, 0, {{rule::type_zero_used, 1, 0, 0}}},
    {"unused_slot_keeps_its_first_sector", {{0, 0x00, 12345, 0}}, disk, 0, {}},
    {"empty_table_needs_no_identifier", {}, disk, 0, {}, {0x55, 0xaa}, 0},
    // Faults a checker could have: a size-0 slot is no partition to end
    // past the disk; a type-00 slot is no partition for 7-Zip's order; the
    // slot out of order is named with the earlier one that starts last.
    {"size_0_slot_past_the_end", {{0, 0x83, 200704, 0}}, disk, 1, {{rule::size_zero, 1}}},
    {"type_00_slot_is_not_in_the_order",
     {{0, 0x83, 8192, 2048}, {0, 0x00, 2048, 2048}},
     disk,
     0,
     {{rule::type_zero_used, 2}}},
    {"out_of_order_names_the_earlier_slot_that_starts_last",
     {{0, 0x83, 4096, 2048}, {0, 0x83, 8192, 2048}, {0, 0x83, 2048, 2048}},
     disk,
     0,
     {{rule::out_of_order, 3, 0, 2}}},
    chain("first_ebr_with_entries_and_no_signature", 1, {{rule::ebr_no_signature, 0, 34816}},
          {{34816, {data5, link6}, {0, 0}}}),
    // Linux makes partitions of a Minix subpartition table; no other reader does.
    {.name = "minix_subpartitions",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 1, 0, 5}},
     .ebrs = {{2048, {{0, 0x81, 4096, 2048}}}},
     .listed_past_slots = {{{5, 4096, 2048}}}},
    {.name = "minix_entry_of_size_0_takes_a_number",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 1, 0, 6}},
     .ebrs = {{2048, {{0, 0x81, 4096, 0}, {0, 0x81, 6144, 2048}}}},
     .listed_past_slots = {{{6, 6144, 2048}}}},
    {.name = "minix_boot_sector_is_no_table",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 0,
     .findings = {},
     .ebrs = {{2048, {{0, 0x83, 4096, 2048}}}},
     .listed_past_slots = {{}}},
    {.name = "minix_after_the_logicals",
     .slots = {boot, {0, 0x0f, 34816, 65536}, {0, 0x81, 100352, 30720}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 3, 0, 7}},
     .ebrs = {{34816, {data5, {0, 0x05, 34816, 30720}}},
              {69632, {{0, 0x82, 2048, 28672}}},
              {100352, {{0, 0x81, 102400, 28672}}}},
     .listed_past_slots = {{{5, 36864, 32768}, {6, 71680, 28672}, {7, 102400, 28672}}}},
    // A Minix subpartition's findings name no EBR.
    {.name = "minix_subpartition_unaligned",
     .slots = {{0, 0x81, 2048, 8192}},
     .disk = disk,
     .status = 1,
     .findings = {{rule::minix_subpartitions, 1, 0, 5}, {rule::unaligned, 5}},
     .ebrs = {{2048, {{0, 0x81, 4097, 2047}}}},
     .listed_past_slots = {{{5, 4097, 2047}}}},
    // GPT disks.
    [] {
        table_case row = gpt_row("gpt", 0, {}, {three});
        row.listed_past_slots = {{{1, 2048, 32768}, {2, 34816, 32768}, {3, 67584, 63455}}};
        return row;
    }(),
    gpt_row("gpt_ee_of_the_largest_size", 0, {}, {three}, {{0, 0xee, 1, 0xffffffff}}),
    gpt_row("gpt_ee_of_another_size", 0, {{.what = rule::ee_size, .part = 1, .sectors = {1, 131071}}},
            {three}, {{0, 0xee, 1, 100000}}),
    gpt_row("gpt_ee_not_at_sector_1", 1, {{rule::ee_not_at_sector_1, 1}}, {three},
            {{0, 0xee, 2, 131071}}),
    gpt_row("gpt_ee_in_slot_2", 0, {{rule::ee_not_first, 2}}, {three}, {{}, protective}),
    gpt_row("gpt_two_ee_entries", 0, {{rule::ee_not_first, 2, 0, 1}}, {three},
            {protective, protective}),
    gpt_row("gpt_ee_bootable", 0, {{rule::ee_boot_flag, 1}}, {three}, {{0x80, 0xee, 1, 131071}}),
    gpt_row("gpt_bad_flag_in_an_empty_slot", 0, {}, {three}, {protective, {0x01, 0, 0, 0}}),
    [] {
        table_case row = gpt_row("gpt_entries_unreadable", 0, {}, {three});
        row.unreadable = 2;
        return row;
    }(),
    [] {
        table_case row = gpt_row("gpt_without_55_aa", 1, {{rule::no_signature}}, {three});
        row.signature = {0, 0};
        row.listed_past_slots = {{{1, 2048, 32768}, {2, 34816, 32768}, {3, 67584, 63455}}};
        return row;
    }(),
    [] {
        table_case row = gpt_row(
            "gpt_primary_crc_wrong", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = u_boot_makes_some | edk2_makes_some | grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::header_crc}},
            {.partitions = three, .damage = [](std::vector<std::uint8_t>& header) { header[60] ^= 1; }});
        row.listed_past_slots = {{{1, 2048, 32768}, {2, 34816, 32768}, {3, 67584, 63455}}};
        return row;
    }(),
    gpt_row("gpt_primary_entries_crc_wrong", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = u_boot_makes_some | edk2_makes_some | grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::array_crc}},
            {.partitions = three, .damaged_entry_byte = 300}),
    [] {
        // Laid out for a 128 MiB card, written to a 64 MiB one.
        table_case row = gpt_row(
            "gpt_image_shorter_than_its_gpt", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = edk2_makes_some | grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::last_usable}},
            {.partitions = three, .sectors = 262144, .backup = false});
        row.listed_past_slots = std::vector<listed>{};
        return row;
    }(),
    gpt_row("gpt_entry_size_256", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::entry_length}},
            {.partitions = three,
             .backup = false,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 84, 256); }}),
    gpt_row("gpt_no_entries", 1, {{.what = rule::gpt_primary_invalid, .sectors = {1, 1}, .field = gpt_field::entry_count}},
            {.partitions = three,
             .backup = false,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 80, 0); }}),
    gpt_row("gpt_array_over_4_mib", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::array_size}},
            {.partitions = three,
             .backup = false,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 80, 32769); }}),
    gpt_row("gpt_array_lba_past_the_disk", 1,
            {{.what = rule::gpt_primary_invalid, .sectors = {1, 1}, .field = gpt_field::array_place}},
            {.partitions = three,
             .backup = false,
             .edit = [](std::vector<std::uint8_t>& header) {
                 set_u32(header, 72, 0xffffffff);
                 set_u32(header, 76, 0xffffffff);
             }}),
    gpt_row("gpt_my_lba_wrong", 1,
            {{.what = rule::gpt_primary_invalid,
              .other = grub_makes_some,
              .sectors = {1, 1},
              .field = gpt_field::my_lba}},
            {.partitions = three,
             .backup = false,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 24, 2); }}),
    gpt_row("gpt_without_a_backup", 1,
            {{.what = rule::gpt_backup_invalid, .sectors = {131071, 131071}, .field = gpt_field::signature}},
            {.partitions = three, .backup = false}),
    gpt_row("gpt_alternate_lba_past_the_disk", 0,
            {{.what = rule::gpt_backup_flawed, .sectors = {200000, 200000}, .field = gpt_field::alternate_lba}},
            {.partitions = three,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 32, 200000); }}),
    gpt_row("gpt_backup_of_another_disk", 0, {{.what = rule::gpt_backup_differs, .sectors = {131071, 131071}}},
            {.partitions = three,
             .edit_backup = [](std::vector<std::uint8_t>& header) { header[56] ^= 1; }}),
    // Checked for the 128 MiB card it will be written to.
    gpt_row("gpt_backup_not_at_the_end", 0,
            {{.what = rule::ee_size, .part = 1, .sectors = {1, 262143}},
             {.what = rule::gpt_backup_not_at_end, .sectors = {131071, 131071}}},
            {three}, {protective}, {262144}),
    gpt_row("gpt_of_4096_byte_sectors", 1, {{rule::gpt_sector_size}},
            {.partitions = {{esp, 256, 4351, attribute_legacy_bootable}},
             .sectors = 16384,
             .sector_size = 4096}),
    gpt_row("gpt_partition_over_the_array", 1,
            {{.what = rule::gpt_over_partition, .other = 1, .sectors = {20, 33}},
             {.what = rule::gpt_entry_outside_usable, .part = 1, .sectors = {20, 34815}},
             {.what = rule::unaligned, .part = 1}},
            {.partitions = {{esp, 20, 34815, attribute_legacy_bootable}}}),
    [] {
        table_case row = gpt_row("gpt_array_over_a_reserved_loader", 1,
                                 {{.what = rule::over_reserved, .sectors = {16, 33}},
                                  {rule::over_reserved, 1, 0, 0, {4096, 4099}}},
                                 {three});
        row.disk.reserved = loader;
        return row;
    }(),
    gpt_row("gpt_entry_ends_before_it_starts", 1, {{rule::gpt_entry_reversed, 2}},
            {.partitions = {three[0], {linux_data, 70000, 69999}}}),
    gpt_row("gpt_entry_over_the_backup", 1,
            {{.what = rule::gpt_over_partition, .other = 2, .sectors = {131071, 131071}},
             {.what = rule::gpt_over_partition, .other = 2, .sectors = {131039, 131070}},
             {rule::gpt_entry_outside_usable, 2, 0, 0, {34816, 131071}}},
            {.partitions = {three[0], {linux_data, 34816, 131071}}}),
    gpt_row("gpt_entry_past_the_disk", 1,
            {{.what = rule::gpt_over_partition, .other = 2, .sectors = {131071, 131071}},
             {.what = rule::gpt_over_partition, .other = 2, .sectors = {131039, 131070}},
             {rule::gpt_entry_outside_usable, 2, 0, 0, {34816, 140000}},
             {rule::past_disk_end, 2, 0, 0, {34816, 140000}}},
            {.partitions = {three[0], {linux_data, 34816, 140000}}}),
    gpt_row("gpt_entries_overlap", 1, {{rule::overlap, 1, 0, 2, {32768, 34815}}},
            {.partitions = {three[0], {linux_data, 32768, 67583}}}),
    gpt_row("gpt_entry_130_of_256", 0, {{rule::gpt_entry_past_128, 130}},
            {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 129}}, .entry_count = 256}),
    gpt_row("gpt_entry_300_of_512", 1,
            {{.what = rule::gpt_entry_past_255, .part = 300}},
            {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 299}},
             .entry_count = 512}),
    gpt_row("gpt_hidden_partition", 0, {{rule::gpt_hidden, 2}},
            {.partitions = {three[0], {linux_data, 34816, 67583, attribute_no_block_io}}}),
    gpt_row("gpt_no_partition_for_the_boot_scan", 0, {{rule::gpt_no_boot_partition}},
            {.partitions = {{linux_data, 2048, 34815}}}),
    gpt_row("gpt_bootable_partition_30", 0, {{rule::gpt_no_boot_partition}},
            {.partitions = {{linux_data, 2048, 34815, attribute_legacy_bootable, "", 29}}}),
    gpt_row("gpt_unique_guid_twice", 0, {{rule::gpt_guid, 2, 0, 1}},
            {.partitions = {three[0], {linux_data, 34816, 67583, 0, "", 0, 1}}}),
    gpt_row("gpt_header_of_96_bytes", 0, {{rule::gpt_header_size}},
            {.partitions = three,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 12, 96); }}),
    gpt_row("gpt_revision_2", 0, {{rule::gpt_revision}},
            {.partitions = three,
             .edit = [](std::vector<std::uint8_t>& header) { set_u32(header, 8, 0x00020000); }}),
    // genimage's gpt-location: the array moved past a loader at 8 KiB.
    gpt_row("gpt_array_at_1_mib", 0,
            {{.what = rule::gpt_array_placement, .sectors = {2048, 2079}}},
            {.partitions = {{esp, 4096, 34815, attribute_legacy_bootable}}, .entries_lba = 2048}),
    // A hybrid for a ROM that reads only the MBR: the boot partition in
    // slot 1, the ee entry over the GPT's own sectors.
    gpt_row("hybrid", 0, {{rule::ee_not_first, 2}, {rule::hybrid}}, {three},
            {{0x80, 0x0c, 2048, 32768}, {0, 0xee, 1, 2047}}),
    gpt_row("hybrid_entry_not_in_the_gpt", 0,
            {{rule::ee_not_first, 2}, {rule::hybrid}, {rule::hybrid_mismatch, 1, 0, 0, {2048, 34814}}}, {three},
            {{0x80, 0x0c, 2048, 32767}, {0, 0xee, 1, 2047}}),
    // The slot mirrors a GPT partition that starts off the 1 MiB grid:
    // unaligned once, for the slot.
    gpt_row("hybrid_entry_unaligned", 0,
            {{rule::unaligned, 1}, {rule::ee_not_first, 2}, {rule::hybrid}},
            {.partitions = {{esp, 2049, 34815, attribute_legacy_bootable, "boot"}}},
            {{0x80, 0x0c, 2049, 32767}, {0, 0xee, 1, 2047}}),
    gpt_row("hybrid_entries_overlap", 0,
            {{rule::hybrid_overlap, 1, 0, 3, {34816, 40000}},
             {rule::ee_not_first, 2},
             {rule::hybrid},
             {rule::hybrid_mismatch, 1, 0, 0, {2048, 40000}}},
            {three},
            {{0x80, 0x0c, 2048, 37953}, {0, 0xee, 1, 2047}, {0, 0x83, 34816, 32768}}),
    // The smallest disks: no sector 1 to read a GPT header from, and one.
    {"disk_of_one_sector", {}, {1}, 0, {}},
    [] {
        table_case row = {"stale_gpt_on_a_disk_of_two_sectors", {{0, 0x83, 1, 1}}, {2}, 0,
                          {{rule::unaligned, 1}, {rule::stale_gpt}}};
        row.patches = {gpt_image({three}).front()};
        return row;
    }(),
    [] {
        // A GPT left behind when the card was partitioned anew as MBR.
        table_case row = gpt_row("stale_gpt", 0, {{rule::stale_gpt}}, {three},
                                 {{0, 0x83, 2048, 129024}});
        return row;
    }(),
};

class table : public testing::TestWithParam<table_case> {};

TEST_P(table, status_and_findings) { expect_row(GetParam()); }

INSTANTIATE_TEST_SUITE_P(rows, table, testing::ValuesIn(table_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// A row of this file's table or of the boundaries'.
const table_case& row_named(std::string_view name)
{
    const auto named = [&](const table_case& row) { return row.name == name; };
    const auto* found = std::find_if(std::begin(table_cases), std::end(table_cases), named);
    if (found != std::end(table_cases)) {
        return *found;
    }
    const std::span<const table_case> more = boundary_rows();
    return *std::find_if(more.begin(), more.end(), named);
}

// Linux numbers partitions on past the four slots, and forms PARTUUIDs
// with the number in hex.
TEST(report, logical_partitions_listed_with_their_ebr)
{
    const std::string report = printed([](std::FILE* out) {
        print_report(out, check_row(row_named("chain_longer_than_linux_reads")),
                     size_source::image);
    });
    EXPECT_NE(report.find("\npart boot type      first    sectors       last partuuid      "
                          "         ebr\n   1   80   0c       2048      32768      34815 "
                          "5eed0001-01\n"),
              std::string::npos);
    EXPECT_NE(report.find("\n  10   00   83      57344       2048      59391 5eed0001-0a     "
                          "     55296\n"),
              std::string::npos);
    EXPECT_NE(report.find("\n 255   00   83    1060864       2048    1062911 5eed0001-ff     "
                          "   1058816\n"),
              std::string::npos);
}

// The reports whole, for a table of slots and for a chain: the wording of
// the findings, the table's columns and sfdisk's JSON.
const table_case slots_for_reports = {
    "",   {{0x80, 0x0c, 2048, 32768}, {0, 0x83, 30720, 2048}, {0, 0x83, 1000, 24}},
    disk, 1,
    {},   {0x55, 0xaa},
    0};
const table_case chain_for_reports = {
    "",
    {{0x80, 0x0c, 2048, 32768}, {}, {0, 0x05, 65536, 65536}},
    disk,
    1,
    {},
    {0x55, 0xaa},
    0x5eed0022,
    {{65536, {{0x01, 0x83, 2048, 30720}, {0, 0x05, 32768, 32768}}}, {98304, {{0, 0x83, 2048, 0}}}}};

// Both fail, as their reports say.
TEST(golden, status)
{
    EXPECT_TRUE(fails(check_row(slots_for_reports), false));
    EXPECT_TRUE(fails(check_row(chain_for_reports), false));
}

TEST(golden, slots_text)
{
    EXPECT_EQ(printed([](std::FILE* out) {
                  print_report(out, check_row(slots_for_reports), size_source::option);
              }),
              R"report(disk: 131072 sectors of 512 bytes, as given by --disk-size
disk identifier: 00000000
part boot type      first    sectors       last partuuid
   1   80   0c       2048      32768      34815 00000000-01
   2   00   83      30720       2048      32767 00000000-02
   3   00   83       1000         24       1023 00000000-03
   4   00   00          0          0          -
reader: EDK2 makes none
error: slot 1 overlaps slot 2 (sectors 30720-32767): writing one destroys the other, and EDK2 rejects the whole MBR.
warning: slot 3 starts at sector 1000, not on a 1 MiB boundary (a multiple of 2048).
warning: slot 3 (sector 1000) starts before slot 2 (sector 30720): 7-Zip rejects partitions out of disk order.
warning: disk identifier is 00000000: libblkid then gives no partition a PARTUUID, so /dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the kernel's root=PARTUUID=00000000-01 still works); write one at byte 440.
)report");
}

// No slot of a first sector without 55 aa is listed as a partition, as
// sfdisk lists none.
TEST(golden, not_a_disk_image)
{
    const checked_table table = check_row(row_named("not_a_disk_image"));
    EXPECT_EQ(printed([&](std::FILE* out) { print_report(out, table, size_source::image); }),
              R"report(disk: 131072 sectors of 512 bytes
disk identifier: 5eed0001
part boot type      first    sectors       last partuuid
reader: Linux makes none
reader: U-Boot makes none
reader: EDK2 makes none
reader: GRUB makes none
error: no 55 aa signature at byte 510 (found 0e 1f): readers see no partition table.
)report");
    const std::string json =
        printed([&](std::FILE* out) { print_json(out, table, "/dev/mmcblk0"); });
    EXPECT_NE(json.find(R"("sectorsize": 512,
      "partitions": []
   })"),
              std::string::npos)
        << json;
}

// The keys sfdisk --json adds where a disk differs from the usual: its
// alignment on a disk of at most 4 MiB, one sector either side, and the
// length of a GPT array of other than 128 entries.
TEST(golden, sfdisk_keys)
{
    struct key_case {
        table_case row;
        const char* after_unit; // what follows "unit": "sectors",
    };
    const key_case rows[] = {
        {{"4_mib", {{0, 0x83, 64, 1000}}, {8192}, 0, {}}, R"(      "grain": "512",
      "sectorsize": 512,)"},
        {{"4_mib_and_a_sector", {{0, 0x83, 64, 1000}}, {8193}, 0, {}},
         R"(      "sectorsize": 512,)"},
        {gpt_row("gpt_of_56_entries", 0, {}, {.partitions = three, .entry_count = 56}),
         R"(      "firstlba": 16,
      "lastlba": 131056,
      "table-length": "56",
      "sectorsize": 512,)"},
        {gpt_row("gpt_of_128_entries", 0, {}, {.partitions = three}), R"(      "firstlba": 34,
      "lastlba": 131038,
      "sectorsize": 512,)"},
    };
    for (const key_case& key : rows) {
        const std::string json =
            printed([&](std::FILE* out) { print_json(out, check_row(key.row), "disk.img"); });
        const std::string want = std::string("\"unit\": \"sectors\",\n") + key.after_unit + "\n";
        EXPECT_NE(json.find(want), std::string::npos) << key.row.name << "\n" << json;
    }
}

TEST(golden, chain_text)
{
    EXPECT_EQ(printed([](std::FILE* out) {
                  print_report(out, check_row(chain_for_reports), size_source::image);
              }),
              R"report(disk: 131072 sectors of 512 bytes
disk identifier: 5eed0022
part boot type      first    sectors       last partuuid               ebr
   1   80   0c       2048      32768      34815 5eed0022-01
   2   00   00          0          0          -
   3   00   05      65536      65536     131071 5eed0022-03
   4   00   00          0          0          -
   5   01   83      67584      30720      98303 5eed0022-05          65536
reader: U-Boot makes 1 at 2048 size 32768, 3 at 65536 size 65536
reader: GRUB makes 1 at 2048 size 32768
error: partition 5 (EBR at sector 65536): entry 1 has boot flag 01, not 00 or 80: U-Boot skips the entry, GRUB reads no further partition.
error: EBR at sector 98304 (in extended slot 3): entry 1 has type 83 but size 0: Linux makes no partition of it, U-Boot and GRUB make one and number the rest differently, EDK2 ends the chain there.
)report");
}

// A name with a quote, a control byte and a byte that is not UTF-8.
TEST(golden, slots_json)
{
    EXPECT_EQ(printed([](std::FILE* out) {
                  print_json(out, check_row(slots_for_reports),
                             "a\"b\x1b\xff"
                             "c7");
              }),
              R"json({
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
            "start": 1000,
            "size": 24,
            "type": "83",
            "partuuid": "00000000-03"
         }
      ]
   },
   "loaders": [],
   "readers": {
      "linux": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "2", "start": 30720, "size": 2048}, {"number": "3", "start": 1000, "size": 24}]},
      "u-boot": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "2", "start": 30720, "size": 2048}, {"number": "3", "start": 1000, "size": 24}]},
      "edk2": {"scheme": "none", "partitions": []},
      "grub": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "2", "start": 30720, "size": 2048}, {"number": "3", "start": 1000, "size": 24}]}
   },
   "findings": [
      {
         "severity": "error",
         "slots": [1, 2],
         "readers": ["edk2"],
         "destroys": true,
         "sectors": {"first": 30720, "last": 32767},
         "rule": "overlap",
         "message": "slot 1 overlaps slot 2 (sectors 30720-32767): writing one destroys the other, and EDK2 rejects the whole MBR."
      },
      {
         "severity": "warning",
         "slots": [3],
         "readers": [],
         "destroys": false,
         "rule": "unaligned",
         "message": "slot 3 starts at sector 1000, not on a 1 MiB boundary (a multiple of 2048)."
      },
      {
         "severity": "warning",
         "slots": [3, 2],
         "readers": [],
         "destroys": false,
         "rule": "out_of_order",
         "message": "slot 3 (sector 1000) starts before slot 2 (sector 30720): 7-Zip rejects partitions out of disk order."
      },
      {
         "severity": "warning",
         "slots": [],
         "readers": [],
         "destroys": false,
         "rule": "no_disk_identifier",
         "message": "disk identifier is 00000000: libblkid then gives no partition a PARTUUID, so /dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the kernel's root=PARTUUID=00000000-01 still works); write one at byte 440."
      }
   ]
}
)json");
}

TEST(golden, chain_json)
{
    EXPECT_EQ(
        printed([](std::FILE* out) { print_json(out, check_row(chain_for_reports), "/dev/sda"); }),
        R"json({
   "partitiontable": {
      "label": "dos",
      "id": "0x5eed0022",
      "device": "/dev/sda",
      "unit": "sectors",
      "sectorsize": 512,
      "partitions": [
         {
            "node": "/dev/sda1",
            "start": 2048,
            "size": 32768,
            "type": "c",
            "partuuid": "5eed0022-01",
            "bootable": true
         },{
            "node": "/dev/sda3",
            "start": 65536,
            "size": 65536,
            "type": "5",
            "partuuid": "5eed0022-03"
         },{
            "node": "/dev/sda5",
            "start": 67584,
            "size": 30720,
            "type": "83",
            "partuuid": "5eed0022-05"
         }
      ]
   },
   "loaders": [],
   "readers": {
      "linux": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "3", "start": 65536, "size": 2}, {"number": "5", "start": 67584, "size": 30720}]},
      "u-boot": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "3", "start": 65536, "size": 65536}]},
      "edk2": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "3", "start": 65536, "size": 65536}, {"number": "3.1", "start": 67584, "size": 30720}]},
      "grub": {"scheme": "dos", "partitions": [{"number": "1", "start": 2048, "size": 32768}]}
   },
   "findings": [
      {
         "severity": "error",
         "slots": [5],
         "ebr": 65536,
         "readers": ["u-boot", "grub"],
         "destroys": false,
         "rule": "ebr_bad_boot_flag",
         "message": "partition 5 (EBR at sector 65536): entry 1 has boot flag 01, not 00 or 80: U-Boot skips the entry, GRUB reads no further partition."
      },
      {
         "severity": "error",
         "slots": [],
         "ebr": 98304,
         "readers": ["u-boot", "grub"],
         "destroys": false,
         "rule": "logical_size_zero",
         "message": "EBR at sector 98304 (in extended slot 3): entry 1 has type 83 but size 0: Linux makes no partition of it, U-Boot and GRUB make one and number the rest differently, EDK2 ends the chain there."
      }
   ]
}
)json");
}

// The option arguments: whole decimal numbers, nothing else.
enum class option_kind : std::uint8_t { sector_size, disk_size, reserve };

struct argument_case {
    const char* name;
    option_kind kind;
    const char* arg;
    bool taken;
    std::uint64_t value; // the bytes, or a range's first sector
    std::uint64_t last = 0;
};

const argument_case argument_cases[] = {
    {"sector_size_512", option_kind::sector_size, "512", true, 512},
    {"sector_size_2048", option_kind::sector_size, "2048", true, 2048},
    {"sector_size_4096", option_kind::sector_size, "4096", true, 4096},
    {"sector_size_1000", option_kind::sector_size, "1000", false, 0},
    {"sector_size_8192", option_kind::sector_size, "8192", false, 0},
    {"sector_size_with_a_suffix", option_kind::sector_size, "512K", false, 0},
    {"sector_size_empty", option_kind::sector_size, "", false, 0},
    {"disk_size_in_bytes", option_kind::disk_size, "1048576", true, 1048576},
    {"disk_size_of_eleven_digits", option_kind::disk_size, "12345678901", true, 12345678901},
    {"disk_size_in_k", option_kind::disk_size, "3K", true, 3072},
    {"disk_size_in_small_k", option_kind::disk_size, "3k", true, 3072},
    {"disk_size_in_m", option_kind::disk_size, "64M", true, 67108864},
    {"disk_size_in_g", option_kind::disk_size, "8G", true, 8589934592},
    {"disk_size_in_t", option_kind::disk_size, "2T", true, 2199023255552},
    {"largest_disk_size_in_t", option_kind::disk_size, "16777215T", true, 18446742974197923840U},
    {"largest_disk_size", option_kind::disk_size, "18446744073709551615", true, UINT64_MAX},
    {"disk_size_past_64_bits_in_t", option_kind::disk_size, "16777216T", false, 0},
    {"disk_size_past_64_bits", option_kind::disk_size, "18446744073709551616", false, 0},
    {"disk_size_two_suffixes", option_kind::disk_size, "1KK", false, 0},
    {"disk_size_of_a_kib_unit", option_kind::disk_size, "1KiB", false, 0},
    {"disk_size_signed", option_kind::disk_size, "+1", false, 0},
    {"disk_size_no_digits", option_kind::disk_size, "K", false, 0},
    {"disk_size_in_hex", option_kind::disk_size, "0x10", false, 0},
    {"range", option_kind::reserve, "16-2047", true, 16, 2047},
    {"range_of_one_sector", option_kind::reserve, "7-7", true, 7, 7},
    {"range_of_eleven_digits", option_kind::reserve, "10000000000-20000000000", true, 10000000000,
     20000000000},
    {"range_to_the_last_sector", option_kind::reserve, "0-18446744073709551615", true, 0,
     UINT64_MAX},
    {"range_leading_zeros_decimal", option_kind::reserve, "010-017", true, 10, 17},
    {"range_reversed", option_kind::reserve, "10-5", false, 0},
    {"range_other_separator", option_kind::reserve, "10+20", false, 0},
    {"range_colon", option_kind::reserve, "10:20", false, 0},
    {"range_one_number", option_kind::reserve, "10", false, 0},
    {"range_no_last", option_kind::reserve, "10-", false, 0},
    {"range_trailing_text", option_kind::reserve, "10-20x", false, 0},
    {"range_past_64_bits", option_kind::reserve, "1-18446744073709551616", false, 0},
    {"range_negative", option_kind::reserve, "-1-5", false, 0},
};

void PrintTo(const argument_case& row, std::ostream* out) { *out << row.name; }

class arguments : public testing::TestWithParam<argument_case> {};

TEST_P(arguments, read_whole_or_refused)
{
    const argument_case& row = GetParam();
    std::uint64_t value = 0;
    sector_range range = {0, 0};
    bool taken = false;
    switch (row.kind) {
    case option_kind::sector_size: {
        std::uint32_t bytes = 0;
        taken = parse_sector_size(row.arg, bytes);
        value = bytes;
        break;
    }
    case option_kind::disk_size:
        taken = parse_disk_size(row.arg, value);
        break;
    case option_kind::reserve:
        taken = parse_range(row.arg, range);
        value = range.first;
        break;
    }
    EXPECT_EQ(taken, row.taken);
    if (row.taken) {
        EXPECT_EQ(value, row.value);
        EXPECT_EQ(range.last, row.last);
    }
}

INSTANTIATE_TEST_SUITE_P(rows, arguments, testing::ValuesIn(argument_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// Names in a terminal's line and in a JSON string.
struct escape_case {
    const char* name;
    std::string_view raw;
    const char* text;
    const char* json;
};

const escape_case escape_cases[] = {
    {"plain", "disk.img", "disk.img", "disk.img"},
    {"runs_between_escapes", "a\tb\xc3\xa9z\\d\x01", "a\\tb\xc3\xa9z\\\\d\\001",
     "a\\u0009b\xc3\xa9z\\\\d\\u0001"},
    {"backslash", "a\\b", "a\\\\b", "a\\\\b"},
    {"quote", "a\"b", "a\"b", "a\\\"b"},
    {"tab_newline_return", "\t\n\r", "\\t\\n\\r", "\\u0009\\u000a\\u000d"},
    {"vertical_tab_and_form_feed", "\v\f", "\\v\\f", "\\u000b\\u000c"},
    {"bell_and_backspace", "\a\b", "\\a\\b", "\\u0007\\u0008"},
    {"escape_and_unit_separator", "\x1b\x1f", "\\033\\037", "\\u001b\\u001f"},
    {"nul_and_delete", std::string_view("\0\x7f", 2), "\\000\\177", "\\u0000\\u007f"},
    {"c1_raw", "\x9b[", "\\233[", "\\ufffd["},
    {"c1_in_utf8", "\xc2\x9b\xc2\xa0", "\\302\\233\xc2\xa0", "\xc2\x9b\xc2\xa0"},
    {"utf8_passes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
     "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"},
    {"utf8_surrogate", "\xed\xa0\x80", "\xed\xa0\\200", "\\ufffd\\ufffd\\ufffd"},
    {"utf8_last_before_surrogates", "\xed\x9f\xbf", "\xed\x9f\xbf", "\xed\x9f\xbf"},
    {"utf8_overlong", "\xc0\xaf", "\xc0\xaf", "\\ufffd\\ufffd"},
    {"utf8_cut_short", "\xe2\x82", "\xe2\\202", "\\ufffd\\ufffd"},
    {"latin1", "\xe9t\xe9", "\xe9t\xe9", "\\ufffdt\\ufffd"},
    {"no_lead_below_c2", "\xc1\x80\x80", "\xc1\\200\\200", "\\ufffd\\ufffd\\ufffd"},
    {"utf8_overlong_4_bytes", "\xf0\x8f\xbf\xbf", "\xf0\\217\xbf\xbf",
     "\\ufffd\\ufffd\\ufffd\\ufffd"},
    {"utf8_past_10ffff", "\xf4\x90\x80\x80", "\xf4\\220\\200\\200", "\\ufffd\\ufffd\\ufffd\\ufffd"},
};

void PrintTo(const escape_case& row, std::ostream* out) { *out << row.name; }

class escaped : public testing::TestWithParam<escape_case> {};

TEST_P(escaped, in_text_and_json)
{
    const escape_case& row = GetParam();
    EXPECT_EQ(printed([&](std::FILE* out) { put_escaped(out, row.raw); }), row.text);
    EXPECT_EQ(printed([&](std::FILE* out) { put_json_chars(out, row.raw); }), row.json);
}

INSTANTIATE_TEST_SUITE_P(rows, escaped, testing::ValuesIn(escape_cases),
                         [](const auto& row_info) { return std::string(row_info.param.name); });

// A hybrid GPT: its MBR, its headers, its partitions with their names
// (one with an escape byte, one with a surrogate of no pair, a pair and a
// control character), attributes and types, in text and in JSON.
const table_case gpt_for_reports =
    gpt_row("", 1, {},
            {.partitions = {three[0],
                            {linux_data, 34816, 67583, 0x1000000000000, "root\x1b"},
                            {linux_data, 67584, 131038, 0, "", 0, 0, u"\xd800x\xd83d\xde00\x01"}}},
            {{0x80, 0x0c, 2048, 32768}, {0, 0xee, 1, 2047}, {0, 0x83, 34816, 30000}});

TEST(golden, gpt_text)
{
    EXPECT_FALSE(fails(check_row(gpt_for_reports), false));
    EXPECT_EQ(printed([](std::FILE* out) {
                  print_report(out, check_row(gpt_for_reports), size_source::image);
              }),
              R"report(disk: 131072 sectors of 512 bytes
hybrid MBR, for a ROM that reads only the MBR:
slot boot type      first    sectors       last
   1   80   0c       2048      32768      34815
   2   00   ee          1       2047       2047
   3   00   83      34816      30000      64815
   4   00   00          0          0          -
label: gpt, hybrid MBR
disk guid: 5eed0030-0000-4000-8000-000000000001
usable sectors: 34-131038
entries: 128 of 128 bytes at sectors 2-33; backup: 128 of 128 bytes at sectors 131039-131070, its header at 131071
part      first       last    sectors attributes       partuuid                             type
   1       2048      34815      32768 0000000000000004 00000001-0000-0000-0000-0000000000aa c12a7328-f81f-11d2-ba4b-00a0c93ec93b EFI system
      name: boot
   2      34816      67583      32768 0001000000000000 00000002-0000-0000-0000-0000000000aa 0fc63daf-8483-4772-8e79-3d69d8477de4 Linux filesystem
      name: root\033
   3      67584     131038      63455 0000000000000000 00000003-0000-0000-0000-0000000000aa 0fc63daf-8483-4772-8e79-3d69d8477de4 Linux filesystem
      name: �x😀\001
warning: slot 2 holds the ee entry: a protective MBR holds it in slot 1.
warning: the MBR is a hybrid, the ee entry and other partitions: no standard defines it; every board reader uses the GPT, a ROM that reads only the MBR the other entries.
warning: slot 3 (sectors 34816-64815) of the hybrid MBR is no partition of the GPT: every board reader uses the GPT, but a ROM that reads only the MBR reads other sectors than Linux mounts.
)report");
}

// Names at the edges of the printable ASCII that stands as it is: a space
// and a tilde plain, DEL, a backslash and a quote escaped.
TEST(golden, gpt_names_at_the_edges_of_plain)
{
    const table_case names =
        gpt_row("", 0, {},
                {.partitions = {{esp, 2048, 34815, attribute_legacy_bootable, " ~"},
                                {linux_data, 34816, 67583, 0, "a\x7f"},
                                {linux_data, 67584, 100000, 0, "a\\b"},
                                {linux_data, 100001, 131038, 0, "a\"b"}}});
    const std::string text =
        printed([&](std::FILE* out) { print_report(out, check_row(names), size_source::image); });
    const std::string json =
        printed([&](std::FILE* out) { print_json(out, check_row(names), "/dev/sda"); });
    EXPECT_NE(text.find("\n      name:  ~\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n      name: a\\177\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n      name: a\\\\b\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n      name: a\"b\n"), std::string::npos) << text;
    EXPECT_NE(json.find(R"("name": " ~")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("name": "a\u007f")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("name": "a\\b")"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("name": "a\"b")"), std::string::npos) << json;
}

TEST(golden, gpt_json)
{
    EXPECT_EQ(printed([](std::FILE* out) {
                  print_json(out, check_row(gpt_for_reports), "/dev/mmcblk0");
              }),
              R"json({
   "partitiontable": {
      "label": "gpt",
      "id": "5EED0030-0000-4000-8000-000000000001",
      "device": "/dev/mmcblk0",
      "unit": "sectors",
      "firstlba": 34,
      "lastlba": 131038,
      "sectorsize": 512,
      "partitions": [
         {
            "node": "/dev/mmcblk0p1",
            "start": 2048,
            "size": 32768,
            "type": "C12A7328-F81F-11D2-BA4B-00A0C93EC93B",
            "uuid": "00000001-0000-0000-0000-0000000000AA",
            "name": "boot",
            "attrs": "LegacyBIOSBootable",
            "partuuid": "00000001-0000-0000-0000-0000000000aa"
         },{
            "node": "/dev/mmcblk0p2",
            "start": 34816,
            "size": 32768,
            "type": "0FC63DAF-8483-4772-8E79-3D69D8477DE4",
            "uuid": "00000002-0000-0000-0000-0000000000AA",
            "name": "root\u001b",
            "attrs": "GUID:48",
            "partuuid": "00000002-0000-0000-0000-0000000000aa"
         },{
            "node": "/dev/mmcblk0p3",
            "start": 67584,
            "size": 63455,
            "type": "0FC63DAF-8483-4772-8E79-3D69D8477DE4",
            "uuid": "00000003-0000-0000-0000-0000000000AA",
            "name": "�x😀\u0001",
            "partuuid": "00000003-0000-0000-0000-0000000000aa"
         }
      ]
   },
   "hybrid": [
      {
         "slot": 1,
         "start": 2048,
         "size": 32768,
         "type": "c",
         "bootable": true
      },
      {
         "slot": 2,
         "start": 1,
         "size": 2047,
         "type": "ee"
      },
      {
         "slot": 3,
         "start": 34816,
         "size": 30000,
         "type": "83"
      }
   ],
   "loaders": [],
   "readers": {
      "linux": {"scheme": "gpt", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "2", "start": 34816, "size": 32768}, {"number": "3", "start": 67584, "size": 63455}]},
      "u-boot": {"scheme": "gpt", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "2", "start": 34816, "size": 32768}, {"number": "3", "start": 67584, "size": 63455}]},
      "edk2": {"scheme": "gpt", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "2", "start": 34816, "size": 32768}, {"number": "3", "start": 67584, "size": 63455}]},
      "grub": {"scheme": "gpt", "partitions": [{"number": "1", "start": 2048, "size": 32768}, {"number": "2", "start": 34816, "size": 32768}, {"number": "3", "start": 67584, "size": 63455}]}
   },
   "findings": [
      {
         "severity": "warning",
         "slots": [2],
         "readers": [],
         "destroys": false,
         "rule": "ee_not_first",
         "message": "slot 2 holds the ee entry: a protective MBR holds it in slot 1."
      },
      {
         "severity": "warning",
         "slots": [],
         "readers": [],
         "destroys": false,
         "rule": "hybrid",
         "message": "the MBR is a hybrid, the ee entry and other partitions: no standard defines it; every board reader uses the GPT, a ROM that reads only the MBR the other entries."
      },
      {
         "severity": "warning",
         "slots": [3],
         "readers": [],
         "destroys": false,
         "sectors": {"first": 34816, "last": 64815},
         "rule": "hybrid_mismatch",
         "message": "slot 3 (sectors 34816-64815) of the hybrid MBR is no partition of the GPT: every board reader uses the GPT, but a ROM that reads only the MBR reads other sectors than Linux mounts."
      }
   ]
}
)json");
}

// A GPT's partitions are named under gpt_partitions, its structures under
// gpt: a finding never leaves a GPT partition's number among the slots.
TEST(golden, gpt_findings_json)
{
    const std::string json = printed([](std::FILE* out) {
        print_json(out, check_row(row_named("gpt_partition_over_the_array")), "disk.img");
    });
    EXPECT_EQ(json.substr(json.find("\n   \"findings\"")), R"json(
   "findings": [
      {
         "severity": "error",
         "slots": [],
         "gpt_partitions": [1],
         "gpt": "primary array",
         "readers": ["edk2"],
         "destroys": true,
         "sectors": {"first": 20, "last": 33},
         "rule": "gpt_over_partition",
         "message": "the primary GPT entry array shares sectors 20-33 with partition 1: writing the partition destroys the GPT."
      },
      {
         "severity": "error",
         "slots": [],
         "gpt_partitions": [1],
         "readers": ["edk2"],
         "destroys": false,
         "sectors": {"first": 20, "last": 34815},
         "rule": "gpt_entry_outside_usable",
         "message": "partition 1 (sectors 20-34815) lies outside the usable sectors 34-131038: EDK2 drops it."
      },
      {
         "severity": "warning",
         "slots": [],
         "gpt_partitions": [1],
         "readers": [],
         "destroys": false,
         "rule": "unaligned",
         "message": "partition 1 starts at sector 20, not on a 1 MiB boundary (a multiple of 2048)."
      }
   ]
}
)json");
}

// A full list keeps every error: the last warning makes room, and the
// errors after it keep their order.
TEST(findings, full_list_keeps_every_error)
{
    static finding_list list;
    for (std::uint16_t i = 0; i < 511; ++i) {
        add(list, {.what = rule::unaligned, .at = at_slot(1), .value = i});
    }
    add(list, {.what = rule::overlap, .at = at_slot(1), .other = 2});
    add(list, {.what = rule::overlap, .at = at_slot(1), .other = 3});
    add(list, {.what = rule::unaligned, .at = at_slot(1), .value = 511});
    EXPECT_EQ(list.count, 512U);
    EXPECT_EQ(list.errors, 2U);
    EXPECT_EQ(list.warnings, 512U);
    EXPECT_EQ(list.left_out, 2U);
    EXPECT_EQ(list.kept[509].value, 509U);
    EXPECT_EQ(list.kept[510].other, 2U);
    EXPECT_EQ(list.kept[511].other, 3U);
}

// The manual page lists every rule under its JSON name, in its section.
TEST(manual, lists_every_rule_with_its_severity)
{
    std::ifstream file(MKENTRY_CHECK_MAN_PAGE);
    const std::string page{std::istreambuf_iterator<char>(file), {}};
    const std::size_t warnings = page.find(".SS Warnings\n");
    ASSERT_NE(warnings, std::string::npos);
    for (std::size_t table = 0; table < rule_tables; ++table) {
        for (const rule_info& row : rows_of(table)) {
            const std::size_t at = page.find(".TP\n.B " + std::string(row.name.text()) + "\n");
            ASSERT_NE(at, std::string::npos) << row.name.text();
            EXPECT_EQ(at > warnings, row.level.level == severity::warning) << row.name.text();
        }
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
    {"disk_size_of_one_sector", {0, 512, true}, 1048576, 0, {fine, 512, 1, 0}},
    {"image_of_one_sector", {}, 512, 0, {fine, 512, 1, 0}},
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

// What each message quotes of its finding: the sectors, the values and
// the bounds it names, one row of the tables above for each rule.
struct message_case {
    const char* row;
    rule what; // the first finding of this rule in the row
    const char* text;
};

const message_case message_cases[] = {
    {"no_signature", rule::no_signature,
     "no 55 aa signature at byte 510 (found 00 00): readers see no partition table."},
    {"second_signature_byte_wrong", rule::no_signature,
     "no 55 aa signature at byte 510 (found 55 00): readers see no partition table."},
    {"bad_flag_in_an_empty_slot", rule::bad_boot_flag,
     "slot 4 has boot flag 01, not 00 or 80: Linux and GRUB then read no partition at all."},
    {"used_with_size_0", rule::size_zero, "slot 1 has type 83 but size 0."},
    {"starts_at_0", rule::starts_at_zero,
     "slot 1 starts at sector 0, over the partition table itself."},
    {"one_sector_past_the_end", rule::past_disk_end,
     "slot 1 ends at sector 131072, past the end of the disk (sectors 0-131071): Linux cuts it "
     "at the disk's end, or drops it if it starts past it; EDK2 rejects the whole MBR and "
     "makes no partition at all; U-Boot and GRUB make it as written and fail to read its end."},
    {"ends_on_the_last_sector_an_mbr_names", rule::ends_on_last_mbr_sector,
     "slot 1 ends at sector 4294967295, the last an MBR can name: 7-Zip adds first sector and size "
     "in 32 bits, gets 0 and rejects the table."},
    {"ends_past_it", rule::past_last_mbr_sector,
     "slot 1 ends at sector 4294969343, past sector 4294967295 (2^32 - 1), the last an MBR can "
     "name: readers with 32-bit sector numbers cannot reach past it."},
    {"alignment_in_4096_byte_sectors", rule::unaligned,
     "slot 3 starts at sector 1600, not on a 1 MiB boundary (a multiple of 256)."},
    {"same_first_sector", rule::overlap,
     "slot 1 overlaps slot 2 (sectors 2048-4095): writing one destroys the other, and EDK2 "
     "rejects the whole MBR."},
    {"slots_over_reserved_ranges", rule::over_reserved,
     "slot 1 lies over reserved sectors 1024-2047: writing it destroys what they hold."},
    {"out_of_order", rule::out_of_order,
     "slot 2 (sector 2048) starts before slot 1 (sector 4096): 7-Zip rejects partitions out of "
     "disk order."},
    {"order_ignores_type_00", rule::type_zero_used,
     "slot 1 has type 00 but size 2048: Linux makes it a partition, U-Boot, EDK2 and GRUB skip "
     "it."},
    {"ee_entry_without_a_gpt", rule::gpt_primary_invalid,
     "the primary GPT header at sector 1: no EFI PART signature: Linux makes no partition at "
     "all, U-Boot makes none, EDK2 makes none, GRUB makes none."},
    {"two_bootable", rule::several_bootable, "slot 2 is marked bootable, and so is slot 1."},
    {"second_ebr_without_signature", rule::ebr_no_signature,
     "EBR at sector 69632 (in extended slot 2): no 55 aa signature at byte 510 (found 55 00): "
     "every reader ends the chain there."},
    {"link_to_its_own_ebr", rule::chain_loop,
     "partition 5 (EBR at sector 34816): the link points back to the EBR at sector 34816: the "
     "chain loops; Linux and U-Boot make its partitions again and again, EDK2 hangs."},
    {"logical_written_as_absolute", rule::logical_outside,
     "partition 6 (EBR at sector 69632) lies at sectors 141312-200703, outside the extended "
     "partition in slot 2 (sectors 34816-131071): EDK2 ends the chain there."},
    {"link_counted_from_its_own_ebr", rule::logical_over_ebr,
     "partition 5 (EBR at sector 34816) lies over the EBR at sector 65536: writing it destroys the "
     "chain."},
    {"link_of_type_83", rule::link_not_extended,
     "partition 5 (EBR at sector 34816): entry 2, the link, has type 83, not 05 or 0f: Linux makes "
     "it a partition, EDK2 ends the chain there."},
    {"link_of_size_0", rule::link_size_zero,
     "partition 5 (EBR at sector 34816): entry 2 is a link of size 0: Linux ends the chain there."},
    {"link_of_type_85", rule::type_85,
     "partition 5 (EBR at sector 34816): the link has type 85: EDK2 follows only 05 and 0f and "
     "ends the chain there."},
    {"partition_in_entry_3", rule::ebr_extra_entry,
     "partition 6 (EBR at sector 69632): entry 3 is used: EDK2 reads only entry 1, the partition, "
     "and entry 2, the link."},
    {"link_before_the_partition", rule::link_before_partition,
     "partition 5 (EBR at sector 34816): entry 1 is a link (type 05) and entry 2 holds the "
     "partition: EDK2 follows entry 1 and skips the partition."},
    {"ebr_with_a_link_and_no_partition", rule::ebr_without_partition,
     "EBR at sector 34816 (in extended slot 2): a link but no partition in entry 1: EDK2 ends the "
     "chain there, before the partitions after it."},
    {"logical_of_size_0", rule::logical_size_zero,
     "EBR at sector 34816 (in extended slot 2): entry 1 has type 83 but size 0: Linux makes no "
     "partition of it, U-Boot and GRUB make one and number the rest differently, EDK2 ends the "
     "chain there."},
    {"logical_of_type_00", rule::logical_type_zero,
     "partition 5 (EBR at sector 34816) has type 00 but size 32768: Linux makes it a partition, "
     "U-Boot and GRUB do not and number the partitions after it differently."},
    {"logical_at_its_own_ebr", rule::logical_at_ebr,
     "partition 5 (EBR at sector 34816) starts at its own EBR (first sector 0): its contents "
     "overwrite the chain."},
    {"logicals_overlap", rule::link_over_partition,
     "partition 5 (EBR at sector 34816): the link's sectors take in sectors 69632-76863 of the "
     "partition: EDK2 reads the first EBR as an MBR, rejects it and makes no logical partition."},
    {"bad_boot_flag_in_an_ebr", rule::ebr_bad_boot_flag,
     "partition 5 (EBR at sector 34816): entry 1 has boot flag 01, not 00 or 80: U-Boot skips the "
     "entry, GRUB reads no further partition."},
    {"two_extended_slots", rule::two_extended,
     "slot 3 is a second extended partition, after slot 2: U-Boot and GRUB follow only the first "
     "one's chain."},
    {"first_link_longer_than_the_extended_slot", rule::first_link_past_extended,
     "partition 5 (EBR at sector 34816): the link points to sectors 69632-269631, past the end of "
     "the extended partition in slot 2 (sectors 34816-131071): EDK2 reads the first EBR as an MBR, "
     "rejects it and makes no logical partition."},
    {"link_outside_the_extended_slot", rule::link_outside,
     "partition 5 (EBR at sector 34816): the link points to sectors 104816-106863, outside the "
     "extended partition in slot 2 (sectors 34816-100351): EDK2 ends the chain there."},
    {"link_past_the_disk", rule::link_past_disk_end,
     "partition 5 (EBR at sector 34816): the link points to sector 4295002111, past the end of the "
     "disk (sectors 0-131071)."},
    {"logicals_out_of_disk_order", rule::out_of_order,
     "partition 6 (EBR at sector 69632) starts at sector 71680, before partition 5 (sector 88064): "
     "7-Zip rejects partitions out of disk order."},
    {"chain_longer_than_linux_reads", rule::chain_too_long,
     "EBR at sector 1062912 (in extended slot 2): the chain goes on past partition 255 or 256 "
     "EBRs, more than Linux reads."},
    {"no_disk_identifier", rule::no_disk_identifier,
     "disk identifier is 00000000: libblkid then gives no partition a PARTUUID, so "
     "/dev/disk/by-partuuid/ and PARTUUID= in fstab find nothing (the kernel's "
     "root=PARTUUID=00000000-01 still works); write one at byte 440."},
    {"image_ends_inside_a_sector", rule::partial_sector,
     "the image is 1048676 bytes, not a whole number of 512-byte sectors: its last 100 bytes are "
     "not part of the disk, and Raspberry Pi Imager refuses such a file."},
    {"gpt_entry_256_of_256", rule::gpt_entry_past_255,
     "partition 256 is numbered past 255: Linux makes no partition past 255, U-Boot finds none "
     "past "
     "128 by name or UUID."},
    {"gpt_entry_255_of_256", rule::gpt_entry_past_128,
     "partition 255 is numbered past 128: every board reader makes it, but U-Boot finds no "
     "partition past 128 by name or UUID (part_get_info_by_name, by_uuid)."},
    {"gpt_entry_57", rule::gpt_entry_past_56,
     "partition 57 is numbered past 56, as is every partition after it up to 128: U-Boot for "
     "Allwinner (sunxi) boards finds none of them by name or UUID."},
    {"signature_bytes_swapped", rule::no_signature,
     "no 55 aa signature at byte 510 (found aa 55): readers see no partition table."},
    {"minix_subpartition_unaligned", rule::unaligned,
     "partition 5 starts at sector 4097, not on a 1 MiB boundary (a multiple of 2048)."},
    {"minix_subpartitions", rule::minix_subpartitions,
     "slot 1 (type 81) starts with a Minix subpartition table: Linux makes partitions of it from "
     "partition 5 on, GRUB the same ones as nested partitions, U-Boot none, and EDK2 reads it as "
     "an MBR of the slot's own, counted from the slot's first sector."},
    {"gpt_ee_of_another_size", rule::ee_size,
     "slot 1, the protective entry, has size 100000, not 131071 (the disk's sectors but the first) "
     "or 4294967295."},
    {"gpt_ee_not_at_sector_1", rule::ee_not_at_sector_1,
     "slot 1 has type ee but starts at sector 2, not 1: Linux and EDK2 read no GPT, U-Boot makes "
     "the ee entry DOS partition 1 over the disk."},
    {"gpt_ee_in_slot_2", rule::ee_not_first,
     "slot 2 holds the ee entry: a protective MBR holds it in slot 1."},
    {"gpt_two_ee_entries", rule::ee_not_first, "slot 2 is a second ee entry, after slot 1."},
    {"gpt_ee_bootable", rule::ee_boot_flag,
     "slot 1, the ee entry, has boot flag 80, not 00: EDK2 before 2021 ignores the disk."},
    {"gpt_primary_entries_crc_wrong", rule::gpt_primary_invalid,
     "the primary GPT header at sector 1: the entry array's CRC is wrong: Linux makes no "
     "partition at all, U-Boot makes its partitions, EDK2 takes the backup and writes a new "
     "primary header and entry array over sectors 1-33, GRUB checks no CRC and makes 3 "
     "partitions of the broken entries."},
    {"gpt_image_shorter_than_its_gpt", rule::gpt_primary_invalid,
     "the primary GPT header at sector 1: last usable sector 262110 past the disk's last, "
     "131071 (an image shorter than its GPT says): Linux makes no partition at all, U-Boot "
     "makes none, EDK2 makes its partitions, GRUB makes the primary's partitions."},
    {"gpt_entry_size_256", rule::gpt_primary_invalid,
     "the primary GPT header at sector 1: entry size 256, not 128: Linux makes no partition at "
     "all, U-Boot makes none, EDK2 makes none, GRUB makes the primary's partitions."},
    {"gpt_no_entries", rule::gpt_primary_invalid,
     "the primary GPT header at sector 1: an entry count of 0: Linux makes no partition at "
     "all, U-Boot makes none, EDK2 makes none, GRUB makes none."},
    {"gpt_array_over_4_mib", rule::gpt_primary_invalid,
     "the primary GPT header at sector 1: an entry array of 4194432 bytes, over the 4 MiB that "
     "Linux on amd64 and on arm64 with 4 KiB pages reads (armhf reads up to 8 MiB): Linux "
     "makes no partition at all, U-Boot makes none, EDK2 makes none, GRUB makes the primary's "
     "partitions."},
    {"gpt_array_lba_past_the_disk", rule::gpt_primary_invalid,
     "the primary GPT header at sector 1: its entry array at sector 18446744073709551615 runs "
     "past the disk: Linux makes no partition at all, U-Boot makes none, EDK2 makes none, GRUB "
     "makes none."},
    {"gpt_my_lba_wrong", rule::gpt_primary_invalid,
     "the primary GPT header at sector 1: its own LBA is 2, not 1: Linux makes no partition at "
     "all, U-Boot makes none, EDK2 makes none, GRUB makes the primary's partitions."},
    {"gpt_without_a_backup", rule::gpt_backup_invalid,
     "the backup GPT header at sector 131071: no EFI PART signature: EDK2 writes a new backup "
     "there, Linux warns."},
    {"gpt_alternate_lba_past_the_disk", rule::gpt_backup_flawed,
     "the primary's alternate LBA, 200000, lies past the disk's last sector, 131071: Linux warns, "
     "EDK2 finds no backup there and writes nothing; sgdisk -e moves the backup to the disk's "
     "end."},
    {"gpt_backup_of_another_disk", rule::gpt_backup_differs,
     "the backup GPT header at sector 131071 is valid but not the primary's mirror: a reader that "
     "falls back to it boots another table; Linux warns."},
    {"gpt_backup_not_at_the_end", rule::gpt_backup_not_at_end,
     "the backup GPT header is at sector 131071, not at the disk's last sector, 262143: Linux "
     "warns at every boot and U-Boot's gpt verify fails; sgdisk -e moves it to the end."},
    {"gpt_of_4096_byte_sectors", rule::gpt_sector_size,
     "the GPT is laid out for 4096-byte sectors (its header at byte 4096), not for the disk's 512: "
     "Linux, U-Boot and EDK2 find no GPT; --sector-size 4096 reads it."},
    {"gpt_partition_over_the_array", rule::gpt_over_partition,
     "the primary GPT entry array shares sectors 20-33 with partition 1: writing the partition "
     "destroys the GPT."},
    {"gpt_partition_over_the_array", rule::gpt_entry_outside_usable,
     "partition 1 (sectors 20-34815) lies outside the usable sectors 34-131038: EDK2 drops it."},
    {"gpt_array_over_a_reserved_loader", rule::over_reserved,
     "the primary GPT entry array lies over reserved sectors 16-33: writing it destroys what "
     "they hold."},
    {"gpt_entry_ends_before_it_starts", rule::gpt_entry_reversed,
     "partition 2 starts at sector 70000, after its last, 69999: EDK2 drops it, Linux and U-Boot "
     "make a partition that wraps around."},
    {"gpt_entry_130_of_256", rule::gpt_entry_past_128,
     "partition 130 is numbered past 128: every board reader makes it, but U-Boot finds no "
     "partition past 128 by name or UUID (part_get_info_by_name, by_uuid)."},
    {"gpt_entry_300_of_512", rule::gpt_entry_past_255,
     "partition 300 is numbered past 255: Linux makes no partition past 255, U-Boot finds none "
     "past "
     "128 by name or UUID."},
    {"gpt_only_esp_hidden", rule::gpt_hidden_boot,
     "partition 1 has attribute bit 1 (no block I/O protocol) and is the disk's only EFI system "
     "partition: EDK2 makes no partition of it, and UEFI firmware boots nothing from the disk."},
    {"gpt_only_boot_scan_partition_hidden", rule::gpt_hidden_boot,
     "partition 1 has attribute bit 1 (no block I/O protocol) and is the only partition U-Boot's "
     "boot scan takes: EDK2 makes no partition of it."},
    {"gpt_alternate_lba_0", rule::gpt_backup_invalid,
     "the backup GPT header at sector 0: no EFI PART signature: EDK2 writes a new backup header "
     "over the protective MBR at sector 0, Linux warns."},
    {"gpt_backup_header_of_91_bytes", rule::gpt_backup_flawed,
     "the backup GPT header at sector 131071: header size 91, not 92 to the sector size: Linux "
     "warns, EDK2 takes the backup as it is and writes nothing."},
    {"gpt_disk_of_2_to_the_32_sectors", rule::gpt_blocks_past_32_bits,
     "the disk has 4294967296 sectors, 2^32 or more: U-Boot built with 32-bit block numbers "
     "(32-bit "
     "ARM, Debian's armhf builds among them) counts 0 and makes no partition of a GPT past them; "
     "64-bit builds read it."},
    {"gpt_hidden_partition", rule::gpt_hidden,
     "partition 2 has attribute bit 1 (no block I/O protocol): firmware is asked to ignore it, and "
     "EDK2 does."},
    {"gpt_no_partition_for_the_boot_scan", rule::gpt_no_boot_partition,
     "no partition numbered 1 to 29 has attribute bit 2 (legacy BIOS bootable) or the EFI system "
     "type: U-Boot's boot scan finds none."},
    {"gpt_unique_guid_twice", rule::gpt_guid,
     "partition 2 has the unique GUID of partition 1: PARTUUID= finds the wrong one."},
    {"gpt_header_of_96_bytes", rule::gpt_header_size,
     "the primary GPT header's size is 96, not 92."},
    {"gpt_revision_2", rule::gpt_revision,
     "the primary GPT header's revision is 00020000, not 1.0 (00010000): EDK2 from 2026 rejects it "
     "and rewrites the disk."},
    {"gpt_array_at_1_mib", rule::gpt_array_placement,
     "the primary GPT entry array (sectors 2048-2079) is not laid out as UEFI lays it out: 16 KiB "
     "or more, at sector 2, before the first usable sector."},
    {"hybrid", rule::hybrid,
     "the MBR is a hybrid, the ee entry and other partitions: no standard defines it; every board "
     "reader uses the GPT, a ROM that reads only the MBR the other entries."},
    {"hybrid_entry_not_in_the_gpt", rule::hybrid_mismatch,
     "slot 1 (sectors 2048-34814) of the hybrid MBR is no partition of the GPT: every board reader "
     "uses the GPT, but a ROM that reads only the MBR reads other sectors than Linux mounts."},
    {"hybrid_entries_overlap", rule::hybrid_overlap,
     "slot 1 overlaps slot 3 (sectors 34816-40000): every board reader uses the GPT, but a ROM "
     "that reads only the MBR sees overlapping partitions."},
    {"stale_gpt", rule::stale_gpt,
     "a valid GPT header at sector 1 behind an MBR without an ee entry: every board reads the MBR, "
     "while sgdisk refuses the disk and 7-Zip reads the GPT."},
};

void PrintTo(const message_case& row, std::ostream* out) { *out << row.row; }

// Every rule's message, about each subject it can be about and, for a GPT
// header, each field it can name, is a whole sentence: it ends in a full
// stop, after a word that ends one.
TEST(messages, are_whole_sentences)
{
    const std::array<std::string, 22> dangling = {
        "a",   "an", "and", "as", "at",   "but", "by",    "for",  "from", "in",   "into",
        "its", "of", "on",  "or", "over", "the", "their", "then", "to",   "with", "where"};
    const std::array<subject, 7> kinds = {
        subject::disk,          subject::slot,          subject::logical,   subject::ebr,
        subject::gpt_structure, subject::gpt_partition, subject::boot_image};
    for (std::size_t table = 0; table < rule_tables; ++table) {
        for (const rule_info& row : rows_of(table)) {
            for (const subject kind : kinds) {
                if (!includes(row.about, kind)) {
                    continue;
                }
                for (auto field = static_cast<int>(gpt_field::none);
                     field <= static_cast<int>(gpt_field::alternate_lba); ++field) {
                    const finding found = {.what = row.what,
                                           .at = {kind, 5, 34816, 2, 0, gpt_part::primary_array},
                                           .other = 3,
                                           .sectors = {2048, 4095},
                                           .bounds = {0, 131071},
                                           .value = 7,
                                           .wanted = 8,
                                           .field = static_cast<gpt_field>(field)};
                    const std::string text =
                        printed([&](std::FILE* out) { print_message(out, found); });
                    ASSERT_GE(text.size(), 2U) << row.name.text();
                    EXPECT_EQ(text.back(), '.') << row.name.text() << ": " << text;
                    const std::size_t space = text.find_last_of(" (", text.size() - 2);
                    const std::string last = text.substr(space + 1, text.size() - space - 2);
                    EXPECT_EQ(std::find(dangling.begin(), dangling.end(), last), dangling.end())
                        << row.name.text() << ": " << text;
                    EXPECT_EQ(text.find_first_of(",:;", text.size() - 2), std::string::npos)
                        << row.name.text() << ": " << text;
                }
            }
        }
    }
}

class messages : public testing::TestWithParam<message_case> {};

TEST_P(messages, quote_the_finding)
{
    const message_case& row = GetParam();
    const checked_table checked = check_row(row_named(row.row));
    std::string text;
    for_each_finding(checked, [&](const finding& found) {
        if (found.what == row.what && text.empty()) {
            text = printed([&](std::FILE* out) { print_message(out, found); });
        }
    });
    EXPECT_EQ(text, row.text);
}

INSTANTIATE_TEST_SUITE_P(rows, messages, testing::ValuesIn(message_cases),
                         [](const auto& row_info) {
                             return std::string(row_info.param.row) + "_" +
                                    std::string(::info(row_info.param.what).name.text());
                         });

} // namespace
