// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "rules.h"

#include "findings.h"

namespace {

constexpr std::uint8_t gpt_protective_type = 0xee;
// The last sector an MBR can name, 2^32 - 1: readers keep sector numbers in
// 32 bits.
constexpr std::uint64_t mbr_sector_count = std::uint64_t{1} << 32;

void add(checked_table& table, rule what, std::uint16_t slot = 0, std::uint16_t other_slot = 0,
         sector_range sectors = {0, 0})
{
    add(table, {what, slot, other_slot, 0, sectors, 0});
}

constexpr std::uint64_t end_of(const partition_entry& entry)
{
    return std::uint64_t{entry.lba_begin} + entry.lba_size;
}

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
    for (const sector_range& reserved : table.disk.reserved) {
        const sector_range both = shared_sectors(placed_slot(entry), reserved);
        if (!is_empty(both)) {
            add(table, rule::over_reserved, slot, 0, both);
        }
    }
    if (entry.part_type == 0x85) {
        add(table, rule::type_85, slot);
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
        if (!is_used(earlier) || earlier.lba_size == 0) {
            continue;
        }
        const sector_range both =
            shared_sectors(placed_slot(entry), sectors_of(placed_slot(earlier)));
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

void add(checked_table& table, const finding& found)
{
    const bool error = is_error(found.what);
    const std::size_t room = table.findings.size();
    if (finding_count(table) == room) {
        // Full: an error still takes the last warning's place, which is
        // the next error's, so that what is kept fails the table as the
        // whole list would.
        ++table.findings_left_out;
        if (!error || table.warning_count == 0) {
            return;
        }
        --table.warning_count;
    }
    if (error) {
        table.findings[table.error_count++] = found;
    } else {
        table.findings[room - 1 - table.warning_count++] = found;
    }
}

checked_table check_table(const sector_bytes& sector, const disk_limits& disk,
                          const sector_reader& reader)
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
        // Nothing reads the slots, so no chain is walked either.
        add(table, rule::no_signature);
    }

    std::uint8_t first_bootable = 0;
    std::uint8_t first_extended = 0;
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
        if (is_extended(entry.part_type)) {
            if (first_extended != 0) {
                add(table, rule::two_extended, slot, first_extended);
            } else {
                first_extended = slot;
            }
        }
        if (is_used(entry)) {
            any_used = true;
            check_overlaps(table, slot);
            check_order(table, slot);
        }
    }
    if (has_signature(sector)) {
        check_chains(table, reader);
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
    return table.error_count != 0 || (strict && table.warning_count != 0);
}
