// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rules a whole partition table is held to. An error is what breaks a
// board: its firmware, boot loader or kernel (EDK2, U-Boot, GRUB, Linux)
// rejects, drops or truncates the table or an entry, or the layout destroys
// data. A warning is what only a desktop tool rejects, or what works but is
// probably not what the image's author meant.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "partition_table.h"

enum class rule : std::uint8_t {
    no_signature,
    bad_boot_flag,
    gpt_protective,
    size_zero,
    starts_at_zero,
    past_disk_end,
    past_last_mbr_sector,
    overlap,
    over_reserved,
    out_of_order,
    ends_on_last_mbr_sector,
    several_bootable,
    extended,
    type_zero_used,
    unaligned,
    no_disk_identifier,
    partial_sector,
};

enum class severity : std::uint8_t { error, warning };

struct rule_info {
    rule what;
    severity level;
    std::string_view name; // stable, for scripts that read the JSON report
};

inline constexpr std::array<rule_info, 17> rule_table = {{
    {rule::no_signature, severity::error, "no_signature"},
    {rule::bad_boot_flag, severity::error, "bad_boot_flag"},
    {rule::gpt_protective, severity::error, "gpt_protective"},
    {rule::size_zero, severity::error, "size_zero"},
    {rule::starts_at_zero, severity::error, "starts_at_zero"},
    {rule::past_disk_end, severity::error, "past_disk_end"},
    {rule::past_last_mbr_sector, severity::error, "past_last_mbr_sector"},
    {rule::overlap, severity::error, "overlap"},
    {rule::over_reserved, severity::error, "over_reserved"},
    // Only 7-Zip rejects these two; every board reads them as written.
    {rule::out_of_order, severity::warning, "out_of_order"},
    {rule::ends_on_last_mbr_sector, severity::warning, "ends_on_last_mbr_sector"},
    {rule::several_bootable, severity::warning, "several_bootable"},
    {rule::extended, severity::warning, "extended"},
    {rule::type_zero_used, severity::warning, "type_zero_used"},
    {rule::unaligned, severity::warning, "unaligned"},
    {rule::no_disk_identifier, severity::warning, "no_disk_identifier"},
    {rule::partial_sector, severity::warning, "partial_sector"},
}};

constexpr const rule_info& info(rule what) { return rule_table[static_cast<std::size_t>(what)]; }

constexpr bool rows_follow_the_enum()
{
    for (std::size_t i = 0; i < rule_table.size(); ++i) {
        if (static_cast<std::size_t>(rule_table[i].what) != i) {
            return false;
        }
    }
    return true;
}
static_assert(rows_follow_the_enum(), "rule_table has one row per rule, in the enum's order");

constexpr bool is_error(rule what) { return info(what).level == severity::error; }

// Sectors first to last, both included.
struct sector_range {
    std::uint64_t first;
    std::uint64_t last;
};

// What the table is checked against.
inline constexpr std::size_t max_reserved = 8;
struct disk_limits {
    std::uint64_t sectors = 0;                         // the disk's size, in its own sectors
    std::uint32_t sector_size = 512;                   // bytes; the unit of every sector number
    std::array<sector_range, max_reserved> reserved{}; // no used slot may touch these
    std::size_t reserved_count = 0;
    std::uint64_t partial_image_bytes = 0; // an image file's size when it ends inside a sector
};

struct finding {
    rule what;
    std::uint8_t slot;       // 1-4; 0 for the sector as a whole
    std::uint8_t other_slot; // the slot it is named with, or 0
    sector_range sectors;    // the sectors both claim: overlaps, reserved ranges
};

// The signature; per slot its nine rules and one per reserved range; every
// slot but one bootable too many; an overlap for each of the six pairs;
// each slot but the first out of order; the identifier; a part sector.
inline constexpr std::size_t max_findings = 1 + (9 + max_reserved) * slot_count + 3 + 6 + 3 + 2;

// The table as read, and what was found, errors first.
struct checked_table {
    disk_limits disk;
    std::array<partition_entry, slot_count> slots{};
    std::uint32_t identifier = 0;
    std::array<std::uint8_t, 2> signature{};
    std::array<finding, max_findings> findings; // the first finding_count of them
    std::size_t finding_count = 0;
};

// A slot is in use when its type or its size is non-zero: Linux reads a
// slot of type 00 that has a size.
constexpr bool is_used(const partition_entry& entry)
{
    return entry.part_type != 0 || entry.lba_size != 0;
}

checked_table check_table(const sector_bytes& sector, const disk_limits& disk);

// Whether the table fails: on an error, or with strict on any finding.
bool fails(const checked_table& table, bool strict);
