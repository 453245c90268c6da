// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Minix subpartitions: where a slot of type 81 starts with a table of
// its own (55 aa, and entry 1 of type 81), Linux makes a partition of
// each of its entries of type 81, numbered after the logical partitions.
// GRUB makes the same ones as nested partitions and U-Boot none; EDK2
// reads the table as it reads every partition's first sector, as an MBR
// counted from the slot's own start, and so puts them elsewhere.
#include "mbr/mbr.h"

namespace {

constexpr std::uint8_t minix_type = 0x81;

// The number Linux gives the next partition past the slots.
std::size_t next_number(const mbr_table& mbr)
{
    return mbr.logical_count == 0 ? first_logical : mbr.logicals[mbr.logical_count - 1].number + 1U;
}

} // namespace

void check_minix(check_context& check, mbr_table& mbr)
{
    // Linux counts a Minix table's sectors in 512 bytes, whatever the
    // disk's sector size.
    const std::uint64_t per_sector = check.disk.sector_size / mbr_size;
    for (std::uint8_t slot = 1; slot <= slot_count && check.failure.reason == nullptr; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        sector_bytes sector;
        if (entry.part_type != minix_type || entry.lba_size == 0 ||
            entry.lba_begin >= check.disk.sectors ||
            !read_table_sector(check, entry.lba_begin, "the Minix table", sector) ||
            !has_signature(sector) || read_slot(sector, 1).part_type != minix_type) {
            continue;
        }
        const std::size_t made_before = mbr.logical_count;
        std::size_t number = next_number(mbr);
        for (std::size_t i = 1; i <= slot_count && number < first_logical + max_logicals; ++i) {
            const partition_entry sub = read_slot(sector, i);
            if (sub.part_type != minix_type) {
                continue;
            }
            // One of size 0 takes its number and makes no partition.
            if (sub.lba_size / per_sector != 0) {
                mbr.logicals[mbr.logical_count++] = {
                    .table_sector = entry.lba_begin,
                    .sectors = sectors_from(sub.lba_begin / per_sector, sub.lba_size / per_sector),
                    .relative_first = sub.lba_begin,
                    .boot_flag = sub.boot_flag,
                    .part_type = sub.part_type,
                    .number = static_cast<std::uint8_t>(number),
                    .slot = slot,
                    .minix = true,
                };
            }
            ++number;
        }
        if (mbr.logical_count > made_before) {
            add(check, {.what = rule::minix_subpartitions,
                        .at = at_slot(slot),
                        .other = mbr.logicals[made_before].number});
        }
    }
}
