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
#include <span>
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
    two_extended,
    type_85,
    ebr_no_signature,
    ebr_bad_boot_flag,
    chain_loop,
    chain_too_long,
    link_not_extended,
    link_size_zero,
    link_outside,
    link_over_partition,
    link_past_disk_end,
    link_before_partition,
    ebr_without_partition,
    ebr_extra_entry,
    logical_type_zero,
    logical_at_ebr,
    logical_outside,
    logical_over_ebr,
    out_of_order,
    ends_on_last_mbr_sector,
    several_bootable,
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

inline constexpr std::array<rule_info, 34> rule_table = {{
    {rule::no_signature, severity::error, "no_signature"},
    {rule::bad_boot_flag, severity::error, "bad_boot_flag"},
    {rule::gpt_protective, severity::error, "gpt_protective"},
    {rule::size_zero, severity::error, "size_zero"},
    {rule::starts_at_zero, severity::error, "starts_at_zero"},
    {rule::past_disk_end, severity::error, "past_disk_end"},
    {rule::past_last_mbr_sector, severity::error, "past_last_mbr_sector"},
    {rule::overlap, severity::error, "overlap"},
    {rule::over_reserved, severity::error, "over_reserved"},
    // The extended partition's chain, as Linux, U-Boot, EDK2 and GRUB walk it.
    {rule::two_extended, severity::error, "two_extended"},
    {rule::type_85, severity::error, "type_85"},
    {rule::ebr_no_signature, severity::error, "ebr_no_signature"},
    {rule::ebr_bad_boot_flag, severity::error, "ebr_bad_boot_flag"},
    {rule::chain_loop, severity::error, "chain_loop"},
    {rule::chain_too_long, severity::error, "chain_too_long"},
    {rule::link_not_extended, severity::error, "link_not_extended"},
    {rule::link_size_zero, severity::error, "link_size_zero"},
    {rule::link_outside, severity::error, "link_outside"},
    {rule::link_over_partition, severity::error, "link_over_partition"},
    {rule::link_past_disk_end, severity::error, "link_past_disk_end"},
    {rule::link_before_partition, severity::error, "link_before_partition"},
    {rule::ebr_without_partition, severity::error, "ebr_without_partition"},
    {rule::ebr_extra_entry, severity::error, "ebr_extra_entry"},
    {rule::logical_type_zero, severity::error, "logical_type_zero"},
    {rule::logical_at_ebr, severity::error, "logical_at_ebr"},
    {rule::logical_outside, severity::error, "logical_outside"},
    {rule::logical_over_ebr, severity::error, "logical_over_ebr"},
    // Only 7-Zip rejects these two; every board reads them as written.
    {rule::out_of_order, severity::warning, "out_of_order"},
    {rule::ends_on_last_mbr_sector, severity::warning, "ends_on_last_mbr_sector"},
    {rule::several_bootable, severity::warning, "several_bootable"},
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
    std::uint64_t sectors = 0;       // the disk's size, in its own sectors
    std::uint32_t sector_size = 512; // bytes; the unit of every sector number
    // No partition may touch these; the caller keeps them, so that the
    // limits are copied into the result as a few words, never by memcpy.
    std::span<const sector_range> reserved{};
    std::uint64_t partial_image_bytes = 0; // an image file's size when it ends inside a sector
};

// Reads the first 512 bytes of one sector of the disk, counted in the
// disk's own sectors: nullptr, or why it could not. The checker asks only
// for sectors inside the disk.
struct sector_reader {
    const char* (*read)(const void* disk, std::uint64_t sector, sector_bytes& out);
    const void* disk;
};

// Linux numbers the logical partitions from 5 and makes at most 255
// partitions in all; the walk reads no more EBRs than it would.
inline constexpr std::size_t first_logical = 5;
inline constexpr std::size_t max_logicals = 255 - first_logical + 1;
inline constexpr std::size_t max_ebrs = 256;

// A logical partition as Linux makes it: an entry of an EBR that has a
// size and is not a link. Plain fields, so that the table is not filled in
// at every start.
struct logical_partition {
    std::uint64_t ebr;   // the sector of the EBR it is written in
    std::uint64_t first; // on the disk: the EBR's sector plus the entry's first sector
    std::uint32_t relative_first;
    std::uint32_t size;
    std::uint8_t boot_flag;
    std::uint8_t part_type;
    std::uint8_t number;    // as Linux numbers it: 5, 6, ...
    std::uint8_t ebr_entry; // 1-4
    std::uint8_t slot;      // the extended slot whose chain holds it
};

// 32 bytes, the small fields first: copied as a few words on every target,
// where a larger one is copied by a call to memcpy on some.
struct finding {
    rule what;
    std::uint16_t part;       // the partition it is about: slot 1-4, logical 5 on; 0 for the disk
    std::uint16_t other_part; // the partition or extended slot it is named with, or 0
    std::uint16_t detail;     // a byte, two bytes or an entry the message names
    sector_range sectors;     // the sectors both claim, or that a link points to
    std::uint64_t ebr;        // for the chain's findings, the EBR's sector
};
static_assert(sizeof(finding) == 32);

// Enough for every finding of a table of four slots, and for far more than
// a chain that a board reads: past it, the findings that do not fit are
// counted, errors kept before warnings.
inline constexpr std::size_t max_findings = 512;

// Where the walk stopped because a sector could not be read.
struct read_failure {
    std::uint64_t sector;
    const char* reason; // nullptr when every sector read
};

// The table as read, and what was found.
struct checked_table {
    disk_limits disk;
    std::array<partition_entry, slot_count> slots{};
    std::uint32_t identifier = 0;
    std::array<std::uint8_t, 2> signature{};
    std::array<logical_partition, max_logicals> logicals; // the first logical_count of them
    std::size_t logical_count = 0;
    std::array<std::uint64_t, max_ebrs> ebrs; // every EBR read, in chain order
    std::size_t ebr_count = 0;
    // Errors from the front, warnings from the back, each in the order
    // found: nothing is moved to print errors first. nth_finding reads them.
    std::array<finding, max_findings> findings;
    std::size_t error_count = 0;
    std::size_t warning_count = 0;
    std::size_t findings_left_out = 0;
    read_failure failure{0, nullptr};
};

// A slot is in use when its type or its size is non-zero: Linux reads a
// slot of type 00 that has a size.
constexpr bool is_used(const partition_entry& entry)
{
    return entry.part_type != 0 || entry.lba_size != 0;
}

constexpr std::size_t finding_count(const checked_table& table)
{
    return table.error_count + table.warning_count;
}

// The findings in the order they are printed: errors first.
constexpr const finding& nth_finding(const checked_table& table, std::size_t index)
{
    return index < table.error_count
               ? table.findings[index]
               : table.findings[table.findings.size() - 1 - (index - table.error_count)];
}

// Checks the four slots of the first sector, then walks the chain of every
// extended slot, reading its EBRs through reader.
checked_table check_table(const sector_bytes& sector, const disk_limits& disk,
                          const sector_reader& reader);

// Whether the table fails: on an error, or with strict on any finding.
bool fails(const checked_table& table, bool strict);
