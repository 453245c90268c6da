// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "table_check.h"

#include <algorithm>

namespace {

constexpr std::uint8_t gpt_protective_type = 0xee;
constexpr std::uint64_t mib_sectors = 2048;
constexpr std::uint64_t first_past_32_bits = std::uint64_t{1} << 32;

void add(table_check& check, const finding& found)
{
    if (check.finding_count < check.findings.size()) {
        check.findings[check.finding_count++] = found;
    }
}

constexpr bool is_extended(std::uint8_t type)
{
    return type == 0x05 || type == 0x0f || type == 0x85;
}

// Computed in 64 bits, so an entry that runs past 2^32 shows as it is.
constexpr std::uint64_t end_of(const partition_entry& entry)
{
    return std::uint64_t{entry.lba_begin} + entry.lba_size;
}

void check_slot(table_check& check, std::uint8_t slot, std::uint64_t disk_sectors)
{
    const partition_entry& entry = check.slots[slot - 1];
    if (entry.boot_flag != 0x00 && entry.boot_flag != 0x80) {
        add(check, {rule::bad_boot_flag, slot, 0, entry.boot_flag, 0});
    }
    if (entry.part_type == gpt_protective_type) {
        add(check, {rule::gpt_protective, slot, 0, 0, 0});
    }
    if (!is_used(entry)) {
        return;
    }
    if (entry.lba_size == 0) {
        add(check, {rule::size_zero, slot, 0, entry.part_type, 0});
    }
    if (entry.lba_begin == 0) {
        add(check, {rule::starts_at_zero, slot, 0, 0, 0});
    }
    if (entry.lba_size != 0 && end_of(entry) > disk_sectors) {
        add(check, {rule::past_disk_end, slot, 0, end_of(entry) - 1, disk_sectors});
    }
    // 7-Zip adds the two in 32 bits and rejects a sum that wraps, even to 0.
    if (end_of(entry) >= first_past_32_bits) {
        add(check, {rule::past_32_bits, slot, 0, end_of(entry), 0});
    }
    if (is_extended(entry.part_type)) {
        add(check, {rule::extended, slot, 0, entry.part_type, 0});
    }
    if (entry.part_type == 0) {
        add(check, {rule::type_zero_used, slot, 0, entry.lba_size, 0});
    }
    if (entry.lba_begin % mib_sectors != 0) {
        add(check, {rule::unaligned, slot, 0, entry.lba_begin, 0});
    }
}

void check_pair(table_check& check, std::uint8_t slot, std::uint8_t other)
{
    const partition_entry& later = check.slots[slot - 1];
    const partition_entry& earlier = check.slots[other - 1];
    const std::uint64_t shared_first = std::max(later.lba_begin, earlier.lba_begin);
    const std::uint64_t shared_end = std::min(end_of(later), end_of(earlier));
    if (shared_first < shared_end) {
        add(check, {rule::overlap, other, slot, shared_first, shared_end - 1});
    }
}

} // namespace

table_check check_table(const sector_bytes& sector, std::uint64_t disk_sectors)
{
    table_check check;
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        check.slots[slot - 1] = read_slot(sector, slot);
    }
    if (!has_signature(sector)) {
        add(check,
            {rule::no_signature, 0, 0, sector[signature_offset], sector[signature_offset + 1]});
    }

    std::uint8_t first_bootable = 0;
    std::uint8_t previous_typed = 0;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        check_slot(check, slot, disk_sectors);
        const partition_entry& entry = check.slots[slot - 1];
        if (entry.boot_flag == 0x80) {
            if (first_bootable != 0) {
                add(check, {rule::several_bootable, slot, first_bootable, 0, 0});
            } else {
                first_bootable = slot;
            }
        }
        if (!is_used(entry)) {
            continue;
        }
        for (std::uint8_t other = 1; other < slot; ++other) {
            if (is_used(check.slots[other - 1])) {
                check_pair(check, slot, other);
            }
        }
        // 7-Zip wants its partitions, the slots with a type, in the order
        // of their first sectors.
        if (entry.part_type == 0) {
            continue;
        }
        if (previous_typed != 0 && entry.lba_begin < check.slots[previous_typed - 1].lba_begin) {
            add(check, {rule::out_of_order, slot, previous_typed, entry.lba_begin,
                        check.slots[previous_typed - 1].lba_begin});
        }
        previous_typed = slot;
    }
    return check;
}

bool has_errors(const table_check& check)
{
    for (std::size_t i = 0; i < check.finding_count; ++i) {
        if (is_error(check.findings[i].what)) {
            return true;
        }
    }
    return false;
}
