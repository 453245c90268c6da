// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Ranges of sectors: what a partition, an EBR or a reserved range covers,
// and what two of them share.
#pragma once

#include <algorithm>
#include <cstdint>

// Sectors first to last, both included; empty when first > last. Closed,
// so that a range may end on sector 2^64 - 1 with no end past it.
struct sector_range {
    std::uint64_t first;
    std::uint64_t last;
};

inline constexpr sector_range no_sectors = {1, 0};

constexpr bool is_empty(const sector_range& range) { return range.first > range.last; }

// The size sectors from first; empty for size 0. Every first and size the
// checker meets is below 2^33, so the last sector never wraps.
constexpr sector_range sectors_from(std::uint64_t first, std::uint64_t size)
{
    return size == 0 ? no_sectors : sector_range{first, first + size - 1};
}

// Empty when either is: the larger first lies past the smaller last.
constexpr sector_range shared_sectors(const sector_range& one, const sector_range& other)
{
    return {std::max(one.first, other.first), std::min(one.last, other.last)};
}

constexpr bool overlap(const sector_range& one, const sector_range& other)
{
    return !is_empty(shared_sectors(one, other));
}

static_assert(is_empty(shared_sectors({10, 19}, {20, 29})));
static_assert(shared_sectors({10, 20}, {20, 29}).first == 20 &&
              shared_sectors({10, 20}, {20, 29}).last == 20);
static_assert(is_empty(shared_sectors(sectors_from(5, 0), {0, UINT64_MAX})));

// How many sectors a range holds; 0 for an empty one.
constexpr std::uint64_t size_of(const sector_range& range)
{
    return is_empty(range) ? 0 : range.last - range.first + 1;
}

static_assert(size_of({2048, 34815}) == 32768 && size_of(no_sectors) == 0);
