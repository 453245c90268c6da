// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The extended partition's chain of EBRs, walked as Linux walks it, so that
// the logical partitions listed are the ones Linux makes, with its numbers.
// Each EBR is held to the layout that U-Boot, EDK2 and GRUB need to make
// the same partitions: the partition in entry 1, the link in entry 2.
#include <algorithm>

#include "mbr/mbr.h"

namespace {

struct chain {
    check_context& check;
    mbr_table& mbr;
    std::uint8_t slot;     // the extended slot
    sector_range extended; // its sectors: links count from the first
};

// An EBR, and the partition Linux makes of it (0: none), which its
// findings name.
struct ebr_place {
    std::uint64_t sector;
    std::uint8_t slot;
    std::uint16_t part;
};

finding at_ebr(const ebr_place& place, rule what, std::uint8_t entry = 0)
{
    return {.what = what,
            .at = {.kind = place.part != 0 ? subject::logical : subject::ebr,
                   .number = place.part,
                   .ebr = place.sector,
                   .extended_slot = place.slot,
                   .entry = entry}};
}

// Where a link leads: the next EBR's sector, and the link's size, which
// Linux bounds entries 3 and 4 of that EBR by.
struct next_ebr {
    bool follow;
    std::uint64_t sector;
    std::uint64_t link_size;
};

constexpr next_ebr chain_ends = {false, 0, 0};

using ebr_entries = std::array<partition_entry, 4>;

bool was_read(const mbr_table& mbr, std::uint64_t ebr)
{
    const auto read = mbr.ebrs.begin();
    const auto end = read + static_cast<std::ptrdiff_t>(mbr.ebr_count);
    return std::find(read, end, ebr) != end;
}

// No entry at all: what an extended partition holds before its first
// logical partition is made.
bool has_no_entries(const sector_bytes& sector)
{
    return std::all_of(sector.begin() + static_cast<std::ptrdiff_t>(slot_offset(1)),
                       sector.begin() + signature_offset,
                       [](std::uint8_t byte) { return byte == 0; });
}

// What Linux makes of an EBR: the number of its first partition (0 for
// none), and whether it had room for all.
struct made {
    std::uint16_t first;
    bool room;
};

// Linux makes a partition of every entry with a size that is not a link;
// of entries 3 and 4 only those inside the extended partition and the
// link that led here.
made make_partitions(chain& walk, std::uint64_t ebr, std::uint64_t link_size,
                     const ebr_entries& entries)
{
    mbr_table& mbr = walk.mbr;
    made result = {0, true};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const partition_entry& entry = entries[i];
        const sector_range sectors = sectors_from(ebr + entry.lba_begin, entry.lba_size);
        if (entry.lba_size == 0 || is_extended(entry.part_type) ||
            (i >= 2 &&
             (std::uint64_t{entry.lba_begin} + entry.lba_size > link_size ||
              sectors.first < walk.extended.first || sectors.last > walk.extended.last))) {
            continue;
        }
        if (mbr.logical_count == mbr.logicals.size()) {
            result.room = false;
            return result;
        }
        const auto number = static_cast<std::uint8_t>(first_logical + mbr.logical_count);
        result.first = result.first == 0 ? number : result.first;
        mbr.logicals[mbr.logical_count] = {
            .table_sector = ebr,
            .sectors = sectors,
            .relative_first = entry.lba_begin,
            .boot_flag = entry.boot_flag,
            .part_type = entry.part_type,
            .number = number,
            .slot = walk.slot,
            .minix = false,
        };
        ++mbr.logical_count;
    }
    return result;
}

// The EBR's own layout, as every reader but Linux needs it.
void check_layout(check_context& check, const ebr_place& place, const ebr_entries& entries)
{
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const partition_entry& entry = entries[i];
        if (entry.boot_flag == 0x00 && !is_used(entry)) {
            continue; // empty, as entries 3 and 4 are
        }
        const auto number = static_cast<std::uint8_t>(i + 1);
        if (entry.boot_flag != 0x00 && entry.boot_flag != 0x80) {
            finding found = at_ebr(place, rule::ebr_bad_boot_flag, number);
            found.value = entry.boot_flag;
            add(check, found);
        }
        if (is_extended(entry.part_type) && entry.lba_size == 0) {
            add(check, at_ebr(place, rule::link_size_zero, number));
        }
        if (i >= 2 && is_used(entry)) {
            add(check, at_ebr(place, rule::ebr_extra_entry, number));
        }
    }
    const partition_entry& partition = entries[0];
    const partition_entry& link = entries[1];
    const bool has_partition = partition.lba_size != 0 && !is_extended(partition.part_type);
    finding found = at_ebr(place, rule::ebr_without_partition);
    if (is_extended(partition.part_type) && is_used(link)) {
        found.what = rule::link_before_partition;
        found.value = partition.part_type;
        add(check, found);
    } else if (is_used(link) && !is_extended(link.part_type)) {
        found.what = rule::link_not_extended;
        found.value = link.part_type;
        add(check, found);
    } else if (!has_partition && is_used(partition) && !is_extended(partition.part_type)) {
        found.what = rule::logical_size_zero;
        found.value = partition.part_type;
        add(check, found);
    } else if (!has_partition && (is_used(link) || is_extended(partition.part_type))) {
        add(check, found);
    }
    if (has_partition && partition.part_type == 0) {
        found = at_ebr(place, rule::logical_type_zero);
        found.value = partition.lba_size;
        add(check, found);
    }
}

// Linux follows the first entry that has a size and an extended type.
next_ebr follow_link(chain& walk, const ebr_place& place, const ebr_entries& entries)
{
    check_context& check = walk.check;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const partition_entry& entry = entries[i];
        if (entry.lba_size == 0 || !is_extended(entry.part_type)) {
            continue;
        }
        if (entry.part_type == 0x85) {
            add(check, at_ebr(place, rule::type_85));
        }
        const std::uint64_t next = walk.extended.first + entry.lba_begin;
        finding found = at_ebr(place, rule::link_outside);
        found.sectors = sectors_from(next, entry.lba_size);
        found.bounds = walk.extended;
        // EDK2 stops at an EBR outside the extended partition. The first
        // EBR it also holds to the rules of an MBR, and makes no logical
        // partition at all when an entry there reaches past the extended
        // partition or lies over another. How far a later link reaches, no
        // reader minds.
        const bool first_ebr = place.sector == walk.extended.first;
        if (next > walk.extended.last) {
            add(check, found);
        } else if (first_ebr && found.sectors.last > walk.extended.last) {
            found.what = rule::first_link_past_extended;
            add(check, found);
        }
        const partition_entry& partition = entries[0];
        const sector_range over = shared_sectors(
            sectors_from(place.sector + partition.lba_begin, partition.lba_size), found.sectors);
        if (first_ebr && i != 0 && partition.part_type != 0 && !is_empty(over)) {
            finding over_partition = at_ebr(place, rule::link_over_partition);
            over_partition.sectors = over;
            add(check, over_partition);
        }
        if (next >= check.disk.sectors) {
            found.what = rule::link_past_disk_end;
            found.bounds = sectors_from(0, check.disk.sectors);
            add(check, found);
            return chain_ends;
        }
        if (was_read(walk.mbr, next)) {
            found.what = rule::chain_loop;
            add(check, found);
            return chain_ends;
        }
        return {true, next, entry.lba_size};
    }
    return chain_ends;
}

next_ebr visit_ebr(chain& walk, const next_ebr& here)
{
    check_context& check = walk.check;
    mbr_table& mbr = walk.mbr;
    ebr_place place = {here.sector, walk.slot, 0};
    if (mbr.ebr_count == mbr.ebrs.size()) {
        add(check, at_ebr(place, rule::chain_too_long));
        return chain_ends;
    }
    sector_bytes sector;
    if (!read_table_sector(check, here.sector, "the EBR", sector)) {
        return chain_ends;
    }
    mbr.ebrs[mbr.ebr_count++] = here.sector;
    if (!has_signature(sector)) {
        // A first EBR without a single entry is an extended partition that
        // holds no logical partition yet: every reader reads it so.
        if (here.sector != walk.extended.first || !has_no_entries(sector)) {
            finding found = at_ebr(place, rule::ebr_no_signature);
            found.value =
                std::uint64_t{sector[signature_offset]} << 8 | sector[signature_offset + 1];
            add(check, found);
        }
        return chain_ends;
    }
    ebr_entries entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = read_slot(sector, i + 1);
    }
    const made partitions = make_partitions(walk, here.sector, here.link_size, entries);
    place.part = partitions.first;
    check_layout(check, place, entries);
    if (!partitions.room) {
        add(check, at_ebr(place, rule::chain_too_long));
        return chain_ends;
    }
    return follow_link(walk, place, entries);
}

} // namespace

void check_chains(check_context& check, mbr_table& mbr)
{
    for (std::uint8_t slot = 1; slot <= slot_count && check.failure.reason == nullptr; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        // A slot at sector 0 or past the disk has its error already; Linux
        // walks every other extended slot, and numbers on through them.
        if (!is_extended(entry.part_type) || entry.lba_size == 0 || entry.lba_begin == 0 ||
            entry.lba_begin >= check.disk.sectors) {
            continue;
        }
        chain walk{check, mbr, slot, sectors_of(entry)};
        next_ebr next = {true, entry.lba_begin, entry.lba_size};
        do {
            next = visit_ebr(walk, next);
        } while (next.follow);
    }
}
