// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The extended partition's chain of EBRs, walked as Linux walks it, so that
// the logical partitions listed are the ones Linux makes, with its numbers.
// Each EBR is held to the layout that U-Boot, EDK2 and GRUB need to make
// the same partitions: the partition in entry 1, the link in entry 2.
#include "findings.h"

namespace {

struct chain {
    checked_table& table;
    const sector_reader& reader;
    std::uint8_t slot;   // the extended slot
    std::uint64_t first; // its sectors: links count from first
    std::uint64_t end;
};

// What an EBR leads to: the next EBR's sector, and the size of its link,
// which Linux bounds entries 3 and 4 of that EBR by.
struct link {
    bool followed;
    std::uint64_t ebr;
    std::uint64_t size;
};

constexpr link chain_ends = {false, 0, 0};

// The number Linux gives the next logical partition it makes.
std::uint16_t next_number(const checked_table& table)
{
    return static_cast<std::uint16_t>(first_logical + table.logical_count);
}

// A finding at an EBR names the partition Linux makes of its entry 1, or
// where it makes none, the number the next partition would get.
void add_at(checked_table& table, rule what, std::uint16_t number, std::uint64_t ebr,
            std::uint16_t detail = 0, sector_range sectors = {0, 0}, std::uint16_t other = 0)
{
    add(table, {what, number, other, detail, sectors, ebr});
}

bool was_read(const checked_table& table, std::uint64_t ebr)
{
    for (std::size_t i = 0; i < table.ebr_count; ++i) {
        if (table.ebrs[i] == ebr) {
            return true;
        }
    }
    return false;
}

// Linux makes a partition of every entry with a size that is not a link;
// those in entries 3 and 4 only inside the extended partition and the
// link that led here.
// False when Linux would make more partitions than it can.
bool make_partitions(chain& walk, std::uint64_t ebr, std::uint64_t bound,
                     const std::array<partition_entry, 4>& entries)
{
    checked_table& table = walk.table;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const partition_entry& entry = entries[i];
        const std::uint64_t first = ebr + entry.lba_begin;
        if (entry.lba_size == 0 || is_extended(entry.part_type) ||
            (i >= 2 && (std::uint64_t{entry.lba_begin} + entry.lba_size > bound ||
                        first < walk.first || first + entry.lba_size > walk.end))) {
            continue;
        }
        if (table.logical_count == table.logicals.size()) {
            add_at(table, rule::chain_too_long, next_number(table), ebr);
            return false;
        }
        const auto number = static_cast<std::uint8_t>(next_number(table));
        table.logicals[table.logical_count++] = {ebr,
                                                 first,
                                                 entry.lba_begin,
                                                 entry.lba_size,
                                                 entry.boot_flag,
                                                 entry.part_type,
                                                 number,
                                                 static_cast<std::uint8_t>(i + 1),
                                                 walk.slot};
    }
    return true;
}

// The EBR's own layout, as every reader but Linux needs it.
void check_layout(checked_table& table, std::uint64_t ebr, std::uint16_t number,
                  const std::array<partition_entry, 4>& entries)
{
    const auto add_here = [&](rule what, std::uint32_t detail) {
        add(table, {what, number, 0, static_cast<std::uint16_t>(detail), {0, 0}, ebr});
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const partition_entry& entry = entries[i];
        if (entry.boot_flag == 0x00 && !is_used(entry)) {
            continue; // empty, as entries 3 and 4 are
        }
        const auto number_of_entry = static_cast<std::uint32_t>(i + 1);
        if (entry.boot_flag != 0x00 && entry.boot_flag != 0x80) {
            add_here(rule::ebr_bad_boot_flag, number_of_entry << 8 | entry.boot_flag);
        }
        if (is_extended(entry.part_type) && entry.lba_size == 0) {
            add_here(rule::link_size_zero, number_of_entry);
        }
        if (i >= 2 && is_used(entry)) {
            add_here(rule::ebr_extra_entry, number_of_entry);
        }
    }
    const partition_entry& partition = entries[0];
    const partition_entry& link = entries[1];
    const bool has_partition = partition.lba_size != 0 && !is_extended(partition.part_type);
    if (is_extended(partition.part_type) && is_used(link)) {
        add_here(rule::link_before_partition, partition.part_type);
    } else if (is_used(link) && !is_extended(link.part_type)) {
        add_here(rule::link_not_extended, link.part_type);
    } else if (!has_partition && is_used(partition) && !is_extended(partition.part_type)) {
        add_here(rule::size_zero, partition.part_type);
    } else if (!has_partition && (is_used(link) || is_extended(partition.part_type))) {
        add_here(rule::ebr_without_partition, 0);
    }
    if (has_partition && partition.part_type == 0) {
        add_here(rule::logical_type_zero, 0);
    }
}

link read_ebr(chain& walk, std::uint64_t ebr, std::uint64_t bound)
{
    checked_table& table = walk.table;
    const std::uint16_t number = next_number(table);
    if (table.ebr_count == table.ebrs.size()) {
        add_at(table, rule::chain_too_long, number, ebr);
        return chain_ends;
    }
    sector_bytes sector; // the reader fills it whole
    if (const char* reason = walk.reader.read(walk.reader.disk, ebr, sector); reason != nullptr) {
        table.failure = {ebr, reason};
        return chain_ends;
    }
    table.ebrs[table.ebr_count++] = ebr;
    if (!has_signature(sector)) {
        add_at(table, rule::ebr_no_signature, number, ebr,
               static_cast<std::uint16_t>(sector[signature_offset] << 8 |
                                          sector[signature_offset + 1]));
        return chain_ends;
    }
    std::array<partition_entry, 4> entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = read_slot(sector, i + 1);
    }
    check_layout(table, ebr, number, entries);
    if (!make_partitions(walk, ebr, bound, entries)) {
        return chain_ends;
    }

    // Linux follows the first entry that has a size and an extended type.
    for (const partition_entry& entry : entries) {
        if (entry.lba_size == 0 || !is_extended(entry.part_type)) {
            continue;
        }
        if (entry.part_type == 0x85) {
            add_at(table, rule::type_85, number, ebr);
        }
        const std::uint64_t next = walk.first + entry.lba_begin;
        const sector_range sectors = {next, next + entry.lba_size - 1};
        // EDK2 stops at an EBR outside the extended partition. The first
        // EBR it also holds to the rules of an MBR, and makes no logical
        // partition at all when an entry there reaches past the extended
        // partition or lies over another. How far a later link reaches, no
        // reader minds.
        const bool first_ebr = ebr == walk.first;
        if (next >= walk.end) {
            add_at(table, rule::link_outside, number, ebr, 0, sectors, walk.slot);
        } else if (first_ebr && sectors.last >= walk.end) {
            // Detail 1: the EBR is inside, the link's size reaches past.
            add_at(table, rule::link_outside, number, ebr, 1, sectors, walk.slot);
        }
        const partition_entry& partition = entries[0];
        if (first_ebr && &entry != &partition && partition.part_type != 0) {
            const sector_range both =
                shared_sectors({ebr + partition.lba_begin, partition.lba_size}, sectors);
            if (!is_empty(both)) {
                add_at(table, rule::link_over_partition, number, ebr, 0, both);
            }
        }
        if (next >= table.disk.sectors) {
            add_at(table, rule::link_past_disk_end, number, ebr, 0, sectors);
            return chain_ends;
        }
        if (was_read(table, next)) {
            add_at(table, rule::chain_loop, number, ebr, 0, sectors);
            return chain_ends;
        }
        return {true, next, entry.lba_size};
    }
    return chain_ends;
}

// Each logical partition against its extended partition, the disk, the
// EBRs, the slots, the reserved ranges and the logical partitions before it.
void check_logical(checked_table& table, std::size_t index)
{
    const logical_partition& logical = table.logicals[index];
    const placed here = {logical.first, logical.size};
    const sector_range sectors = sectors_of(here);
    const partition_entry& extended = table.slots[logical.slot - 1];
    const auto add_here = [&](rule what, sector_range shared = {0, 0}, std::uint16_t other = 0) {
        add(table, {what, logical.number, other, 0, shared, logical.ebr});
    };
    if (logical.relative_first == 0) {
        add_here(rule::logical_at_ebr);
    }
    // It cannot start before the extended partition: every EBR is inside it
    // or past it.
    if (sectors.last >= std::uint64_t{extended.lba_begin} + extended.lba_size) {
        add_here(rule::logical_outside, sectors, logical.slot);
    }
    if (sectors.last >= table.disk.sectors) {
        add_here(rule::past_disk_end, sectors);
    }
    for (std::size_t i = 0; i < table.ebr_count; ++i) {
        const std::uint64_t ebr = table.ebrs[i];
        if (ebr >= sectors.first && ebr <= sectors.last && ebr != logical.ebr) {
            add_here(rule::logical_over_ebr, {ebr, ebr});
        }
    }
    for (std::uint8_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
        if (entry.lba_size == 0 || is_extended(entry.part_type)) {
            continue;
        }
        const sector_range both = shared_sectors(here, sectors_of(placed_slot(entry)));
        if (!is_empty(both)) {
            add_here(rule::overlap, both, slot);
        }
    }
    for (const sector_range& reserved : table.disk.reserved) {
        const sector_range both = shared_sectors(here, reserved);
        if (!is_empty(both)) {
            add_here(rule::over_reserved, both);
        }
    }
    std::size_t latest = index;
    for (std::size_t i = 0; i < index; ++i) {
        const logical_partition& earlier = table.logicals[i];
        if (earlier.first <= sectors.last && earlier.first + earlier.size > sectors.first) {
            add_here(rule::overlap, shared_sectors(here, sectors_of({earlier.first, earlier.size})),
                     earlier.number);
        }
        if (earlier.first > logical.first &&
            (latest == index || earlier.first > table.logicals[latest].first)) {
            latest = i;
        }
    }
    // 7-Zip, as with the slots.
    if (latest != index) {
        add_here(rule::out_of_order, {0, 0}, table.logicals[latest].number);
    }
    if (logical.first % (mib / table.disk.sector_size) != 0) {
        add_here(rule::unaligned);
    }
}

} // namespace

void check_chains(checked_table& table, const sector_reader& reader)
{
    for (std::uint8_t slot = 1; slot <= slot_count && table.failure.reason == nullptr; ++slot) {
        const partition_entry& entry = table.slots[slot - 1];
        // A slot at sector 0 or past the disk has its error already; Linux
        // walks every other extended slot, and numbers on through them.
        if (!is_extended(entry.part_type) || entry.lba_size == 0 || entry.lba_begin == 0 ||
            entry.lba_begin >= table.disk.sectors) {
            continue;
        }
        const std::uint64_t first = entry.lba_begin;
        const std::uint64_t end = first + entry.lba_size;
        chain walk{table, reader, slot, first, end};
        // An EBR that cannot be read ends the chain too.
        link next = {true, first, entry.lba_size};
        do {
            next = read_ebr(walk, next.ebr, next.size);
        } while (next.followed);
    }
    for (std::size_t i = 0; i < table.logical_count && table.failure.reason == nullptr; ++i) {
        check_logical(table, i);
    }
}
