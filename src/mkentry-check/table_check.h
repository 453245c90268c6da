// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules a whole partition table is held to: what the strictest readers
// of an MBR (UEFI firmware, GRUB, 7-Zip, Linux) reject, and what works but
// is probably not what the image's author meant.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "partition_table.h"

// The meaning of a finding's numbers a and b is given for each rule.
enum class rule : std::uint8_t {
    // Errors: at least one reader drops, rejects or truncates the table.
    no_signature,   // a, b: the two bytes found at offset 510
    bad_boot_flag,  // a: the flag byte
    gpt_protective, //
    size_zero,      // a: the type
    starts_at_zero, //
    past_disk_end,  // a: the slot's last sector, b: the disk's size in sectors
    past_32_bits,   // a: first sector + size
    overlap,        // a-b: the sectors both slots claim
    out_of_order,   // a: the slot's first sector, b: the other slot's
    // Warnings: every reader takes the table as written.
    several_bootable, // other: the first slot marked bootable
    extended,         // a: the type
    type_zero_used,   // a: the size
    unaligned,        // a: the first sector
};

constexpr bool is_error(rule what) { return what <= rule::out_of_order; }

struct finding {
    rule what = rule::no_signature;
    std::uint8_t slot = 0;  // 1-4; 0 for the sector as a whole
    std::uint8_t other = 0; // the second slot of a pair
    std::uint64_t a = 0;
    std::uint64_t b = 0;
};

// The signature; nine rules for each slot; every slot but one bootable too
// many; an overlap for each of the six pairs; each slot but the first out
// of order.
inline constexpr std::size_t max_findings = 1 + 9 * slot_count + 3 + 6 + 3;

struct table_check {
    std::array<partition_entry, slot_count> slots{};
    std::array<finding, max_findings> findings{};
    std::size_t finding_count = 0;
};

// A slot is in use when its type or its size is non-zero: Linux reads a
// slot of type 00 that has a size.
constexpr bool is_used(const partition_entry& entry)
{
    return entry.part_type != 0 || entry.lba_size != 0;
}

table_check check_table(const sector_bytes& sector, std::uint64_t disk_sectors);

bool has_errors(const table_check& check);
