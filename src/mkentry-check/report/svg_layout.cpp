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
    // A word of 64 pixels at a time: the mask of those from left up to
    // right in each.
    const auto first = static_cast<unsigned>(left);
    const auto end = static_cast<unsigned>(right);
    const auto mask = [first, end](unsigned word) {
        const unsigned from = std::max(first, word * 64) - word * 64;
        const unsigned to = std::min(end, word * 64 + 64) - word * 64;
        const std::uint64_t below_to = to == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << to) - 1;
        return below_to & ~((std::uint64_t{1} << from) - 1);
    };
    for (unsigned word = first / 64; word <= (end - 1) / 64; ++word) {
        if ((lane.taken[word] & mask(word)) != 0) {
            return false;
        }
    }
    for (unsigned word = first / 64; word <= (end - 1) / 64; ++word) {
        lane.taken[word] |= mask(word);
    }
    return true;
}
