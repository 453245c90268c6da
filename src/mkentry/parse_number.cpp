// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

#include "parse_number.h"

namespace {

// The white space of the C locale; the tool never sets another.
constexpr bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Digits of bases up to 36; anything else maps past the largest base.
constexpr unsigned not_a_digit = 36;

constexpr unsigned digit_value(char c)
{
    if (c >= '0' && c <= '9') {
        return static_cast<unsigned>(c - '0');
    }
    if (c >= 'a' && c <= 'z') {
        return static_cast<unsigned>(c - 'a') + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<unsigned>(c - 'A') + 10;
    }
    return not_a_digit;
}

} // namespace

std::uint32_t parse_number(const char* text)
{
    constexpr std::uint64_t max_value = 0xffffffff;

    const char* p = text;
    while (is_space(*p)) {
        ++p;
    }
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }

    unsigned base = 10;
    if (*p == '0') {
        base = 8;
        // "0x" without a hex digit after it is the number 0, ended at the x.
        if ((p[1] == 'x' || p[1] == 'X') && digit_value(p[2]) < 16) {
            base = 16;
            p += 2;
        }
    }

    // Computed in 64 bits and pinned just above the 32-bit range, so any
    // number of further digits can neither wrap nor overflow.
    std::uint64_t magnitude = 0;
    for (unsigned digit = digit_value(*p); digit < base; digit = digit_value(*++p)) {
        magnitude = magnitude * base + digit;
        if (magnitude > max_value) {
            magnitude = max_value + 1;
        }
    }

    if (magnitude > max_value) {
        return static_cast<std::uint32_t>(max_value); // whatever the sign
    }
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0U - value) : value;
}
