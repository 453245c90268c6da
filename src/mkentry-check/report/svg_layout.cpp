// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "report/svg_layout.h"

#include <algorithm>
#include <bit>

#include "rules/context.h"

namespace {

// The integer square root, rounded down.
std::uint64_t square_root(std::uint64_t value)
{
    std::uint64_t root = 0;
    for (std::uint64_t bit = std::uint64_t{1} << ((std::bit_width(value) + 1) / 2 * 2); bit != 0;
         bit >>= 2) {
        if (value >= root + bit) {
            value -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
    }
    return root;
}

// part * numerator / denominator, for part <= denominator, without the
// product's overflow: both are brought under 2^40 first.
int share(std::uint64_t part, std::uint64_t denominator, int numerator)
{
    while (denominator >= std::uint64_t{1} << 40) {
        part >>= 1;
        denominator >>= 1;
    }
    return denominator == 0
               ? 0
               : static_cast<int>(part * static_cast<std::uint64_t>(numerator) / denominator);
}

} // namespace

bar_scale scale_for(std::uint64_t sectors, std::uint32_t sector_size)
{
    const std::uint64_t first_mib = mib / sector_size;
    return {sectors, sectors > first_mib ? first_mib : 0};
}

int x_of(const bar_scale& scale, std::uint64_t sector)
{
    sector = std::min(sector, scale.sectors);
    if (scale.first_mib == 0) {
        return bar_left + share(sector, scale.sectors, bar_width);
    }
    if (sector <= scale.first_mib) {
        constexpr auto squared = static_cast<std::uint64_t>(first_mib_width) * first_mib_width;
        return bar_left + static_cast<int>(square_root(sector * squared / scale.first_mib));
    }
    return bar_left + first_mib_width +
           share(sector - scale.first_mib, scale.sectors - scale.first_mib,
                 bar_width - first_mib_width);
}

box_span span_of(const bar_scale& scale, const sector_range& sectors)
{
    const int left = std::min(x_of(scale, sectors.first), bar_right - min_box);
    const std::uint64_t end = sectors.last >= scale.sectors ? scale.sectors : sectors.last + 1;
    const int right = is_empty(sectors) ? left : x_of(scale, end);
    return {left, std::max(right - left, min_box)};
}

bool take(label_lane& lane, int left, int right)
{
    left = std::max(left, 0);
    right = std::min(right, picture_width);
    if (left >= right) {
        return false;
    }
    const auto bit = [](int x) { return std::uint64_t{1} << (static_cast<unsigned>(x) % 64); };
    const auto word = [](int x) { return static_cast<std::size_t>(x) / 64; };
    for (int x = left; x < right; ++x) {
        if ((lane.taken[word(x)] & bit(x)) != 0) {
            return false;
        }
    }
    for (int x = left; x < right; ++x) {
        lane.taken[word(x)] |= bit(x);
    }
    return true;
}
