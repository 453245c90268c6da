// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What the checks of the slots and of the chain share: adding a finding,
// and the sectors partitions share.
#pragma once

#include <algorithm>
#include <cstdint>

#include "rules.h"

// Errors go before every warning, and each kind stays in the order found:
// errors are what stops the image, so they are read first.
void add(checked_table& table, const finding& found);

// Sectors first to (but not including) end, in 64 bits, so that an entry
// that runs past 2^32 shows as it is.
struct placed {
    std::uint64_t first;
    std::uint64_t size;
};

constexpr bool is_empty(const sector_range& range) { return range.first > range.last; }

// The sectors a partition shares with the range first to last, both
// included; empty when first > last. Closed ranges, so that a range ending
// on sector 2^64 - 1 needs no end past it.
constexpr sector_range shared_sectors(const placed& partition, const sector_range& other)
{
    if (partition.size == 0) {
        return {1, 0};
    }
    return {std::max(partition.first, other.first),
            std::min(partition.first + partition.size - 1, other.last)};
}

constexpr sector_range sectors_of(const placed& partition)
{
    return {partition.first, partition.first + partition.size - 1};
}

constexpr placed placed_slot(const partition_entry& entry)
{
    return {entry.lba_begin, entry.lba_size};
}

constexpr std::uint64_t mib = std::uint64_t{1024} * 1024;

// The walk of every extended slot's chain, after the slots are checked.
void check_chains(checked_table& table, const sector_reader& reader);
