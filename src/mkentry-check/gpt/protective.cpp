// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// A GPT disk's MBR: protective, its ee entry over the whole disk; or
// hybrid, with other entries for a ROM that reads only the MBR.
#include <algorithm>

#include "gpt/gpt.h"

namespace {

// The largest size an MBR entry can hold.
constexpr std::uint64_t max_mbr_size = 0xffffffff;

} // namespace

void check_protective_mbr(check_context& check, const mbr_table& mbr)
{
    std::uint8_t first_ee = 0;
    bool ee_at_sector_1 = false;
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        if (entry.part_type != ee_type) {
            continue;
        }
        // A second ee entry may protect the same sectors: both do.
        if (slot != 1) {
            add(check, {.what = rule::ee_not_first, .at = at_slot(slot), .other = first_ee});
        }
        first_ee = first_ee == 0 ? slot : first_ee;
        ee_at_sector_1 = ee_at_sector_1 || entry.lba_begin == 1;
        if (entry.boot_flag != 0) {
            add(check, {.what = rule::ee_boot_flag, .at = at_slot(slot), .value = entry.boot_flag});
        }
    }
    const partition_entry& ee = mbr.slots[first_ee - 1];
    if (!ee_at_sector_1) {
        add(check,
            {.what = rule::ee_not_at_sector_1, .at = at_slot(first_ee), .value = ee.lba_begin});
    }
    if (is_hybrid(mbr)) {
        add(check, {.what = rule::hybrid, .at = at_disk()});
        return;
    }
    // The sectors a protective ee entry covers: all but the MBR, as far as
    // an MBR can name them. A hybrid's covers only the GPT's own.
    const std::uint64_t want = std::min(check.disk.sectors - 1, max_mbr_size);
    if (ee.lba_size != want && ee.lba_size != max_mbr_size) {
        add(check, {.what = rule::ee_size,
                    .at = at_slot(first_ee),
                    .sectors = {1, want},
                    .value = ee.lba_size});
    }
}

// Each entry of a hybrid MBR but ee must be one of the GPT's partitions, or
// a ROM that reads only the MBR reads other sectors than Linux mounts.
void check_hybrid(check_context& check, const mbr_table& mbr, const gpt_table& gpt)
{
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        if (entry.part_type == ee_type || !is_used(entry)) {
            continue;
        }
        const sector_range sectors = sectors_of(entry);
        if (!mirrors_a_partition(gpt, entry)) {
            add(check, {.what = rule::hybrid_mismatch, .at = at_slot(slot), .sectors = sectors});
        }
    }
}
