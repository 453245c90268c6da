// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The option arguments of mkentry-check: whole decimal numbers, read with
// std::from_chars (no locale, no sign, no white space). Each returns false
// on anything it does not take whole.
#pragma once

#include <cstdint>
#include <string_view>

#include "disk/ranges.h"

// 512, 1024, 2048 or 4096.
bool parse_sector_size(std::string_view arg, std::uint32_t& bytes);

// Bytes, or with a suffix K, M, G or T (powers of 1024); not above 2^64 - 1.
bool parse_disk_size(std::string_view arg, std::uint64_t& bytes);

// FIRST-LAST, in sectors, both included; FIRST may not be above LAST.
bool parse_range(std::string_view arg, sector_range& range);
