// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of the report's partition tables.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>

// One row of the table, built whole and written once: the report of a long
// chain is mostly rows, and printf costs a few thousand instructions a row.
struct row_text {
    std::array<char, 256> chars; // room for a row of either table at its widest
    std::size_t size = 0;
};

inline void put(row_text& row, std::string_view part)
{
    std::copy(part.begin(), part.end(), row.chars.begin() + static_cast<std::ptrdiff_t>(row.size));
    row.size += part.size();
}

// A number right-aligned in width columns.
inline void put_column(row_text& row, std::uint64_t value, std::size_t width)
{
    std::array<char, 20> digits;
    const char* end = std::to_chars(digits.begin(), digits.end(), value).ptr;
    const std::string_view number(digits.data(), static_cast<std::size_t>(end - digits.data()));
    constexpr std::string_view spaces = "               ";
    put(row, spaces.substr(0, width > number.size() ? width - number.size() : 0));
    put(row, number);
}

inline void put_hex_byte(row_text& row, unsigned byte)
{
    constexpr std::string_view hex_digits = "0123456789abcdef";
    row.chars[row.size++] = hex_digits[(byte >> 4) & 0xf];
    row.chars[row.size++] = hex_digits[byte & 0xf];
}
