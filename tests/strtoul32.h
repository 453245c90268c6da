// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// What strtoul(text, nullptr, 0) gives where unsigned long is 32 bits, taken
// from the C library itself: its strtoul where that is 32 bits wide, else its
// strtoull brought to 32 bits. The tests and the fuzzer hold parse_number to
// this.
#pragma once

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

inline std::uint32_t strtoul32(const char* text)
{
    if constexpr (sizeof(unsigned long) == 4) {
        return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 0));
    }
    // strtoull negates modulo 2^64. Undo that for the magnitude, then
    // saturate and negate in 32 bits, as a 32-bit strtoul does.
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p)) != 0) {
        ++p;
    }
    const bool negative = *p == '-';
    errno = 0;
    const unsigned long long result = std::strtoull(text, nullptr, 0);
    const unsigned long long magnitude = negative ? 0ULL - result : result;
    if (errno == ERANGE || magnitude > 0xffffffffULL) {
        return 0xffffffff;
    }
    const auto value = static_cast<std::uint32_t>(magnitude);
    return negative ? 0U - value : value;
}
