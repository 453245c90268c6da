// SPDX-FileCopyrightText: 2026 The mkentry developers
// SPDX-License-Identifier: MIT

// The checker's report, as text in a fixed buffer: the table, then one line
// for each finding. Formatted by hand, so that the whole report leaves in
// one write(2) and the run binds no printf at start-up.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "table_check.h"

struct text {
    std::array<char, 8192> data{};
    std::size_t size = 0;
    bool overflowed = false; // something did not fit and was left out
};

void format_table(text& out, const table_check& check, std::uint64_t disk_sectors);
void format_finding(text& out, const finding& found);
