// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// Conversion of option arguments to 32-bit numbers.
#pragma once

#include <cstdint>

// Converts text as strtoul(text, nullptr, 0) does where unsigned long is
// 32 bits wide, on every host: decimal, 0x hexadecimal or leading-0 octal,
// an optional sign that negates modulo 2^32, saturation at 4294967295, and
// 0 for text without digits. Never fails.
std::uint32_t parse_number(const char* text);
