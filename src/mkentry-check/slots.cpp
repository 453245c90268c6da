// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The four slots of the first sector, and the whole check around them.
#include <algorithm>

#include "gpt.h"

namespace {
// Sector 2^32, one past the last an MBR can name: readers keep sector
// numbers in 32 bits.
constexpr std::uint64_t mbr_sector_count = std::uint64_t{1} << 32;

finding at_slot(rule what, std::uint8_t slot, std::uint8_t other = 0)
{
    return {.what = what, .part = slot, .other = other};
}

// An ee entry on a GPT disk has rules of its own.
bool is_protective(const checked_table& table, const partition_entry& entry)
{
    return table.gpt.present && entry.part_type == ee_type;
}

void check_slot(checked_table& table, std::uint8_t slot)
{
    const partition_entry& entry = table.slots[slot - 1];
    if (is_protective(table, entry)) {
        return;
    }
    // On a GPT disk no reader looks at an empty slot's flag: Linux rejects
    // a bad one only in its MBR reader, which steps aside for the GPT.
    if (entry.boot_flag != 0x00 && entry.boot_flag != 0x80 &&
        (!table.gpt.present || is_used(entry))) {
        finding found = at_slot(rule::bad_boot_flag, slot);
        found.flag = entry.boot_flag;
        add(table, found);
    }
    if (!is_used(entry)) {
        return;
    }
    const std::uint64_t end = std::uint64_t{entry.lba_begin} + entry.lba_size;
    if (entry.lba_size == 0) {
        add(table, at_slot(rule::size_zero, slot));
    }
    if (entry.lba_begin == 0) {
        add(table, at_slot(rule::starts_at_zero, slot));
    }
    if (entry.lba_size != 0 && end > table.disk.sectors) {
        add(table, at_slot(rule::past_disk_end, slot));
    }
    if (end > mbr_sector_count) {
        add(table, at_slot(rule::past_last_mbr_sector, slot));
    } else if (end == mbr_sector_count) {
        // 7-Zip adds the two in 32 bits, gets 0 and rejects the table.
        add(table, at_slot(rule::ends_on_last_mbr_sector, slot));
    }
    for (const sector_range& reserved : table.reserved) {
        const sector_range both = shared_sectors(sectors_of(entry), reserved);
        if (!is_empty(both)) {
            finding found = at_slot(rule::over_reserved, slot);
            found.sectors = both;
            add(table, found);
        }
    }
    if (entry.part_type == 0) {
        add(table, at_slot(rule::type_zero_used, slot));
    }
    if (entry.lba_begin % (mib / table.disk.sector_size) != 0) {
        add(table, at_slot(rule::unaligned, slot));
    }
}

// On a GPT disk the ee entry may cover the others; two others that overlap
// are what a ROM that reads only the MBR sees.
void check_overlaps(checked_table& table, std::uint8_t slot)
{
    const rule what = table.gpt.present ? rule::hybrid_overlap : rule::overlap;
    for (std::uint8_t other = 1; other < slot; ++other) {
        if (is_protective(table, table.slots[slot - 1]) ||
            is_protective(table, table.slots[other - 1])) {
            continue;
        }
        const sector_range both =
            shared_sectors(sectors_of(table.slots[slot - 1]), sectors_of(table.slots[other - 1]));
        if (!is_empty(both)) {
            finding found = at_slot(what, other, slot);
            found.sectors = both;
            add(table, found);
        }
    }
}

// 7-Zip wants its partitions, the slots with a type, in the order of their
// first sectors; on a GPT disk it reads the GPT. A slot that starts before
// an earlier one is named with the earlier slot that starts last.
void check_order(checked_table& table, std::uint8_t slot)
{
    const partition_entry& entry = table.slots[slot - 1];
    if (entry.part_type == 0 || table.gpt.present) {
        return;
    }
    std::uint8_t latest = 0;
    for (std::uint8_t other = 1; other < slot; ++other) {
        const partition_entry& earlier = table.slots[other - 1];
        if (earlier.part_type != 0 && earlier.lba_begin > entry.lba_begin &&
            (latest == 0 || earlier.lba_begin > table.slots[latest - 1].lba_begin)) {
            latest = other;
        }
    }
    if (latest != 0) {
        add(table, at_slot(rule::out_of_order, slot, latest));
    }
}

// Bootable flags and extended slots, each named with the first of its kind.
void check_firsts(checked_table& table)
{
    std::uint8_t first_bootable = 0;
    std::uint8_t first_extended = 0;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
        if (entry.boot_flag == 0x80 && first_bootable != 0) {
            add(table, at_slot(rule::several_bootable, slot, first_bootable));
        } else if (entry.boot_flag == 0x80) {
            first_bootable = slot;
        }
        if (is_extended(entry.part_type) && first_extended != 0) {
            add(table, at_slot(rule::two_extended, slot, first_extended));
        } else if (is_extended(entry.part_type)) {
            first_extended = slot;
        }
    }
}

} // namespace

checked_table check_table(const sector_bytes& sector, const disk_geometry& disk,
                          std::span<const sector_range> reserved, const sector_reader& reader)
{
    checked_table table;
    table.disk = disk;
    table.reserved = reserved;
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        table.slots[slot - 1] = read_slot(sector, slot);
    }
    table.identifier = disk_identifier(sector);
    table.signature = {sector[signature_offset], sector[signature_offset + 1]};
    table.gpt.present =
        std::any_of(table.slots.begin(), table.slots.end(),
                    [](const partition_entry& entry) { return entry.part_type == ee_type; });
    if (!has_signature(sector)) {
        // Nothing reads the slots, so no chain is walked either; EDK2
        // still reads a GPT.
        add(table, {.what = rule::no_signature, .signature = table.signature});
    }
    bool any_used = false;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        check_slot(table, slot);
        if (is_used(table.slots[slot - 1])) {
            any_used = true;
            check_overlaps(table, slot);
            check_order(table, slot);
        }
    }
    check_firsts(table);
    if (table.gpt.present) {
        read_gpt(table, reader);
        if (table.failure.reason == nullptr) {
            check_gpt(table);
        }
    } else if (has_signature(sector)) {
        check_chains(table, reader);
        check_minix(table, reader);
        for (std::size_t i = 0; i < table.logical_count && table.failure.reason == nullptr; ++i) {
            check_logical(table, i);
        }
    }
    if (!table.gpt.present && table.failure.reason == nullptr) {
        check_stale_gpt(table, reader);
    }
    // A GPT names its disk by the GUID in its header.
    if (any_used && table.identifier == 0 && !table.gpt.present) {
        add(table, {.what = rule::no_disk_identifier});
    }
    if (disk.partial_image_bytes != 0) {
        add(table, {.what = rule::partial_sector});
    }
    return table;
}
