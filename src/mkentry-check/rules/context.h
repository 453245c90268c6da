// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What every format's checks work with: the disk, its reader, the ranges
// no partition may touch, and what was found.
#pragma once

#include <cstdint>
#include <span>

#include "disk/geometry.h"
#include "disk/reader.h"
#include "rules/finding.h"

struct check_context {
    disk_geometry disk;
    std::span<const sector_range> reserved; // no partition may touch these
    sector_reader reader;
    finding_list findings;
    read_failure failure{0, nullptr, nullptr};
};

inline void add(check_context& check, const finding& found) { add(check.findings, found); }

// Reads out's bytes of the disk from a byte offset (an array's piece, a
// signature probed for another sector size); false, with the failure set
// at the sector that holds the offset, when it cannot.
bool read_disk(check_context& check, std::uint64_t offset, const char* what,
               std::span<std::uint8_t> out);

// The same from the start of a sector of the disk (an EBR, a Minix table,
// a GPT header).
bool read_table_sector(check_context& check, std::uint64_t sector, const char* what,
                       std::span<std::uint8_t> out);

// 1 MiB, the alignment partitioning tools use, in bytes.
inline constexpr std::uint64_t mib = std::uint64_t{1024} * 1024;

// The rules every partition is held to, whatever its table: past the
// disk's end, over a reserved range, off a 1 MiB boundary. A finding names
// the partition at where. Inline: a chain checks every partition against
// every other, and most pairs share nothing.
inline void check_past_disk_end(check_context& check, const place& where,
                                const sector_range& sectors)
{
    // An empty range ends at sector 0, on every disk.
    if (sectors.last >= check.disk.sectors) {
        add(check, {.what = rule::past_disk_end,
                    .at = where,
                    .sectors = sectors,
                    .bounds = sectors_from(0, check.disk.sectors)});
    }
}

inline void check_reserved(check_context& check, const place& where, const sector_range& sectors)
{
    for (const sector_range& reserved : check.reserved) {
        const sector_range both = shared_sectors(sectors, reserved);
        if (!is_empty(both)) {
            add(check, {.what = rule::over_reserved, .at = where, .sectors = both});
        }
    }
}

// Whether a partition starting at a sector was already found unaligned.
bool said_unaligned(const finding_list& findings, std::uint64_t first);

inline void check_alignment(check_context& check, const place& where, std::uint64_t first)
{
    const std::uint64_t per_mib = mib / check.disk.sector_size;
    // A hybrid MBR's slot and the GPT partition it mirrors start on one
    // sector, which is said once.
    if (first % per_mib != 0 && !said_unaligned(check.findings, first)) {
        add(check, {.what = rule::unaligned, .at = where, .value = first, .wanted = per_mib});
    }
}

// Two partitions of one table, named with the other: its number.
inline void check_overlap(check_context& check, rule what, const place& where,
                          const sector_range& sectors, std::uint16_t other,
                          const sector_range& other_sectors)
{
    const sector_range both = shared_sectors(sectors, other_sectors);
    if (!is_empty(both)) {
        add(check, {.what = what, .at = where, .other = other, .sectors = both});
    }
}
