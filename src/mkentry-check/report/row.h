// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The rows of the report's partition tables.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "guid.h"

// Rows built in a buffer and written in one call when it is full or done:
// printf costs a few thousand instructions a row, and even a plain fwrite
// about 150, where the report of a full GPT is 128 rows and their names.
// Set out before the first put; the characters are not zeroed first.
struct row_text {
    std::FILE* out;
    std::array<char, 4096> chars;
    std::size_t size = 0;
};

inline void flush(row_text& row)
{
    std::fwrite(row.chars.data(), 1, row.size, row.out);
    row.size = 0;
}

// Room for count more characters, flushing what is built where needed.
inline char* room(row_text& row, std::size_t count)
{
    if (row.chars.size() - row.size < count) {
        flush(row);
    }
    return row.chars.data() + row.size;
}

inline void put(row_text& row, std::string_view part)
{
    if (part.empty()) { // an empty view may hold no pointer, which memcpy must not take
        return;
    }
    if (part.size() > row.chars.size()) { // a device's name may be that long
        flush(row);
        std::fwrite(part.data(), 1, part.size(), row.out);
        return;
    }
    std::memcpy(room(row, part.size()), part.data(), part.size());
    row.size += part.size();
}

// How many decimal digits a number has: from its bits, as a guess of
// log10(2) * bits that is at most one short, rather than a division a digit.
inline constexpr std::array<std::uint64_t, 20> powers_of_ten = [] {
    std::array<std::uint64_t, 20> each{};
    std::uint64_t power = 1;
    for (std::uint64_t& one : each) {
        one = power;
        power *= 10;
    }
    return each;
}();

constexpr std::size_t decimal_length(std::uint64_t value)
{
    // A table of namespace scope: one local to the function would be built
    // on the stack at every call.
    const auto& powers = powers_of_ten;
    const auto guess = static_cast<std::size_t>(std::bit_width(value) * 1233 >> 12); // 1233/4096
    return guess + (guess < powers.size() && value >= powers[guess] ? 1 : 0) + (value == 0 ? 1 : 0);
}

static_assert(decimal_length(0) == 1 && decimal_length(9) == 1 && decimal_length(10) == 2 &&
              decimal_length(99) == 2 && decimal_length(100) == 3 &&
              decimal_length(999999999999999999) == 18 &&
              decimal_length(1000000000000000000) == 19 &&
              decimal_length(9999999999999999999U) == 19 &&
              decimal_length(10000000000000000000U) == 20 && decimal_length(UINT64_MAX) == 20);

// A number's digits, ending at end: two at a time, as std::to_chars does,
// but without a buffer of their own to copy from.
inline constexpr std::string_view digit_pairs =
    "00010203040506070809101112131415161718192021222324"
    "25262728293031323334353637383940414243444546474849"
    "50515253545556575859606162636465666768697071727374"
    "75767778798081828384858687888990919293949596979899";

inline void put_digits_before(char* end, std::uint64_t value)
{
    while (value > UINT32_MAX) {
        const auto pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        *--end = digit_pairs[pair + 1];
        *--end = digit_pairs[pair];
    }
    // The rest in 32 bits, where most numbers of a report fit: a division
    // by 100 is then a shorter multiplication.
    auto low = static_cast<std::uint32_t>(value);
    while (low >= 100) {
        const std::size_t pair = std::size_t{low % 100} * 2;
        low /= 100;
        *--end = digit_pairs[pair + 1];
        *--end = digit_pairs[pair];
    }
    if (low >= 10) {
        *--end = digit_pairs[2 * std::size_t{low} + 1];
        *--end = digit_pairs[2 * std::size_t{low}];
    } else {
        *--end = static_cast<char>('0' + low);
    }
}

// Writers at a pointer, each returning the end of what it wrote, for a row
// that takes its room once rather than at every field.
inline char* write_text(char* at, std::string_view text)
{
    std::memcpy(at, text.data(), text.size());
    return at + text.size();
}

inline constexpr std::size_t widest_column = 20; // 2^64 - 1

// A number right-aligned in width columns, of at most widest_column; the
// room taken must hold widest_column characters.
inline char* write_column(char* at, std::uint64_t value, std::size_t width)
{
    const std::size_t length = decimal_length(value);
    const std::size_t spaces = width > length ? width - length : 0;
    // A few stores of a known size, where one of the spaces' own would be
    // a call: the digits overwrite the rest.
    std::memset(at, ' ', widest_column);
    put_digits_before(at + spaces + length, value);
    return at + spaces + length;
}

// Each byte's two hex digits in either case: a GUID is 16 copies of a pair.
using hex_pair_table = std::array<std::array<char, 2>, 256>;

constexpr hex_pair_table hex_pairs_of(std::string_view digits)
{
    hex_pair_table pairs{};
    for (std::size_t byte = 0; byte < pairs.size(); ++byte) {
        pairs[byte] = {digits[byte >> 4], digits[byte & 0xf]};
    }
    return pairs;
}

inline constexpr hex_pair_table hex_pairs_lower = hex_pairs_of("0123456789abcdef");
inline constexpr hex_pair_table hex_pairs_upper = hex_pairs_of("0123456789ABCDEF");

// A 64-bit value as 16 hex digits, the most significant first.
inline char* write_hex64(char* at, std::uint64_t value)
{
    for (int shift = 56; shift >= 0; shift -= 8, at += 2) {
        std::memcpy(at, hex_pairs_lower[(value >> shift) & 0xff].data(), 2);
    }
    return at;
}

inline constexpr std::size_t guid_text_length = 36;

// A GUID as text_of writes it: its first three fields little-endian, in
// groups of 4, 2, 2, 2 and 6 bytes; each byte's place in the text is fixed.
inline constexpr std::array<std::uint8_t, 16> guid_byte_order = {3, 2, 1,  0,  5,  4,  7,  6,
                                                                 8, 9, 10, 11, 12, 13, 14, 15};
inline constexpr std::array<std::uint8_t, 16> guid_text_places = {0,  2,  4,  6,  9,  11, 14, 16,
                                                                  19, 21, 24, 26, 28, 30, 32, 34};

inline char* write_guid(char* at, const guid& id, letter_case kind)
{
    const hex_pair_table& pairs = kind == letter_case::upper ? hex_pairs_upper : hex_pairs_lower;
    for (std::size_t i = 0; i < guid_byte_order.size(); ++i) {
        std::memcpy(at + guid_text_places[i], pairs[id[guid_byte_order[i]]].data(), 2);
    }
    at[8] = at[13] = at[18] = at[23] = '-';
    return at + guid_text_length;
}

// The same, into a row, taking their room.
inline void put_column(row_text& row, std::uint64_t value, std::size_t width)
{
    char* at = room(row, widest_column);
    row.size = static_cast<std::size_t>(write_column(at, value, width) - row.chars.data());
}

inline void put_hex_byte(row_text& row, unsigned byte)
{
    char* at = room(row, 2);
    std::memcpy(at, hex_pairs_lower[byte & 0xff].data(), 2);
    row.size += 2;
}

inline void put_hex64(row_text& row, std::uint64_t value)
{
    row.size = static_cast<std::size_t>(write_hex64(room(row, 16), value) - row.chars.data());
}

inline void put_guid(row_text& row, const guid& id, letter_case kind)
{
    row.size = static_cast<std::size_t>(write_guid(room(row, guid_text_length), id, kind) -
                                        row.chars.data());
}
