// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// One thing found: its rule, what it is about, and what its message
// quotes, so that the message and the JSON report read the finding alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "disk/ranges.h"
#include "rules/rules.h"

// The structures of a GPT a finding may be about.
enum class gpt_part : std::uint8_t {
    none,
    primary_header,
    primary_array,
    backup_header,
    backup_array,
};

// The first rule of a GPT header that it breaks.
enum class gpt_field : std::uint8_t {
    none,
    signature,
    header_size,
    header_crc,
    my_lba,
    usable_range, // first usable after last usable
    last_usable,  // past the disk's last sector
    entry_length, // not 128
    entry_count,  // 0
    array_size,   // over 4 MiB
    array_place,  // past the disk
    array_crc,
    alternate_lba, // past the disk
};

// What a finding is about.
struct place {
    subject kind;
    std::uint16_t number;       // a slot 1-4, Linux's number past them, or a GPT partition's
    std::uint64_t ebr;          // the EBR a logical partition, or an EBR, is at; 0: none
    std::uint8_t extended_slot; // the slot whose chain holds that EBR
    std::uint8_t entry;         // an EBR's entry, 1-4; 0: none
    gpt_part structure;         // a GPT header or array
};

// Each is written as a designated initializer: the fields a rule does not
// use are 0. No default member values, so that the list of findings is not
// filled in at every start.
struct finding {
    rule what;
    place at;
    std::uint16_t other;               // the partition it is named with, of the same table; 0: none
    sector_range sectors = no_sectors; // the sectors both claim, a link points to, or it is about
    sector_range bounds =
        no_sectors;       // the sectors they should lie in: the disk, an extended slot, the usable
    std::uint64_t value;  // a number the message quotes: a flag, a type, a size, a field
    std::uint64_t wanted; // what it should be, or the number it is quoted with
    gpt_field field;      // a GPT header's broken rule
};

constexpr place at_disk() { return {subject::disk, 0, 0, 0, 0, gpt_part::none}; }

constexpr place at_slot(std::uint8_t slot)
{
    return {subject::slot, slot, 0, 0, 0, gpt_part::none};
}

constexpr place at_gpt(gpt_part structure)
{
    return {subject::gpt_structure, 0, 0, 0, 0, structure};
}

constexpr place at_gpt_partition(std::uint16_t number)
{
    return {subject::gpt_partition, number, 0, 0, 0, gpt_part::none};
}

// Room for every finding of four slots and for far more than a chain a
// board reads. Past it, an error takes the place of the last warning kept:
// no error is dropped, so the status stays right.
inline constexpr std::size_t max_findings = 512;

struct finding_list {
    std::array<finding, max_findings> kept; // the first count of them, in the order found
    std::size_t count = 0;
    std::size_t errors = 0;   // found, kept or not
    std::size_t warnings = 0; // found, kept or not
    std::size_t left_out = 0;
};

// Keeps a finding, in the order found.
void add(finding_list& list, const finding& found);
