// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A GPT disk as read: its two headers, the entries of the valid one, and
// what its checks share.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "header.h"
#include "mbr/mbr.h"
#include "rules/context.h"

// A GPT header as read, and the first rule it breaks.
struct gpt_header_read {
    bool read = false;        // there was a sector to read it from
    std::uint64_t sector = 0; // where it was read
    gpt_header header{};
    gpt_field problem = gpt_field::signature;
    bool crc_taken = false; // its array's CRC was taken, whether right or not
    std::uint32_t array_crc = 0;
};

// A used entry (a non-zero type) of the GPT read, numbered as Linux numbers
// it: its index plus 1.
struct gpt_partition {
    std::uint16_t number;
    gpt_entry entry;
};

// Linux makes partitions of the first 255 entries only.
inline constexpr std::size_t max_gpt_partitions = 255;

struct gpt_table {
    gpt_header_read primary;
    gpt_header_read backup;            // at the primary's alternate LBA, or at the disk's last
                                       // sector when the primary is invalid
    bool from_backup = false;          // the partitions listed are the backup's
    bool backup_differs = false;       // the backup, where valid, is not the primary's mirror
    bool edk2_takes_backup = false;    // a backup that breaks Linux's rules passes EDK2's
    bool primary_holds_entries = true; // an array whose CRC is wrong holds an entry in range
    std::uint32_t laid_out_for = 0;    // the sector size a GPT found elsewhere is laid out for
    std::array<gpt_partition, max_gpt_partitions> partitions; // the first count of them
    std::size_t count = 0;
    std::uint32_t first_number_past_kept = 0; // a used entry past 255, if any
    bool room_for_loader = false;             // the primary array is laid out around a boot loader
};

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

// Whether a hybrid MBR's entry starts where a listed GPT partition starts
// and is as large.
constexpr bool mirrors_a_partition(const gpt_table& gpt, const partition_entry& entry)
{
    const auto begin = gpt.partitions.begin();
    const auto end = begin + static_cast<std::ptrdiff_t>(gpt.count);
    return std::any_of(begin, end, [&](const gpt_partition& partition) {
        const sector_range mirror = sectors_of(partition.entry);
        return mirror.first == entry.lba_begin && size_of(mirror) == entry.lba_size;
    });
}

// A hybrid MBR: other used entries beside the ee one.
constexpr bool is_hybrid(const mbr_table& mbr)
{
    return std::any_of(mbr.slots.begin(), mbr.slots.end(), [](const partition_entry& entry) {
        return entry.part_type != ee_type && is_used(entry);
    });
}

// The first of a header's signature, size and CRC that it breaks: whether
// the sector holds a GPT header at all.
gpt_field form_problem(std::span<const std::uint8_t> sector, const gpt_header& header,
                       std::uint32_t sector_size);

// Reads both headers and the entries of the valid one.
void read_gpt(check_context& check, gpt_table& gpt);

// Checks the protective or hybrid MBR, the headers, their arrays and the
// entries, once the MBR's other slots are checked beside the GPT.
void check_gpt(check_context& check, const mbr_table& mbr, const gpt_table& gpt);

// The parts of that check: the ee entry; the other entries of a hybrid
// against the GPT; the entries.
void check_protective_mbr(check_context& check, const mbr_table& mbr);
void check_hybrid(check_context& check, const mbr_table& mbr, const gpt_table& gpt);
void check_entries(check_context& check, const gpt_table& gpt);

// A GPT header left at sector 1 of a disk whose MBR has no ee entry.
void check_stale_gpt(check_context& check);
