// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A GPT disk: what the checks of its MBR, its headers and its entries
// share.
#pragma once

#include <algorithm>
#include <cstdint>

#include "checks.h"

inline constexpr std::uint8_t ee_type = 0xee;

// The sectors an array takes, rounded up to whole sectors.
constexpr std::uint64_t array_sectors(const gpt_header& header, std::uint32_t sector_size)
{
    return (array_bytes(header) + sector_size - 1) / sector_size;
}

constexpr sector_range array_range(const gpt_header& header, std::uint32_t sector_size)
{
    return sectors_from(header.entries_lba, array_sectors(header, sector_size));
}

// The header whose entries are listed: the primary's, or the backup's
// where the primary is invalid; nullptr when neither is valid.
constexpr const gpt_header* listed_header(const gpt_table& gpt)
{
    if (gpt.primary.problem == gpt_field::none) {
        return &gpt.primary.header;
    }
    return gpt.from_backup ? &gpt.backup.header : nullptr;
}

// An entry's sectors, empty when it ends before it starts.
constexpr sector_range sectors_of(const gpt_entry& entry)
{
    return entry.first_lba <= entry.last_lba ? sector_range{entry.first_lba, entry.last_lba}
                                             : no_sectors;
}

// The first of a header's signature, size and CRC that it breaks: whether
// the sector holds a GPT header at all.
gpt_field form_problem(std::span<const std::uint8_t> sector, const gpt_header& header,
                       std::uint32_t sector_size);

// Reads both headers and the entries of the valid one.
void read_gpt(checked_table& table, const sector_reader& reader);

// Checks the protective or hybrid MBR, the headers and the entries.
void check_gpt(checked_table& table);

// A GPT header left at sector 1 of a disk whose MBR has no ee entry.
void check_stale_gpt(checked_table& table, const sector_reader& reader);

// A hybrid MBR: other used entries beside the ee one.
constexpr bool is_hybrid(const checked_table& table)
{
    return std::any_of(table.slots.begin(), table.slots.end(), [](const partition_entry& entry) {
        return entry.part_type != ee_type && is_used(entry);
    });
}
