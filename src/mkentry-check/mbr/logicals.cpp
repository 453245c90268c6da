// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Each partition Linux makes past the slots, against its extended
// partition, the disk, the EBRs, the slots, the reserved ranges and the
// partitions before it.
#include <algorithm>
#include <functional>

#include "mbr/mbr.h"

namespace {

place place_of(const logical_partition& logical)
{
    return {.kind = subject::logical,
            .number = logical.number,
            .ebr = logical.minix ? 0 : logical.table_sector,
            .extended_slot = logical.minix ? std::uint8_t{0} : logical.slot};
}

// The partition listed before it that starts last, of those that start
// after it; index itself when none does.
std::size_t latest_after(const mbr_table& mbr, std::size_t index)
{
    const sector_range& sectors = mbr.logicals[index].sectors;
    std::size_t latest = index;
    for (std::size_t i = 0; i < index; ++i) {
        const std::uint64_t first = mbr.logicals[i].sectors.first;
        // While none is found, latest is index itself, which starts at sectors.first.
        if (first > sectors.first && first > mbr.logicals[latest].sectors.first) {
            latest = i;
        }
    }
    return latest;
}

void check_against_slots(check_context& check, const mbr_table& mbr, std::size_t index)
{
    const logical_partition& logical = mbr.logicals[index];
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        // The slot that holds it, an extended one or a Minix one, may.
        if (!is_extended(entry.part_type) && slot != logical.slot) {
            check_overlap(check, rule::overlap, place_of(logical), logical.sectors, slot,
                          sectors_of(entry));
        }
    }
}

// What the partitions before one tell of it at once: where none of them
// ends at or past its start it overlaps none, and where none starts past
// its start it is in order; and whether the EBRs lie in disk order. A
// chain in disk order, the usual one, is then checked without a loop over
// the partitions before each.
struct chain_so_far {
    std::uint64_t last_end = 0;   // the largest last sector of those before
    std::uint64_t last_start = 0; // the largest first sector
    bool ebrs_ascending = false;
};

void check_over_ebrs(check_context& check, const mbr_table& mbr, const chain_so_far& so_far,
                     std::size_t index)
{
    const logical_partition& logical = mbr.logicals[index];
    const sector_range& sectors = logical.sectors;
    const auto* const end = mbr.ebrs.begin() + static_cast<std::ptrdiff_t>(mbr.ebr_count);
    // In disk order, only the EBRs from its first sector on can lie in it.
    const auto* at = so_far.ebrs_ascending ? std::lower_bound(mbr.ebrs.begin(), end, sectors.first)
                                           : mbr.ebrs.begin();
    for (; at != end && (!so_far.ebrs_ascending || *at <= sectors.last); ++at) {
        const sector_range ebr = {*at, *at};
        if (*at != logical.table_sector && overlap(sectors, ebr)) {
            add(check, {.what = rule::logical_over_ebr, .at = place_of(logical), .sectors = ebr});
        }
    }
}

void check_logical(check_context& check, const mbr_table& mbr, const chain_so_far& so_far,
                   std::size_t index)
{
    const logical_partition& logical = mbr.logicals[index];
    const sector_range& sectors = logical.sectors;
    const place here = place_of(logical);
    if (!logical.minix && logical.relative_first == 0) {
        add(check, {.what = rule::logical_at_ebr, .at = here});
    }
    // It cannot start before the extended partition: every EBR is inside it
    // or past it.
    const sector_range extended = sectors_of(mbr.slots[logical.slot - 1]);
    if (!logical.minix && sectors.last > extended.last) {
        add(check,
            {.what = rule::logical_outside, .at = here, .sectors = sectors, .bounds = extended});
    }
    check_past_disk_end(check, here, sectors);
    check_over_ebrs(check, mbr, so_far, index);
    check_against_slots(check, mbr, index);
    check_reserved(check, here, sectors);
    for (std::size_t i = 0; so_far.last_end >= sectors.first && i < index; ++i) {
        check_overlap(check, rule::overlap, here, sectors, mbr.logicals[i].number,
                      mbr.logicals[i].sectors);
    }
    // 7-Zip, as with the slots.
    if (const std::size_t latest =
            so_far.last_start > sectors.first ? latest_after(mbr, index) : index;
        latest != index) {
        add(check, {.what = rule::out_of_order,
                    .at = here,
                    .other = mbr.logicals[latest].number,
                    .value = sectors.first,
                    .wanted = mbr.logicals[latest].sectors.first});
    }
    check_alignment(check, here, sectors.first);
}

} // namespace

void check_logicals(check_context& check, const mbr_table& mbr)
{
    chain_so_far so_far;
    const auto* const ebrs_end = mbr.ebrs.begin() + static_cast<std::ptrdiff_t>(mbr.ebr_count);
    so_far.ebrs_ascending =
        std::adjacent_find(mbr.ebrs.begin(), ebrs_end, std::greater_equal<>()) == ebrs_end;
    for (std::size_t i = 0; i < mbr.logical_count && check.failure.reason == nullptr; ++i) {
        check_logical(check, mbr, so_far, i);
        const sector_range& sectors = mbr.logicals[i].sectors;
        so_far.last_end = std::max(so_far.last_end, sectors.last);
        so_far.last_start = std::max(so_far.last_start, sectors.first);
    }
}
