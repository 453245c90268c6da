// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Each partition Linux makes past the slots, against its extended
// partition, the disk, the EBRs, the slots, the reserved ranges and the
// partitions before it.
#include "checks.h"

void check_logical(checked_table& table, std::size_t index)
{
    const logical_partition& logical = table.logicals[index];
    const sector_range& sectors = logical.sectors;
    const auto here = [&](rule what, sector_range shared = {0, 0}, std::uint16_t other = 0) {
        finding found = {.what = what, .part = logical.number, .other = other, .sectors = shared};
        if (!logical.minix) {
            found.ebr = logical.table_sector;
            found.extended_slot = logical.slot;
        }
        add(table, found);
    };
    if (!logical.minix && logical.relative_first == 0) {
        here(rule::logical_at_ebr);
    }
    // It cannot start before the extended partition: every EBR is inside it
    // or past it.
    if (!logical.minix && sectors.last > sectors_of(table.slots[logical.slot - 1]).last) {
        here(rule::logical_outside, sectors);
    }
    if (sectors.last >= table.disk.sectors) {
        here(rule::past_disk_end, sectors);
    }
    for (std::size_t i = 0; i < table.ebr_count; ++i) {
        const sector_range ebr = {table.ebrs[i], table.ebrs[i]};
        if (table.ebrs[i] != logical.table_sector && overlap(sectors, ebr)) {
            here(rule::logical_over_ebr, ebr);
        }
    }
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
        // The slot that holds it, and every extended slot, may.
        if (is_extended(entry.part_type) || (logical.minix && slot == logical.slot)) {
            continue;
        }
        const sector_range both = shared_sectors(sectors, sectors_of(entry));
        if (!is_empty(both)) {
            here(rule::overlap, both, slot);
        }
    }
    for (const sector_range& reserved : table.reserved) {
        const sector_range both = shared_sectors(sectors, reserved);
        if (!is_empty(both)) {
            here(rule::over_reserved, both);
        }
    }
    std::size_t latest = index;
    for (std::size_t i = 0; i < index; ++i) {
        const logical_partition& earlier = table.logicals[i];
        const sector_range both = shared_sectors(sectors, earlier.sectors);
        if (!is_empty(both)) {
            here(rule::overlap, both, earlier.number);
        }
        if (earlier.sectors.first > sectors.first &&
            (latest == index || earlier.sectors.first > table.logicals[latest].sectors.first)) {
            latest = i;
        }
    }
    // 7-Zip, as with the slots.
    if (latest != index) {
        here(rule::out_of_order, {0, 0}, table.logicals[latest].number);
    }
    if (sectors.first % (mib / table.disk.sector_size) != 0) {
        here(rule::unaligned);
    }
}
