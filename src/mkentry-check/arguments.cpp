// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "arguments.h"

#include <charconv>
#include <limits>

namespace {

// A decimal number at the start of arg; the rest is left in arg.
bool take_number(std::string_view& arg, std::uint64_t& value)
{
    const auto result = std::from_chars(arg.data(), arg.data() + arg.size(), value);
    if (result.ec != std::errc{}) {
        return false;
    }
    arg.remove_prefix(static_cast<std::size_t>(result.ptr - arg.data()));
    return true;
}

} // namespace

bool parse_sector_size(std::string_view arg, std::uint32_t& bytes)
{
    std::uint64_t value = 0;
    if (!take_number(arg, value) || !arg.empty()) {
        return false;
    }
    if (value != 512 && value != 1024 && value != 2048 && value != 4096) {
        return false;
    }
    bytes = static_cast<std::uint32_t>(value);
    return true;
}

bool parse_disk_size(std::string_view arg, std::uint64_t& bytes)
{
    std::uint64_t value = 0;
    if (!take_number(arg, value)) {
        return false;
    }
    int shift = 0;
    if (arg == "K" || arg == "k") {
        shift = 10;
    } else if (arg == "M" || arg == "m") {
        shift = 20;
    } else if (arg == "G" || arg == "g") {
        shift = 30;
    } else if (arg == "T" || arg == "t") {
        shift = 40;
    } else if (!arg.empty()) {
        return false;
    }
    if (value > std::numeric_limits<std::uint64_t>::max() >> shift) {
        return false;
    }
    bytes = value << shift;
    return true;
}

bool parse_range(std::string_view arg, sector_range& range)
{
    if (!take_number(arg, range.first) || arg.empty() || arg[0] != '-') {
        return false;
    }
    arg.remove_prefix(1);
    return take_number(arg, range.last) && arg.empty() && range.first <= range.last;
}
