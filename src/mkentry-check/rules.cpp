// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "rules.h"

#include <algorithm>

namespace {

constexpr std::uint8_t gpt_protective_type = 0xee;
constexpr std::uint64_t mib = std::uint64_t{1024} * 1024;
// The last sector an MBR can name, 2^32 - 1: readers keep sector numbers in
// 32 bits.
constexpr std::uint64_t mbr_sector_count = std::uint64_t{1} << 32;

// Errors go before every warning, and each kind stays in the order found:
// errors are what stops the image, so they are read first.
void add(checked_table& table, rule what, std::uint8_t slot = 0, std::uint8_t other_slot = 0,
         sector_range sectors = {0, 0})
{
    if (table.finding_count == table.findings.size()) {
        return;
    }
    std::size_t at = table.finding_count++;
    while (is_error(what) && at > 0 && !is_error(table.findings[at - 1].what)) {
        table.findings[at] = table.findings[at - 1];
        --at;
    }
    table.findings[at] = {what, slot, other_slot, sectors};
}

constexpr bool is_extended(std::uint8_t type)
{
    return type == 0x05 || type == 0x0f || type == 0x85;
}

// One past the last sector, in 64 bits, so an entry that runs past 2^32
// shows as it is.
constexpr std::uint64_t end_of(const partition_entry& entry)
{
    return std::uint64_t{entry.lba_begin} + entry.lba_size;
}

// The sectors an entry shares with the range first to last, both included;
// empty when first > last. Closed ranges, so that a range ending on sector
// 2^64 - 1 needs no end past it.
constexpr sector_range shared_sectors(const partition_entry& entry, sector_range other)
{
    if (entry.lba_size == 0) {
        return {1, 0};
    }
    return {std::max<std::uint64_t>(entry.lba_begin, other.first),
            std::min(end_of(entry) - 1, other.last)};
}

constexpr bool is_empty(const sector_range& range) { return range.first > range.last; }

void check_slot(checked_table& table, std::uint8_t slot)
{
    const partition_entry& entry = table.slots[slot - 1];
    if (entry.boot_flag != 0x00 && entry.boot_flag != 0x80) {
        add(table, rule::bad_boot_flag, slot);
    }
    if (entry.part_type == gpt_protective_type) {
        add(table, rule::gpt_protective, slot);
    }
    if (!is_used(entry)) {
        return;
    }
    if (entry.lba_size == 0) {
        add(table, rule::size_zero, slot);
    }
    if (entry.lba_begin == 0) {
        add(table, rule::starts_at_zero, slot);
    }
    if (entry.lba_size != 0 && end_of(entry) > table.disk.sectors) {
        add(table, rule::past_disk_end, slot);
    }
    if (end_of(entry) > mbr_sector_count) {
        add(table, rule::past_last_mbr_sector, slot);
    } else if (end_of(entry) == mbr_sector_count) {
        // 7-Zip adds the two in 32 bits, gets 0 and rejects the table.
        add(table, rule::ends_on_last_mbr_sector, slot);
    }
    for (std::size_t i = 0; i < table.disk.reserved_count; ++i) {
        const sector_range both = shared_sectors(entry, table.disk.reserved[i]);
        if (!is_empty(both)) {
            add(table, rule::over_reserved, slot, 0, both);
        }
    }
    if (is_extended(entry.part_type)) {
        add(table, rule::extended, slot);
    }
    if (entry.part_type == 0) {
        add(table, rule::type_zero_used, slot);
    }
    if (entry.lba_begin % (mib / table.disk.sector_size) != 0) {
        add(table, rule::unaligned, slot);
    }
}

void check_overlaps(checked_table& table, std::uint8_t slot)
{
    const partition_entry& entry = table.slots[slot - 1];
    for (std::uint8_t other = 1; other < slot; ++other) {
        const partition_entry& earlier = table.slots[other - 1];
        if (!is_used(earlier)) {
            continue;
        }
        if (earlier.lba_size == 0) {
            continue;
        }
        const sector_range both = shared_sectors(entry, {earlier.lba_begin, end_of(earlier) - 1});
        if (!is_empty(both)) {
            add(table, rule::overlap, other, slot, both);
        }
    }
}

// 7-Zip wants its partitions, the slots with a type, in the order of their
// first sectors. A slot that starts before an earlier one is named with the
// earlier slot that starts last.
void check_order(checked_table& table, std::uint8_t slot)
{
    const partition_entry& entry = table.slots[slot - 1];
    if (entry.part_type == 0) {
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
        add(table, rule::out_of_order, slot, latest);
    }
}

} // namespace

checked_table check_table(const sector_bytes& sector, const disk_limits& disk)
{
    checked_table table;
    table.disk = disk;
    if (table.disk.sector_size == 0) {
        table.disk.sector_size = mbr_size;
    }
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        table.slots[slot - 1] = read_slot(sector, slot);
    }
    table.identifier = disk_identifier(sector);
    table.signature = {sector[signature_offset], sector[signature_offset + 1]};
    if (!has_signature(sector)) {
        add(table, rule::no_signature);
    }

    std::uint8_t first_bootable = 0;
    bool any_used = false;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        check_slot(table, slot);
        const partition_entry& entry = table.slots[slot - 1];
        if (entry.boot_flag == 0x80) {
            if (first_bootable != 0) {
                add(table, rule::several_bootable, slot, first_bootable);
            } else {
                first_bootable = slot;
            }
        }
        if (is_used(entry)) {
            any_used = true;
            check_overlaps(table, slot);
            check_order(table, slot);
        }
    }
    if (any_used && table.identifier == 0) {
        add(table, rule::no_disk_identifier);
    }
    if (disk.partial_image_bytes != 0) {
        add(table, rule::partial_sector);
    }

    return table;
}

bool fails(const checked_table& table, bool strict)
{
    return std::any_of(table.findings.begin(), table.findings.begin() + table.finding_count,
                       [strict](const finding& found) { return strict || is_error(found.what); });
}
