// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The partitions as written, in each reader's own numbers and order.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <type_traits>

#include "readers/as_written.h"
#include "table.h"

namespace {

struct expected_list {
    std::array<made_partition, max_made + slot_count> partitions{};
    std::size_t count = 0;
};

void expect(expected_list& list, const made_partition& made)
{
    if (list.count < list.partitions.size()) {
        list.partitions[list.count++] = made;
    }
}

// Linux's node for an extended slot: 2 sectors on 512-byte disks, one
// logical sector on larger ones.
std::uint64_t extended_node(const checked_table& table, std::uint32_t size)
{
    const std::uint64_t node = table.check.disk.sector_size == 512 ? 2 : 1;
    return std::min<std::uint64_t>(size, node);
}

void expect_logicals(expected_list& list, const mbr_table& mbr, board which, std::size_t slot)
{
    std::uint32_t nested = 0;
    for (std::size_t i = 0; i < mbr.logical_count; ++i) {
        const logical_partition& logical = mbr.logicals[i];
        if (logical.minix && which != board::linux_kernel) {
            continue;
        }
        const made_partition made{logical.number, 0, logical.sectors.first,
                                  size_of(logical.sectors)};
        if (which == board::edk2 && !logical.minix && logical.slot == slot) {
            expect(list, {static_cast<std::uint32_t>(slot), ++nested, made.start, made.size});
        } else if (which != board::edk2 && slot == 0) {
            expect(list, made);
        }
    }
}

void expect_mbr(expected_list& list, const mbr_table& mbr, const checked_table& table, board which)
{
    for (std::size_t slot = 1; slot <= slot_count; ++slot) {
        const partition_entry& entry = mbr.slots[slot - 1];
        if (entry.part_type == 0) {
            continue;
        }
        const auto number = static_cast<std::uint32_t>(slot);
        const bool extended = is_extended(entry.part_type);
        if (extended && which == board::grub) {
            continue; // GRUB makes no partition of an extended slot
        }
        const std::uint64_t size = extended && which == board::linux_kernel
                                       ? extended_node(table, entry.lba_size)
                                       : entry.lba_size;
        expect(list, {number, 0, entry.lba_begin, size});
        if (which == board::edk2) {
            expect_logicals(list, mbr, which, slot);
        }
    }
    if (which != board::edk2) {
        expect_logicals(list, mbr, which, 0);
    }
}

void expect_gpt(expected_list& list, const gpt_table& gpt)
{
    for (std::size_t i = 0; i < gpt.count; ++i) {
        const gpt_entry& entry = gpt.partitions[i].entry;
        expect(list, {gpt.partitions[i].number, 0, entry.first_lba,
                      entry.last_lba - entry.first_lba + 1});
    }
}

bool same(const made_partition& one, const made_partition& other)
{
    return one.number == other.number && one.nested == other.nested && one.start == other.start &&
           one.size == other.size;
}

// Entries past 255 are not kept as written; the readers that make them
// are not held to them.
bool matches(const checked_table& table, const reader_view& view, const expected_list& expected)
{
    if (view.fails != reader_fails::none || view.write_count != 0 || view.not_kept != 0) {
        return false;
    }
    // Most views are the list itself, compared at once.
    static_assert(std::has_unique_object_representations_v<made_partition>);
    if (view.count == expected.count &&
        std::memcmp(view.partitions.data(), expected.partitions.data(),
                    view.count * sizeof(made_partition)) == 0) {
        return true;
    }
    std::size_t made = 0;
    for (std::size_t i = 0; i < view.count; ++i) {
        const made_partition& part = view.partitions[i];
        if (table.format == disk_format::gpt && part.number > max_gpt_partitions) {
            continue;
        }
        if (made == expected.count || !same(part, expected.partitions[made])) {
            return false;
        }
        ++made;
    }
    return made == expected.count;
}

const expected_list& expected_of(const checked_table& table, board which)
{
    static expected_list expected;
    expected.count = 0;
    if (table.format == disk_format::gpt) {
        expect_gpt(expected, table.gpt);
    } else {
        expect_mbr(expected, table.mbr, table, which);
    }
    return expected;
}

} // namespace

bool makes_as_written(const checked_table& table, board which)
{
    return matches(table, view_of(table.readers, which), expected_of(table, which));
}

bool written_as(const checked_table& table, board which, const made_partition& made)
{
    const expected_list& expected = expected_of(table, which);
    return std::any_of(expected.partitions.begin(),
                       expected.partitions.begin() + static_cast<std::ptrdiff_t>(expected.count),
                       [&made](const made_partition& one) { return same(one, made); });
}

unsigned differing_readers(const checked_table& table)
{
    // A GPT is written the same for every reader: its list is made once.
    const bool gpt = table.format == disk_format::gpt;
    const expected_list* expected = gpt ? &expected_of(table, board::linux_kernel) : nullptr;
    return std::accumulate(boards.begin(), boards.end(), 0U, [&](unsigned set, board which) {
        const reader_view& view = view_of(table.readers, which);
        const bool as_written =
            gpt ? matches(table, view, *expected) : makes_as_written(table, which);
        return as_written ? set : set | 1U << static_cast<unsigned>(which);
    });
}
